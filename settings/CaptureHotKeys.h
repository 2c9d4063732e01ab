#pragma once
// The hot keys of the seven capture menu items.
//
// Each item shows its hot key as its shortcut, but the key presses are matched here, read the way
// the hot-key fields read them (platform/ui/ShortcutCodes.h). Qt's own shortcut matching would blur
// what the fields keep apart: on X11 a shortcut on a keypad key never fires, a keypad digit falls
// back to the digit above the letters, and Ctrl+Shift+1 arrives as Ctrl+Shift+"!".
//
// A hot key acts while the main window is the active window, like a menu shortcut. It takes
// precedence over the other shortcuts of that window, menu mnemonics included: a hot key of Alt+F
// runs its capture instead of opening "&File", whose menu stays at hand for the mouse.

#include "platform/ui/ShortcutCodes.h"

#include <QObject>
#include <QPointer>

#include <QKeySequence>

#include <array>
#include <utility>
#include <vector>

class QAction;
class QWidget;

namespace kaptiv {

class CaptureHotKeys : public QObject {
    Q_OBJECT
public:
    static constexpr int count = 7;

    // `items` in the hot-key table's order; this object lives as long as `mainWindow` (its parent).
    CaptureHotKeys(QWidget &mainWindow, const std::array<QAction *, count> &items);

    void setHotKey(int row, ShortcutValue value);
    ShortcutValue hotKey(int row) const { return values_[row]; }
    // `action` (File > Save's Ctrl+S) keeps its own shortcut while no hot key is that key, and gives
    // it up while one is: the menu then shows the key only beside the capture it runs.
    void addYielding(QAction *action);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool isMainWindow(QObject *watched) const;
    void applyYielding();

    QWidget &mainWindow_;
    std::array<QAction *, count> items_;
    std::array<ShortcutValue, count> values_{};
    std::vector<std::pair<QPointer<QAction>, QKeySequence>> yielding_; // with its own shortcut
    int swallowKey_ = 0; // the key press that follows a hot key's override is not the window's
};

} // namespace kaptiv
