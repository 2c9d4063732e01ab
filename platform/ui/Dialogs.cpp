#include "platform/ui/Dialogs.h"

#include "platform/ui/Errors.h"
#include "platform/ui/FileDialog.h"
#include "platform/ui/ToolkitFileDialog.h"

#include <QApplication>
#include <QDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QScreen>

namespace kaptiv {

namespace {

class QtDialogs : public Dialogs {
public:
    int messageBox(QWidget *parent, const QString &text, const QString &caption, MessageIcon icon,
                   MessageButtons buttons) override
    {
        QMessageBox box(iconOf(icon), caption, text, QMessageBox::NoButton, parent);
        switch (buttons) {
        case MessageButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
        case MessageButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
        case MessageButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
        }
        switch (box.exec()) {
        case QMessageBox::Ok: return mrOk;
        case QMessageBox::Yes: return mrYes;
        case QMessageBox::No: return mrNo;
        default: return mrCancel;
        }
    }

    int execModal(QDialog &dialog) override { return dialog.exec(); }

    void beep() override { QApplication::beep(); }

    bool executeFileDialog(QWidget *parent, FileDialog &dialog) override
    {
        return runToolkitFileDialog(parent, dialog);
    }

    bool inputQuery(QWidget *parent, const QString &caption, const QString &prompt, QString &value) override
    {
        bool ok = false;
        const QString text = QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, value, &ok);
        if (ok)
            value = text;
        return ok;
    }

private:
    static QMessageBox::Icon iconOf(MessageIcon icon)
    {
        switch (icon) {
        case MessageIcon::Error: return QMessageBox::Critical;
        case MessageIcon::Warning: return QMessageBox::Warning;
        case MessageIcon::Information: return QMessageBox::Information;
        case MessageIcon::Question: return QMessageBox::Question;
        default: return QMessageBox::NoIcon;
        }
    }
};

Dialogs *scriptedDialogs = nullptr;

} // namespace

Dialogs &realDialogs()
{
    static QtDialogs real;
    return real;
}

Dialogs &dialogs() { return scriptedDialogs ? *scriptedDialogs : realDialogs(); }

void setDialogsForTesting(Dialogs *scripted) { scriptedDialogs = scripted; }

void showErrorBox(const QString &message)
{
    dialogs().messageBox(QApplication::activeWindow(), message, QStringLiteral("Kaptiv"),
                         MessageIcon::Error, MessageButtons::Ok);
}

void showCurrentError() { showErrorBox(currentErrorMessage()); }

bool askConfirmation(QWidget *parent, const QString &question)
{
    return dialogs().messageBox(parent, question, QStringLiteral("Confirmation"), MessageIcon::Question,
                                MessageButtons::YesNo)
        == mrYes;
}

void centreOnScreen(QWidget &window)
{
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        const QSize outer = window.frameGeometry().size(); // move() places the frame, title bar included
        window.move(area.left() + area.width() / 2 - outer.width() / 2,
                    area.top() + area.height() / 2 - outer.height() / 2);
    }
}

} // namespace kaptiv
