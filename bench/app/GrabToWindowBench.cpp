// From the Grab Screen hot key to the new image window painted, on a real display (1920 x 1080
// under Xvfb for the figure in the README). The key press goes through the X server as a
// user's would: sent to the main window, read by the program, matched to the menu's shortcut.
//   build/bench/app/grab_to_window_bench   (needs DISPLAY)
#include "app/Startup.h"
#include "app/mainSnap.h"
#include "document/ChldSnap.h"
#include "settings/ConfigSnap.h"
#include "settings/HotKeyEdit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <chrono>

namespace kaptiv {
namespace {

constexpr ShortcutValue CtrlShiftS = 0x4000 | 0x2000 | 'S';

QApplication &application()
{
    static int argc = 1;
    static char name[] = "grab_to_window_bench";
    static char *argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

// Presses and releases Ctrl+Shift+S on `window` through the X server.
void pressHotKey(Display *display, Window window)
{
    XKeyEvent key{};
    key.display = display;
    key.window = window;
    key.root = DefaultRootWindow(display);
    key.same_screen = True;
    key.state = ControlMask | ShiftMask;
    key.keycode = XKeysymToKeycode(display, XK_s);
    key.type = KeyPress;
    XSendEvent(display, window, True, KeyPressMask, reinterpret_cast<XEvent *>(&key));
    key.type = KeyRelease;
    XSendEvent(display, window, True, KeyReleaseMask, reinterpret_cast<XEvent *>(&key));
    XFlush(display);
}

// Notes the first paint of an image window or of anything inside it (there is one at a time).
class FirstPaint : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            for (QObject *o = object; o && !painted; o = o->parent())
                painted = qobject_cast<TImagefrm *>(o) != nullptr;
        return false;
    }
};

// The tests' wait lets the event loop run on for up to 20 ms after the paint, which would be
// counted here: this one hands back after at most 5 ms.
template <typename Condition>
bool runUntil(Condition done, int milliseconds = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > milliseconds)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

void BM_HotKeyToPaintedImageWindow(benchmark::State &state)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        state.SkipWithError("DISPLAY is not set");
        return;
    }
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    application();
    createApplicationWindows();
    TScreenfrm &main = *appWindows().Screenfrm;
    TConfigfrm &config = *appWindows().Configfrm;
    config.Delay->setText(QStringLiteral("0")); // the program's own time, without the refresh delay
    config.hideprog->setChecked(false);
    config.hotKeyFields()[0]->setValue(CtrlShiftS);
    config.applyHotKeyToMenu(0);
    main.show();
    main.activateWindow();
    Display *keyboard = XOpenDisplay(nullptr);
    if (!runUntil([&] { return main.isActiveWindow(); }) || !keyboard) {
        state.SkipWithError("the main window never became active");
    } else {
        FirstPaint watch;
        QApplication::instance()->installEventFilter(&watch);
        for (auto _ : state) {
            watch.painted = false;
            const auto start = std::chrono::steady_clock::now();
            pressHotKey(keyboard, Window(main.winId()));
            const bool shown = runUntil([&] { return watch.painted; });
            const auto end = std::chrono::steady_clock::now();
            if (!shown) {
                state.SkipWithError("no image window was painted");
                break;
            }
            state.SetIterationTime(std::chrono::duration<double>(end - start).count());
            state.PauseTiming();
            for (TImagefrm *w : main.imageWindows()) // one image window at a time, the screen as before
                delete w;
            QApplication::processEvents();
            state.ResumeTiming();
        }
        QApplication::instance()->removeEventFilter(&watch);
        const QSize screen = QGuiApplication::primaryScreen()->size();
        state.SetLabel(QStringLiteral("%1x%2").arg(screen.width()).arg(screen.height()).toStdString());
    }
    if (keyboard)
        XCloseDisplay(keyboard);
    destroyApplicationWindows();
}
BENCHMARK(BM_HotKeyToPaintedImageWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace
} // namespace kaptiv
