#pragma once
// Answers message boxes and modal runs from a script and remembers what was shown.

#include "platform/ui/Dialogs.h"
#include "platform/ui/FileDialog.h"

#include <QDialog>
#include <QString>
#include <deque>
#include <functional>
#include <vector>

namespace kaptiv::testing {

struct ShownMessage {
    QWidget *parent; // the window the box belongs to
    QString text, caption;
    MessageIcon icon;
    MessageButtons buttons;
};

class ScriptedDialogs : public Dialogs {
public:
    ScriptedDialogs() { setDialogsForTesting(this); }
    ~ScriptedDialogs() override { setDialogsForTesting(nullptr); }

    std::deque<int> answers;        // next message box answers (mrYes, mrNo, mrOk...); default mrOk/mrYes
    std::vector<ShownMessage> shown; // every message box, in order
    // What a modal run does with its dialog (fill fields, press a button); returns its result.
    std::function<int(QDialog &)> onModal = [](QDialog &) { return int(mrCancel); };
    int modalRuns = 0;
    int beeps = 0;
    // Names the user types into the next file dialogs, in order; none left means Cancel.
    std::deque<QString> fileNames;
    bool realFileDialogs = false; // show the real ones instead, for a test that types into them
    std::vector<FileDialog> fileDialogs; // every file dialog as it was set up when shown
    // Text the user leaves in the next one-line prompts; none left means Cancel.
    std::deque<QString> inputs;
    std::vector<QString> prompts; // caption, prompt and initial text of each, joined by "|"

    int messageBox(QWidget *parent, const QString &text, const QString &caption, MessageIcon icon,
                   MessageButtons buttons) override
    {
        shown.push_back({parent, text, caption, icon, buttons});
        if (!answers.empty()) {
            const int answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return buttons == MessageButtons::YesNo ? mrYes : mrOk;
    }
    int execModal(QDialog &dialog) override
    {
        ++modalRuns;
        return onModal(dialog);
    }
    void beep() override { ++beeps; }
    bool executeFileDialog(QWidget *parent, FileDialog &dialog) override
    {
        fileDialogs.push_back(dialog);
        if (realFileDialogs)
            return realDialogs().executeFileDialog(parent, dialog);
        if (fileNames.empty())
            return false;
        dialog.FileName = fileNames.front();
        fileNames.pop_front();
        return true;
    }
    bool inputQuery(QWidget *, const QString &caption, const QString &prompt, QString &value) override
    {
        prompts.push_back(caption + QLatin1Char('|') + prompt + QLatin1Char('|') + value);
        if (inputs.empty())
            return false;
        value = inputs.front();
        inputs.pop_front();
        return true;
    }
};

} // namespace kaptiv::testing
