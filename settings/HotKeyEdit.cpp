#include "settings/HotKeyEdit.h"

#include <QKeyEvent>

namespace kaptiv {

namespace {

// Shift alone is not a modifier of a hot key: Shift+S is S.
ShortcutValue fieldValueOf(const QKeyEvent &event)
{
    ShortcutValue value = shortcutFromKeyEvent(event);
    if ((value & (scCtrl | scAlt)) == 0)
        value &= ~scShift;
    return value;
}

// The modifiers held so far, as the field shows them while the user builds a combination.
QString pendingModifiersText(Qt::KeyboardModifiers modifiers)
{
    QString text;
    if (modifiers & Qt::ControlModifier)
        text += QStringLiteral("Ctrl+");
    if (modifiers & Qt::AltModifier)
        text += QStringLiteral("Alt+");
    if (modifiers & Qt::ShiftModifier)
        text += QStringLiteral("Shift+");
    return text;
}

} // namespace

HotKeyEdit::HotKeyEdit(QWidget *parent) : QLineEdit(parent)
{
    setReadOnly(true);
    setContextMenuPolicy(Qt::NoContextMenu);
    setAcceptDrops(false);
    setToolTip(QStringLiteral("Press a key sequence to associate with this method."));
    showValue();
}

void HotKeyEdit::setValue(ShortcutValue value)
{
    value_ = value & scFieldBits;
    showValue();
}

void HotKeyEdit::showValue() { setText(shortcutText(value_)); }

bool HotKeyEdit::event(QEvent *event)
{
    // A combination typed here is meant for the field, not for the dialog's or the program's
    // shortcuts (Alt+S would otherwise jump to the label "Grab &Screen:").
    if (event->type() == QEvent::ShortcutOverride) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (isModifierKey(key->key()) || shortcutFromKeyEvent(*key) != 0) {
            event->accept();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void HotKeyEdit::keyPressEvent(QKeyEvent *event)
{
    if (isModifierKey(event->key())) {
        if (!event->isAutoRepeat())
            modifiersAlone_ = true;
        setText(pendingModifiersText(event->modifiers()));
        return;
    }
    modifiersAlone_ = false;
    const ShortcutValue value = fieldValueOf(*event);
    if (value == 0) {
        event->ignore(); // Tab, Enter, Escape... belong to the dialog
        return;
    }
    setValue(value);
}

void HotKeyEdit::keyReleaseEvent(QKeyEvent *event)
{
    if (!isModifierKey(event->key()) || event->isAutoRepeat())
        return;
    if (modifiersAlone_) {
        modifiersAlone_ = false;
        setValue(0);
    } else {
        showValue();
    }
}

void HotKeyEdit::focusOutEvent(QFocusEvent *event)
{
    modifiersAlone_ = false;
    showValue();
    QLineEdit::focusOutEvent(event);
}

} // namespace kaptiv
