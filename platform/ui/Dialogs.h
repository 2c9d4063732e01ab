#pragma once
// Everything that stops to ask the user passes through here: message boxes, file dialogs, the
// one-line prompt, the beep, modal runs. Tests put a scripted implementation in its place so that
// no test ever waits on a real modal box.

#include <QString>

class QDialog;
class QWidget;

namespace kaptiv {

struct FileDialog;

enum class MessageIcon { None, Error, Warning, Information, Question };
enum class MessageButtons { Ok, OkCancel, YesNo };

// Modal results as the program knows them (a dialog's Accepted/Rejected are not these numbers).
enum ModalResult { mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrYes = 6, mrNo = 7 };

class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual int messageBox(QWidget *parent, const QString &text, const QString &caption,
                           MessageIcon icon, MessageButtons buttons) = 0;
    // Runs `dialog` modally and returns its modal result.
    virtual int execModal(QDialog &dialog) = 0;
    virtual void beep() = 0;
    // Shows an open or save dialog set up as `dialog` says; true with dialog.FileName the chosen
    // file, false when cancelled. Use Execute (FileDialog.h), which adds the default extension.
    virtual bool executeFileDialog(QWidget *parent, FileDialog &dialog) = 0;
    // The one-line prompt: true with `value` the edited text on OK, false on Cancel.
    virtual bool inputQuery(QWidget *parent, const QString &caption, const QString &prompt, QString &value) = 0;
};

Dialogs &dialogs();
void setDialogsForTesting(Dialogs *scripted); // nullptr: back to the real boxes
Dialogs &realDialogs(); // the real boxes, whatever stands in their place

// The box every raised error ends in: titled "Kaptiv", error icon, OK.
void showErrorBox(const QString &message);

// Shows the error in flight in that box; call it only inside a catch block.
void showCurrentError();

// Runs a command as the user started it. An error it raises ends here, in the "Kaptiv" box,
// before it can unwind through the toolkit's code (which is not built for that); the program goes
// on, and windows the command already made stay.
template <typename Body>
void runCommand(Body &&body) noexcept
{
    try {
        body();
    } catch (...) {
        showCurrentError();
    }
}

// A slot that runs `body` as a command.
template <typename Body>
auto asCommand(Body body)
{
    return [body = std::move(body)] { runCommand(body); };
}
// A question titled "Confirmation" with Yes and No and the question icon; true for Yes.
bool askConfirmation(QWidget *parent, const QString &question);

// Places a window, frame included, at its present size in the middle of the primary screen.
void centreOnScreen(QWidget &window);

} // namespace kaptiv
