#pragma once
// TConfigfrm, "Program Configuration": its fields are the program's live settings, read by the
// capture commands, the overlay and the image windows at the moment they need them.

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>

namespace kaptiv {

class TConfigfrm : public QDialog {
    Q_OBJECT
public:
    explicit TConfigfrm(QWidget *parent = nullptr);

    QCheckBox *hideprog; // "Hide program during captures."
    QCheckBox *confirm;  // "Confirm closing of images."
    QCheckBox *coords;   // "Show coordinates on capture."
    QLineEdit *Delay;    // refresh delay in milliseconds, as typed
};

} // namespace kaptiv
