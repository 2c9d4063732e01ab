#pragma once

#include <QDialog>

namespace kaptiv {

// Created at start-up and kept for the program's life; its contents arrive with its own feature.
class TAnimationfrm : public QDialog {
    Q_OBJECT
public:
    explicit TAnimationfrm(QWidget *parent = nullptr) : QDialog(parent) { setWindowTitle(QStringLiteral("Create GIF Animation")); }
};

} // namespace kaptiv
