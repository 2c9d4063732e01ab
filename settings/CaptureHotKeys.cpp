#include "settings/CaptureHotKeys.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

namespace kaptiv {

CaptureHotKeys::CaptureHotKeys(QWidget &mainWindow, const std::array<QAction *, count> &items)
    : QObject(&mainWindow), mainWindow_(mainWindow), items_(items)
{
    for (QAction *item : items_) {
        // The menu shows the shortcut; only an open menu would act on it by itself.
        item->setShortcutContext(Qt::WidgetShortcut);
        item->setShortcut({});
    }
    QCoreApplication::instance()->installEventFilter(this);
}

void CaptureHotKeys::setHotKey(int row, ShortcutValue value)
{
    values_[row] = value;
    items_[row]->setShortcut(keySequenceFromShortcut(value));
    applyYielding();
}

void CaptureHotKeys::addYielding(QAction *action)
{
    yielding_.emplace_back(action, action->shortcut());
    applyYielding();
}

void CaptureHotKeys::applyYielding()
{
    for (const auto &[action, own] : yielding_) {
        if (!action)
            continue;
        bool taken = false;
        for (ShortcutValue value : values_)
            taken = taken || (value != 0 && keySequenceFromShortcut(value) == own);
        action->setShortcut(taken ? QKeySequence() : own);
    }
}

bool CaptureHotKeys::isMainWindow(QObject *watched) const
{
    // Key events reach the main window's native window first; acting there acts once per press.
    return watched->isWindowType() && watched == mainWindow_.windowHandle();
}

bool CaptureHotKeys::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && swallowKey_ != 0 && isMainWindow(watched)) {
        const bool ours = static_cast<QKeyEvent *>(event)->key() == swallowKey_;
        swallowKey_ = 0;
        return ours;
    }
    if (event->type() != QEvent::ShortcutOverride || !isMainWindow(watched))
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    const ShortcutValue value = shortcutFromKeyEvent(*key);
    if (value == 0)
        return false;
    for (int row = 0; row < count; ++row) {
        QAction *item = items_[row];
        if (values_[row] != value || !item->isEnabled() || (key->isAutoRepeat() && !item->autoRepeat()))
            continue;
        // Taking the override keeps every other shortcut of the window from this press; the
        // command runs from the event loop once the key's own events are done.
        key->accept();
        swallowKey_ = key->key();
        QMetaObject::invokeMethod(item, &QAction::trigger, Qt::QueuedConnection);
        return true;
    }
    return false;
}

} // namespace kaptiv
