#pragma once

#include <QDialog>

namespace kaptiv {

// Created at start-up and kept for the program's life; its contents arrive with its own feature.
class TImgFormat : public QDialog {
    Q_OBJECT
public:
    explicit TImgFormat(QWidget *parent = nullptr) : QDialog(parent) { setWindowTitle(QStringLiteral("Save Options")); }
};

} // namespace kaptiv
