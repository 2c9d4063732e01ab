#pragma once
// What the capture commands ask of the desktop, in the words of the original platform:
// GetSystemMetrics, the screen grab, GetCursorPos/GetCursor, GetForegroundWindow, GetWindowRect,
// GetClientRect + ClientToScreen, the window list of EnumWindows/EnumChildWindows, ClipCursor.
// X11Desktop implements it on an X display; FakeDesktop scripts it for tests.

#include <QImage>
#include <QPoint>
#include <QSize>
#include <cstdint>
#include <memory>
#include <vector>

namespace kaptiv {

using WindowId = std::uint64_t; // 0 = no window

// Left, Top, Right, Bottom in screen pixels; Right and Bottom one past the last pixel.
struct ScreenRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int width() const { return Right - Left; }
    int height() const { return Bottom - Top; }
    bool operator==(const ScreenRect &) const = default;
};

// A pointer's image and the hot spot within it. Drawn, `image` is blended over the picture by its
// alpha, then the picture beneath is XORed with `invert`: the pixels of a two-colour cursor that
// turn the background into its opposite.
struct CursorImage {
    QImage image;  // any ARGB format; null when the desktop cannot give it
    QImage invert; // Format_RGB32 of the same size; null when nothing is inverted
    QPoint hotSpot;
};

// One entry of the window list: a window and where it stands.
struct DesktopWindow {
    WindowId id = 0;
    WindowId parent = 0;    // 0 for a top-level window
    ScreenRect rect;        // outer rectangle including any frame, screen coordinates
    ScreenRect clientRect;  // client area, screen coordinates
    bool visible = true;    // mapped and viewable
    bool minimized = false; // iconic
    bool hasWmState = false; // a client window the window manager (or the user) treats as real
};

// ClipCursor: while one of these lives the pointer stays inside the rectangle it was made for.
// Destroying it frees the pointer again.
class PointerConfinement {
public:
    virtual ~PointerConfinement() = default;
};

class Desktop {
public:
    virtual ~Desktop() = default;

    virtual QSize screenSize() = 0; // the primary screen, starting at (0, 0)
    virtual int displayDepth() = 0; // bits of the display's colours: 15, 16, 24, 30 or 32

    // The pixels of a screen rectangle as the user sees them: Format_RGB16 on a 16-bit display,
    // Format_RGB555 on a 15-bit one, Format_RGB32 on any other (a 30-bit display's channels cut to
    // 8 bits). What lies outside the screen is black.
    virtual QImage grabScreen(const ScreenRect &area) = 0;

    virtual QPoint cursorPos() = 0;
    virtual void setCursorPos(QPoint pos) = 0;
    virtual CursorImage currentCursor() = 0;

    virtual WindowId foregroundWindow() = 0; // 0 when none is active or the active one is not on view
    virtual ScreenRect windowRect(WindowId window) = 0; // including the window manager's frame
    virtual ScreenRect clientRect(WindowId window) = 0; // in screen coordinates
    virtual bool windowExists(WindowId window) = 0;

    // Top-level windows from the top of the stacking order down, each followed at once by its
    // descendants (depth first, topmost child first).
    virtual std::vector<DesktopWindow> listWindows() = 0;

    // False where the desktop shows a program neither the other windows, nor the pointer, nor the
    // keys pressed elsewhere (a Wayland session): only the whole screen can be captured there.
    virtual bool seesOtherWindows() { return true; }

    // Keeps the pointer on the pixels of `area` while `eventWindow`, one of this program's own
    // windows, goes on receiving the pointer's events.
    virtual std::unique_ptr<PointerConfinement> confinePointer(const ScreenRect &area, WindowId eventWindow) = 0;
};

// The desktop of this session, opened on first use: chosen in platform/session/, above its forms.
// Raises EDisplayError when there is no display to open.
Desktop &desktop();
// Tests put a fake in its place; pass nullptr to go back to the real one.
void setDesktopForTesting(Desktop *fake);

// Raises EDisplayError when the toolkit shows its windows on an X display that cannot draw them
// (a palette display): the program then refuses to start instead of opening a black window.
void requireDisplayForWindows();

} // namespace kaptiv
