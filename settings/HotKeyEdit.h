#pragma once
// A field that records the key combination pressed in it as a shortcut value.
//
// A key pressed with no modifier or with Shift alone is taken as the bare key. A modifier pressed
// and released by itself empties the field (value 0, shown "None"). Keys a shortcut value cannot
// hold (Tab, Enter, Escape, Space...) are left to the dialog, so it can still be left, confirmed and
// cancelled from the keyboard.

#include "platform/ui/ShortcutCodes.h"

#include <QLineEdit>

namespace kaptiv {

class HotKeyEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit HotKeyEdit(QWidget *parent = nullptr);

    ShortcutValue value() const { return value_; }
    // Keeps only the key code and the Shift, Ctrl and Alt bits.
    void setValue(ShortcutValue value);

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void showValue();

    ShortcutValue value_ = 0;
    bool modifiersAlone_ = false; // modifiers are down and no other key came since they went down
};

} // namespace kaptiv
