#pragma once
// TAboutfrm: the about box, created at start-up and kept for the program's life.

#include <QDialog>

class QLabel;

namespace kaptiv {

class TAboutfrm : public QDialog {
    Q_OBJECT
public:
    explicit TAboutfrm(QWidget *parent = nullptr);

    QLabel *ProgramIcon, *ProductName, *Version, *Beta, *Author, *Credits, *Status;
    // Drawn as links, in blue under a pointing hand; they lead nowhere.
    QLabel *HomePageLink, *MailLink;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormShow();
};

} // namespace kaptiv
