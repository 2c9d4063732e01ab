#pragma once

#include <QDialog>

namespace kaptiv {

// Created at start-up and kept for the program's life; its contents arrive with its own feature.
class TTransparentfrm : public QDialog {
    Q_OBJECT
public:
    explicit TTransparentfrm(QWidget *parent = nullptr) : QDialog(parent) { setWindowTitle(QStringLiteral("Right click to undo")); }
};

} // namespace kaptiv
