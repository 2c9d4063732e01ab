#pragma once
// The 16-bit shortcut value the menus, the hot-key fields and the settings store share: bits 0-7
// the virtual-key code of the key, 0x2000 Shift, 0x4000 Ctrl, 0x8000 Alt; 0 means no shortcut.
//
// Key presses are read as on a US keyboard: a shifted punctuation key counts as its unshifted key
// with Shift held, so Ctrl+Shift+1 is the same shortcut whether the system reports "1" or "!".
// Keys of the numeric keypad have codes of their own and never equal the digits above the letters.

#include <QKeySequence>
#include <QString>
#include <QtGlobal>

class QKeyEvent;

namespace kaptiv {

using ShortcutValue = quint16;

constexpr ShortcutValue scShift = 0x2000;
constexpr ShortcutValue scCtrl = 0x4000;
constexpr ShortcutValue scAlt = 0x8000;
// What a hot-key field keeps of a value: the key code and the three modifiers.
constexpr ShortcutValue scFieldBits = 0xE0FF;

constexpr int virtualKeyOf(ShortcutValue value) { return value & 0xFF; }

// The value of a key with modifiers, or 0 when the key has no virtual-key code here (modifier keys,
// Space, Tab, media keys...). The Meta key has no bit of its own and is ignored.
ShortcutValue shortcutFromKey(int qtKey, Qt::KeyboardModifiers modifiers);
ShortcutValue shortcutFromKeyEvent(const QKeyEvent &event);

// The key sequence a menu shows and binds for a value; empty for 0 and for codes this table lacks.
QKeySequence keySequenceFromShortcut(ShortcutValue value);

// What a hot-key field shows: "None", a key sequence such as "Ctrl+Shift+S", or for a code from
// elsewhere that this table lacks, its number ("Ctrl+Key 0x07").
QString shortcutText(ShortcutValue value);

// Shift, Ctrl, Alt, Meta, AltGr: keys that only modify others.
bool isModifierKey(int qtKey);

} // namespace kaptiv
