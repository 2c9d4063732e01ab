#pragma once
// Answers message boxes and modal runs from a script and remembers what was shown.

#include "platform/Dialogs.h"

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
};

} // namespace kaptiv::testing
