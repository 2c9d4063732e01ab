#include "app/StartCapture.h"

#include "app/Startup.h"
#include "app/mainSnap.h"

#include <QAction>
#include <QGuiApplication>
#include <QTimer>
#include <QWindow>

#include <cstring>
#include <string>
#include <utility>

namespace kaptiv {
namespace {

// Kinds named as in the --capture option, with their index in the capture menu's order.
constexpr std::pair<const char *, int> offeredCaptures[] = {
    {"screen", 0}, {"rectangle", 1}, {"window", 2}, {"active", 3}, {"active-client", 4}, {"custom-region", 5},
    {"client-area", 6}};

// Chooses the capture item once the main window is on the screen: a window hidden while it is
// still being mapped leaves the display connection unsure whether it is mapped.
class TriggerWhenExposed : public QObject {
public:
    TriggerWhenExposed(QWindow &window, QAction &item) : QObject(&window), item_(item) { window.installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow *>(watched)->isExposed()) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, &item_, &QAction::trigger);
            deleteLater();
        }
        return false;
    }

private:
    QAction &item_;
};

} // namespace

bool asksForStartCapture(int argc, char **argv) { return argc > 1 && std::strcmp(argv[1], "--capture") == 0; }

std::optional<int> startCaptureItem(const QString &kind)
{
    for (const auto &[name, item] : offeredCaptures)
        if (kind == QLatin1String(name))
            return item;
    return std::nullopt;
}

std::string startCaptureUsage()
{
    std::string kinds;
    for (const auto &[name, item] : offeredCaptures)
        kinds += (kinds.empty() ? "" : ", ") + std::string(name);
    return "kaptiv: --capture takes one of " + kinds + "\nTry 'kaptiv --help'.\n";
}

bool takenBeforeMainWindowShows(int item) { return item == 3 || item == 4; }

void takeCaptureOnStart(int item)
{
    TScreenfrm &main = *appWindows().Screenfrm;
    QAction *capture = main.captureItems()[item];
    if (takenBeforeMainWindowShows(item)) {
        QTimer::singleShot(0, &main, [&main, capture] {
            // An error box closed before the main window shows must not end the program.
            const bool quits = QGuiApplication::quitOnLastWindowClosed();
            QGuiApplication::setQuitOnLastWindowClosed(false);
            capture->trigger();
            main.show();
            QGuiApplication::setQuitOnLastWindowClosed(quits);
        });
        return;
    }
    if (main.windowHandle()->isExposed())
        QTimer::singleShot(0, capture, &QAction::trigger);
    else
        new TriggerWhenExposed(*main.windowHandle(), *capture);
}

} // namespace kaptiv
