#pragma once

#include <QDialog>

namespace kaptiv {

// Created at start-up and kept for the program's life; its contents arrive with its own feature.
class TAboutfrm : public QDialog {
    Q_OBJECT
public:
    explicit TAboutfrm(QWidget *parent = nullptr) : QDialog(parent) { setWindowTitle(QStringLiteral("About")); }
};

} // namespace kaptiv
