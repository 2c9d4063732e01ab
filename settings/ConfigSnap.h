#pragma once
// TConfigfrm, "Program Configuration": its fields are the program's live settings, read by the
// capture commands, the overlay and the image windows at the moment they need them. The dialog
// lives as long as the program; every showing reloads the stored settings.

#include "settings/HotKeyEdit.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>

#include <array>

class QAction;
class QKeyEvent;

namespace kaptiv {

class CaptureHotKeys;
class RecordingPage;

class TConfigfrm : public QDialog {
    Q_OBJECT
public:
    explicit TConfigfrm(QWidget *parent = nullptr);

    QTabWidget *PageControl;
    // Page "General".
    QCheckBox *hideprog; // "Hide program during captures."
    QCheckBox *confirm;  // "Confirm closing of images."
    QCheckBox *coords;   // "Show coordinates on capture."
    QLineEdit *Delay;    // refresh delay in milliseconds, as typed
    // Page "Hot Keys", in the order of the capture items.
    HotKeyEdit *Scrn, *rec, *wnd, *active, *aclient, *cust, *client;
    RecordingPage *recording; // page "Recording", after the others
    QCheckBox *everyProgram;   // "Use hot keys in every program"
    QLabel *commonKeysWarning; // while that is ticked: the keys above that other programs use
    QPushButton *Button1; // "OK"
    QPushButton *Button2; // "Cancel"
    QPushButton *def;     // "Defaults"

    std::array<HotKeyEdit *, 7> hotKeyFields() const { return {Scrn, rec, wnd, active, aclient, cust, client}; }

    // The capture menu items whose shortcuts the hot keys become (in hot-key order).
    void attachCaptureItems(QWidget &mainWindow, const std::array<QAction *, 7> &items);
    CaptureHotKeys *captureHotKeys() const;
    // Gives the capture item of `row` the hot key its field holds now.
    void applyHotKeyToMenu(int row);

    void FormShow();
    void Button1Click(); // OK: hot keys must differ; save; close with OK
    void Button2Click(); // Cancel: close with Cancel and put the stored settings back in the fields
    void defClick();     // Defaults, after asking
    // The character filter of Delay: digits and Backspace only. True when the key was swallowed.
    bool DelayKeyPress(const QKeyEvent &key);

signals:
    void settingsSaved(); // by OK, before the dialog closes

public slots:
    void reject() override; // Escape and the close box are Cancel

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildGeneralPage();
    QWidget *buildHotKeysPage();
    void showCommonKeysWarning();
    void fitToContents();

    QPointer<CaptureHotKeys> captureHotKeys_;
    bool shownBefore_ = false;
};

} // namespace kaptiv
