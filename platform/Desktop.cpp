#include "platform/Desktop.h"

#include "platform/X11Desktop.h"

#include <QGuiApplication>

namespace kaptiv {

namespace {
Desktop *testDesktop = nullptr;
}

Desktop &desktop()
{
    if (testDesktop)
        return *testDesktop;
    static std::unique_ptr<X11Desktop> real;
    if (!real)
        real = std::make_unique<X11Desktop>(); // raises when there is no display; tried again next time
    return *real;
}

void setDesktopForTesting(Desktop *fake) { testDesktop = fake; }

void requireDisplayForWindows()
{
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        desktop(); // opening it refuses a display that cannot show true colour
}

} // namespace kaptiv
