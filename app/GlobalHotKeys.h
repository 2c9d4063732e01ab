#pragma once
// The capture hot keys in every program: while "Use hot keys in every program" is ticked, the
// seven keys are taken from the whole desktop (record/X11KeyGrab) and each press runs its capture
// through the main window, which refuses with a beep while it is busy. The keys are taken again
// at start and on OK, and given back while the configuration dialog is open, so its fields can
// record them. Keys another program holds are named in one box, once per start or OK.

#include "platform/ui/ShortcutCodes.h"
#include "record/X11KeyGrab.h"

#include <QObject>

#include <array>
#include <memory>

namespace kaptiv {

class TScreenfrm;
class TConfigfrm;

// The key a shortcut value names, for a grab on the desktop.
record::GlobalKey globalKeyOf(ShortcutValue value);

class GlobalHotKeys : public QObject {
    Q_OBJECT
public:
    GlobalHotKeys(TScreenfrm &main, TConfigfrm &config); // lives as long as `main`, its parent
    ~GlobalHotKeys() override;

    // Takes the keys the dialog holds when its box is ticked, after giving back the ones held
    // before. With `report`, the keys that could not be taken are named in one "Kaptiv" box.
    void apply(bool report);
    // Whether the key of `row` is taken from the desktop now.
    bool holds(int row) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Says that this desktop keeps other programs' keys from Kaptiv, over the dialog.
    void refuseEveryProgram();

    TScreenfrm &main_;
    TConfigfrm &config_;
    std::unique_ptr<record::X11KeyGrab> grab_;
    std::array<int, 7> indexOfRow_{}; // the row's index in the grab, -1 when it is not asked for
    bool saved_ = false;              // OK was pressed in the dialog now closing
};

} // namespace kaptiv
