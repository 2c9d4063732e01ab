#pragma once
// TCustfrm, "Define Custom Region": the width and height of a fixed-size capture region, typed in
// before the region is placed on the frozen screen. Created at start-up and kept, so it remembers
// the last sizes from one use to the next.

#include "capture/SpinEdit.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>

namespace kaptiv {

class TCustfrm : public QDialog {
    Q_OBJECT
public:
    explicit TCustfrm(QWidget *parent = nullptr);

    // The largest sizes are one less than the screen's; the capture refreshes them before each use.
    void setScreenSize(QSize screen);

    QGroupBox *GroupBox1;
    SpinEdit *heightb;
    SpinEdit *widthb;
    QGroupBox *area; // "Area Type": item 0 "Icon (32x32)", item 1 "Other"
    QRadioButton *areaIcon;
    QRadioButton *areaOther;
    QCheckBox *Square;
    QPushButton *ok;
    QPushButton *Button1;

    int areaItemIndex() const { return areaIcon->isChecked() ? 0 : 1; }

    // The handlers, as the controls' events call them.
    void heightbChange(QObject *sender);
    void SquareClick();
    void areaClick();
    void okClick() { done(1); }
    void Button1Click() { done(2); }

protected:
    void reject() override { done(2); } // the close box and Esc cancel as Button1 does

private:
    void FormCreate();
    void selectAreaItem(int index);
};

} // namespace kaptiv
