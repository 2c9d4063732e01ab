#pragma once

#include <QDialog>

namespace kaptiv {

// Created at start-up and kept for the program's life; its contents arrive with its own feature.
class TCustfrm : public QDialog {
    Q_OBJECT
public:
    explicit TCustfrm(QWidget *parent = nullptr) : QDialog(parent) { setWindowTitle(QStringLiteral("Define Custom Region")); }
};

} // namespace kaptiv
