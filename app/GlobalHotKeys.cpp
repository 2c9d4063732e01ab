#include "app/GlobalHotKeys.h"

#include "app/mainSnap.h"
#include "platform/desktop/Desktop.h"
#include "platform/ui/Dialogs.h"
#include "platform/desktop/WaylandDesktop.h"
#include "settings/ConfigSnap.h"
#include "settings/HotKeysEverywhere.h"

#include <QCheckBox>
#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QGuiApplication>

#include <utility>

namespace kaptiv {

record::GlobalKey globalKeyOf(ShortcutValue value)
{
    record::GlobalKey key;
    key.keysym = record::keysymOfVirtualKey(virtualKeyOf(value));
    key.shift = value & scShift;
    key.control = value & scCtrl;
    key.alt = value & scAlt;
    return key;
}

GlobalHotKeys::GlobalHotKeys(TScreenfrm &main, TConfigfrm &config) : QObject(&main), main_(main), config_(config)
{
    indexOfRow_.fill(-1);
    config_.installEventFilter(this);
    // On a desktop that keeps other programs' keys from this one the box is not ticked: the user's
    // press says why instead (eventFilter), and a tick by other means is taken back. A stored tick
    // from another session does nothing there (apply).
    config_.everyProgram->installEventFilter(this);
    connect(config_.everyProgram, &QCheckBox::clicked, this, [this](bool ticked) {
        if (ticked && !desktop().seesOtherWindows())
            QMetaObject::invokeMethod(this, [this] { // once the tick has been laid out, like a user's untick
                config_.everyProgram->setChecked(false);
                refuseEveryProgram();
            }, Qt::QueuedConnection);
    });
    connect(&config_, &TConfigfrm::settingsSaved, this, [this] {
        saved_ = true;
        // Once the dialog has closed: the box must not stand over it.
        QMetaObject::invokeMethod(this, [this] { apply(true); }, Qt::QueuedConnection);
    });
}

GlobalHotKeys::~GlobalHotKeys() = default;

void GlobalHotKeys::apply(bool report)
{
    grab_.reset(); // the old keys go first, whatever comes next
    indexOfRow_.fill(-1);
    // Only an X display has a desktop to take keys from.
    if (!config_.everyProgram->isChecked() || QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    std::vector<record::GlobalKey> keys;
    const auto fields = config_.hotKeyFields();
    for (std::size_t row = 0; row < fields.size(); ++row)
        if (fields[row]->value() != 0) {
            indexOfRow_[row] = int(keys.size());
            keys.push_back(globalKeyOf(fields[row]->value()));
        }
    std::array<int, 7> rows{};
    rows.fill(-1);
    for (int row = 0; row < 7; ++row)
        if (indexOfRow_[row] >= 0)
            rows[indexOfRow_[row]] = row;
    grab_ = std::make_unique<record::X11KeyGrab>(std::string(), std::move(keys), [this, rows](int index) {
        // On the grab's thread: the capture runs on the program's own.
        QMetaObject::invokeMethod(this, [this, row = rows[index]] { main_.takeCaptureFromElsewhere(row); },
                                  Qt::QueuedConnection);
    });
    if (!report)
        return;
    QStringList refused;
    for (int row = 0; row < 7; ++row)
        if (indexOfRow_[row] >= 0 && !holds(row))
            refused << QStringLiteral("%1 (%2)").arg(shortcutText(fields[row]->value()), hotKeyCaptureName(row));
    if (!refused.isEmpty())
        showErrorBox(QStringLiteral("Another program already uses these hot keys, so they work only while "
                                    "Kaptiv is the active program:\n%1")
                         .arg(refused.join(QLatin1Char('\n'))));
}

bool GlobalHotKeys::holds(int row) const { return grab_ && indexOfRow_[row] >= 0 && grab_->grabbed(indexOfRow_[row]); }

void GlobalHotKeys::refuseEveryProgram()
{
    dialogs().messageBox(&config_,
                         hiddenFromProgramsMessage(HiddenFromPrograms::HotKeysEverywhere)
                             + QStringLiteral("\n\nBind a key of the desktop to 'kaptiv --capture screen' instead."),
                         QStringLiteral("Kaptiv"), MessageIcon::Information, MessageButtons::Ok);
}

// The press that would tick the box, by the mouse or the space bar.
static bool ticksBox(const QCheckBox &box, QEvent *event)
{
    if (box.isChecked())
        return false;
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)
        return static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
    if (event->type() == QEvent::KeyPress)
        return static_cast<QKeyEvent *>(event)->key() == Qt::Key_Space;
    return false;
}

bool GlobalHotKeys::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == config_.everyProgram && ticksBox(*config_.everyProgram, event) && !desktop().seesOtherWindows()) {
        // After this event: the box must not open inside the press.
        QMetaObject::invokeMethod(this, [this] { refuseEveryProgram(); }, Qt::QueuedConnection);
        return true;
    }
    if (watched == &config_ && event->type() == QEvent::Show) {
        // The fields record keys: none may be taken from under them.
        grab_.reset();
        indexOfRow_.fill(-1);
        saved_ = false;
    } else if (watched == &config_ && event->type() == QEvent::Hide && !std::exchange(saved_, false)) {
        QMetaObject::invokeMethod(this, [this] { apply(false); }, Qt::QueuedConnection); // Cancel: as before
    }
    return false;
}

} // namespace kaptiv
