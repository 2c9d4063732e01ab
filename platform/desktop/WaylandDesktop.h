#pragma once
// The desktop of a Wayland session. Wayland lets an ordinary program see neither other windows nor
// the pointer outside its own windows; the whole screen comes from the desktop's screenshot portal
// (org.freedesktop.portal.Screenshot over D-Bus), which asks the compositor for it.

#include "platform/desktop/Desktop.h"

#include <QString>

namespace kaptiv {

// True when this program runs in a Wayland session (where an X display, if any, is only the
// compatibility server and sees none of the native windows).
bool isWaylandSession();

// What needs more of the desktop than a Wayland session shows a program.
enum class HiddenFromPrograms { ActiveWindow, ActiveWindowClient, PickWindow, Cursor, HotKeysEverywhere, Recording };

// What the user is told when `what` is asked for on such a desktop: one sentence, the same in the
// program's boxes and on the command line.
QString hiddenFromProgramsMessage(HiddenFromPrograms what);

// The whole screen as the portal gives it, Format_RGB32. Raises EDisplayError with a message when
// the portal cannot be reached, the user cancelled, it failed or did not answer in time.
QImage takePortalScreenshot();

class WaylandDesktop : public Desktop {
public:
    QSize screenSize() override;
    int displayDepth() override { return 24; }
    QImage grabScreen(const ScreenRect &area) override;
    QPoint cursorPos() override { return {}; }
    void setCursorPos(QPoint) override {}
    CursorImage currentCursor() override { return {}; }
    WindowId foregroundWindow() override;
    ScreenRect windowRect(WindowId window) override;
    ScreenRect clientRect(WindowId window) override;
    bool windowExists(WindowId) override { return false; }
    std::vector<DesktopWindow> listWindows() override { return {}; }
    bool seesOtherWindows() override { return false; }
    std::unique_ptr<PointerConfinement> confinePointer(const ScreenRect &, WindowId) override { return nullptr; }

private:
    // The size is only known from a picture: the one taken for screenSize() serves the grab after it.
    QImage pending_;
};

} // namespace kaptiv
