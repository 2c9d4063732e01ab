// The choice of the desktop stands above its forms: the interface (desktop/) knows neither.
#include "platform/desktop/Desktop.h"

#include "platform/desktop/WaylandDesktop.h"
#include "platform/x11/X11Desktop.h"

#include <QGuiApplication>

namespace kaptiv {

namespace {
Desktop *testDesktop = nullptr;
}

Desktop &desktop()
{
    if (testDesktop)
        return *testDesktop;
    static std::unique_ptr<Desktop> real;
    if (!real) {
        if (isWaylandSession()) // an X display there is only the compatibility server's
            real = std::make_unique<WaylandDesktop>();
        else
            real = std::make_unique<X11Desktop>(); // raises when there is no display; tried again next time
    }
    return *real;
}

void setDesktopForTesting(Desktop *fake) { testDesktop = fake; }

void requireDisplayForWindows()
{
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        desktop(); // opening it refuses a display that cannot show true colour
}

} // namespace kaptiv
