#pragma once
// A scripted desktop: a screen of given pixels, a list of windows, a pointer and a cursor image.

#include "platform/desktop/Desktop.h"

#include <QImage>
#include <optional>

namespace kaptiv::testing {

class FakeDesktop : public Desktop {
public:
    explicit FakeDesktop(QImage screen = QImage(640, 480, QImage::Format_RGB32), int depth = 24);

    QImage screen;
    int depth;
    QPoint pointer{0, 0};
    CursorImage cursor;
    WindowId foreground = 0;
    std::vector<DesktopWindow> windows; // top of the stacking order first, children after parents
    int grabs = 0;

    QSize screenSize() override { return screen.size(); }
    int displayDepth() override { return depth; }
    QImage grabScreen(const ScreenRect &area) override;
    QPoint cursorPos() override { return pointer; }
    void setCursorPos(QPoint pos) override;
    CursorImage currentCursor() override { return cursor; }
    WindowId foregroundWindow() override { return foreground; }
    ScreenRect windowRect(WindowId window) override;
    ScreenRect clientRect(WindowId window) override;
    bool windowExists(WindowId window) override;
    std::vector<DesktopWindow> listWindows() override { return windows; }
    bool othersVisible = true; // false plays a desktop that hides other windows (Wayland)
    bool seesOtherWindows() override { return othersVisible; }
    // Confinement holds the scripted pointer inside the area, as the server would.
    std::unique_ptr<PointerConfinement> confinePointer(const ScreenRect &area, WindowId eventWindow) override;
    std::optional<ScreenRect> confinedTo; // while a confinement lives

    // Adds a visible window (outer and client rectangles) and returns its id.
    WindowId addWindow(ScreenRect outer, ScreenRect client, WindowId parent = 0);
    const DesktopWindow *find(WindowId window) const;
};

// Puts a fake desktop in place for one test and takes it away again.
class ScopedFakeDesktop {
public:
    explicit ScopedFakeDesktop(FakeDesktop &fake) { setDesktopForTesting(&fake); }
    ~ScopedFakeDesktop() { setDesktopForTesting(nullptr); }
};

} // namespace kaptiv::testing
