#pragma once

#include <QDialog>

namespace kaptiv {

// Created at start-up and kept for the program's life; its contents arrive with its own feature.
class TAnimfrm : public QDialog {
    Q_OBJECT
public:
    explicit TAnimfrm(QWidget *parent = nullptr) : QDialog(parent) { setWindowTitle(QStringLiteral("Animation Preview")); }
};

} // namespace kaptiv
