#pragma once
// The user's hands on a real display: xdotool for the keys and the mouse, and a wait that lets the
// program run until what the user did has had its effect.

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>

namespace kaptiv::testing {

inline void xdotool(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    if (!process.waitForFinished(10000) || process.exitCode() != 0)
        ADD_FAILURE() << "xdotool " << arguments.join(QLatin1Char(' ')).toStdString() << " failed";
}

// Runs the event loop until `done` holds or `milliseconds` pass; false when it never held.
inline bool waitUntil(const std::function<bool()> &done, int milliseconds = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > milliseconds)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Gives `window` the keyboard through the window manager, as a click on it would, then presses
// `keys` (xdotool's names, "alt+w"); false when the window never became active.
inline bool pressOn(QWidget &window, const QString &keys)
{
    if (!window.isVisible())
        window.show();
    xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(window.winId())});
    if (!waitUntil([&] { return window.isActiveWindow(); }))
        return false;
    xdotool({QStringLiteral("key"), keys});
    return true;
}

} // namespace kaptiv::testing
