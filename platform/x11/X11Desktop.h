#pragma once
// The desktop on an X display. Xlib's headers stay inside the .cpp: their macros (None, Bool,
// KeyPress, FocusIn...) break Qt's headers.

#include "platform/desktop/Desktop.h"

#include <QString>
#include <memory>

namespace kaptiv {

class X11Desktop : public Desktop {
public:
    // Opens `displayName` (empty: $DISPLAY); raises EDisplayError when that fails.
    explicit X11Desktop(const QString &displayName = {});
    ~X11Desktop() override;

    QSize screenSize() override;
    int displayDepth() override;
    QImage grabScreen(const ScreenRect &area) override;
    QPoint cursorPos() override;
    void setCursorPos(QPoint pos) override;
    CursorImage currentCursor() override;
    WindowId foregroundWindow() override;
    ScreenRect windowRect(WindowId window) override;
    ScreenRect clientRect(WindowId window) override;
    bool windowExists(WindowId window) override;
    std::vector<DesktopWindow> listWindows() override;
    std::unique_ptr<PointerConfinement> confinePointer(const ScreenRect &area, WindowId eventWindow) override;

    bool usesSharedMemory() const;
    bool hasWindowManager();

private:
    struct State;
    std::unique_ptr<State> d;
};

} // namespace kaptiv
