#pragma once
// A real top-level X window showing known pixels, for tests on a live display. The pixels are the
// window's background pixmap, so the server paints them itself and no event loop is needed.

#include "platform/desktop/Desktop.h"

#include <QImage>
#include <QRect>
#include <QString>
#include <memory>

namespace kaptiv::testing {

class X11TestWindow {
public:
    // `display` empty: $DISPLAY. The pattern is the window's size; it is drawn at (0, 0).
    X11TestWindow(const QString &display, QPoint position, const QImage &pattern,
                  const QString &title = QStringLiteral("kaptiv-test-window"));
    ~X11TestWindow();
    X11TestWindow(const X11TestWindow &) = delete;
    X11TestWindow &operator=(const X11TestWindow &) = delete;

    WindowId id() const;
    // Makes it the active window (through the window manager when there is one) and waits for it.
    void activate();
    // Waits until the window stands where the window manager put it (or at once without one).
    void settle();
    void moveTo(QPoint position);
    // The window as the user sees it: the window manager's frame around it, or the window itself.
    ScreenRect frameRect() const;

private:
    struct State;
    std::unique_ptr<State> d;
};

// The display the named variable names, or an empty string to skip a test that needs it.
QString displayFromEnvironment(const char *variable);

// A picture of four coloured quarters with a one-pixel marker at each corner: easy to find again
// and exact at every display depth (each channel is 0 or full).
QImage quarteredPattern(int width, int height);

} // namespace kaptiv::testing
