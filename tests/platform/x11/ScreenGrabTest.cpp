// Grabs of real X windows with known pixels, on a 24-bit display with a window manager and on 24-,
// 16-, 15- and 30-bit displays without one.
#include "X11TestWindow.h"
#include "capture/Capture.h"
#include "platform/pixels/CursorStamp.h"
#include "platform/ui/Errors.h"
#include "platform/x11/X11Desktop.h"

#include <gtest/gtest.h>

// Xlib last: its macros break Qt's headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace kaptiv::testing {
namespace {

struct DisplayCase {
    const char *variable; // empty: $DISPLAY
    int depth;
    int bitmapDepth; // what "Highest" keeps it at
};

// Shown in test listings as the display's variable instead of raw bytes.
void PrintTo(const DisplayCase &c, std::ostream *out) { *out << c.variable << " at " << c.depth << " bits"; }

class ScreenGrab : public ::testing::TestWithParam<DisplayCase> {
protected:
    void SetUp() override
    {
        display = QString::fromLocal8Bit(qgetenv(GetParam().variable));
        if (display.isEmpty())
            GTEST_SKIP() << GetParam().variable << " is not set";
        desktop = std::make_unique<X11Desktop>(display);
    }
    QString display;
    std::unique_ptr<X11Desktop> desktop;
};

TEST_P(ScreenGrab, FindsTheWindowsPixelsAtEachColourDepth)
{
    ASSERT_EQ(desktop->displayDepth(), GetParam().depth);
    const QImage pattern = quarteredPattern(120, 80);
    X11TestWindow window(display, {200, 150}, pattern);
    window.activate();
    const ScreenRect client = desktop->clientRect(window.id());
    ASSERT_EQ(client.width(), 120);
    ASSERT_EQ(client.height(), 80);

    struct Case {
        CaptureColors colors;
        int depth;
    } cases[] = {{CaptureColors::Monochrome, 1}, {CaptureColors::Colors16, 4}, {CaptureColors::Colors256, 8},
                 {CaptureColors::Highest, GetParam().bitmapDepth}};
    for (const Case &c : cases) {
        CaptureOptions options;
        options.refreshDelay = QStringLiteral("0");
        options.colors = c.colors;
        const Bitmap screen = CaptureScreen(*desktop, options);
        ASSERT_EQ(screen.depth(), c.depth);
        ASSERT_EQ(QSize(screen.width(), screen.height()), desktop->screenSize());
        const QImage found = screen.toRgb32().copy(client.Left, client.Top, 120, 80);
        const QImage expected = convertToColors(pattern, 24, c.colors).toRgb32();
        EXPECT_EQ(found, expected) << "colour depth " << c.depth;
    }
}

TEST_P(ScreenGrab, IncludeCursorDrawsTheCurrentCursorAtThePointer)
{
    const QImage pattern = quarteredPattern(200, 200);
    X11TestWindow window(display, {300, 300}, pattern);
    window.activate();
    const ScreenRect client = desktop->clientRect(window.id());
    const QPoint pointer(client.Left + 50, client.Top + 60);
    desktop->setCursorPos(pointer);
    ASSERT_EQ(desktop->cursorPos(), pointer);
    const CursorImage cursor = desktop->currentCursor();
    ASSERT_FALSE(cursor.image.isNull());

    CaptureOptions options;
    options.refreshDelay = QStringLiteral("0");
    const Bitmap without = CaptureScreen(*desktop, options);
    options.includeCursor = true;
    const Bitmap with = CaptureScreen(*desktop, options);
    EXPECT_NE(with.toRgb32(), without.toRgb32());

    Bitmap expected(without.image().copy(), without.depth());
    stampCursor(expected, cursor, pointer);
    EXPECT_EQ(with.toRgb32(), expected.toRgb32());
    // Nothing changes outside the cursor's rectangle put with its top-left at the pointer.
    QImage a = with.toRgb32(), b = without.toRgb32();
    const QRect stamped(pointer, cursor.image.size());
    for (int y = 0; y < a.height(); y += 3)
        for (int x = 0; x < a.width(); x += 3)
            if (!stamped.contains(x, y)) {
                ASSERT_EQ(a.pixel(x, y), b.pixel(x, y)) << x << "," << y;
            }
}

TEST_P(ScreenGrab, ActiveWindowIsFoundWithItsFrameAndClientArea)
{
    const QImage pattern = quarteredPattern(160, 90);
    X11TestWindow window(display, {400, 220}, pattern);
    window.activate();
    const WindowId active = desktop->foregroundWindow();
    ASSERT_EQ(active, window.id());

    CaptureOptions options;
    options.refreshDelay = QStringLiteral("0");
    const WindowCapture client = captureWindowArea(*desktop, active, false, options, {}, {});
    EXPECT_EQ(client.bitmap.toRgb32(), pattern);

    const WindowCapture whole = captureWindowArea(*desktop, active, true, options, {}, {});
    const ScreenRect inner = desktop->clientRect(active);
    const ScreenRect outer = whole.rect;
    EXPECT_LE(outer.Left, inner.Left);
    EXPECT_LE(outer.Top, inner.Top);
    EXPECT_GE(outer.Right, inner.Right);
    EXPECT_GE(outer.Bottom, inner.Bottom);
    EXPECT_EQ(whole.bitmap.width(), outer.width());
    EXPECT_EQ(whole.bitmap.toRgb32().copy(inner.Left - outer.Left, inner.Top - outer.Top, 160, 90), pattern);
    EXPECT_EQ(outer, window.frameRect());
    if (desktop->hasWindowManager())
        EXPECT_GT(outer.height(), inner.height()) << "the frame's title bar belongs to the window";
    else
        EXPECT_EQ(outer, inner);
}

TEST_P(ScreenGrab, OnlyAWindowOnViewIsTheActiveWindow)
{
    // What names the active window: the window manager's _NET_ACTIVE_WINDOW, or else the focus.
    Display *x = XOpenDisplay(display.toLocal8Bit().constData());
    ASSERT_TRUE(x);
    const Window root = DefaultRootWindow(x);
    const Atom activeAtom = XInternAtom(x, "_NET_ACTIVE_WINDOW", False);
    const bool managed = desktop->hasWindowManager();
    auto make = [&](int left, int top, bool mapped) { // left alone by the window manager
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        const Window w = XCreateWindow(x, root, left, top, 40, 30, 0, CopyFromParent, InputOutput, CopyFromParent,
                                       CWOverrideRedirect, &attributes);
        if (mapped)
            XMapWindow(x, w);
        return w;
    };
    const Window hidden = make(100, 100, false), parked = make(-100, -100, true), shown = make(100, 100, true);
    XSync(x, False);
    struct Case {
        const char *what;
        Window named;
        WindowId expected;
    } cases[] = {
        {"nothing named, as right after the window manager starts", 0, 0},
        {"hidden by its program, still named", hidden, 0},
        {"parked off the screen, like a window manager's own focus window", parked, 0},
        {"on view", shown, shown},
    };
    for (const Case &c : cases) {
        if (managed && c.named)
            XChangeProperty(x, root, activeAtom, XA_WINDOW, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char *>(&c.named), 1);
        else if (managed)
            XDeleteProperty(x, root, activeAtom);
        else if (c.named == hidden)
            continue; // the focus cannot rest on a window that is not viewable
        else
            XSetInputFocus(x, c.named ? c.named : PointerRoot, RevertToPointerRoot, CurrentTime);
        XSync(x, False);
        EXPECT_EQ(desktop->foregroundWindow(), c.expected) << c.what;
    }
    if (managed)
        XDeleteProperty(x, root, activeAtom);
    else
        XSetInputFocus(x, PointerRoot, RevertToPointerRoot, CurrentTime);
    XDestroyWindow(x, shown);
    XSync(x, False);

    // A window that closes after it was found: no picture of nothing.
    CaptureOptions options;
    options.refreshDelay = QStringLiteral("0");
    for (const bool whole : {true, false})
        EXPECT_THROW(captureWindowArea(*desktop, shown, whole, options, {}, {}), ENoWindow) << whole;
    XDestroyWindow(x, hidden);
    XDestroyWindow(x, parked);
    XCloseDisplay(x);
}

TEST_P(ScreenGrab, GrabbedPixelsAreOpaqueAsTheirFormatRequires)
{
    // A 32-bit RGB image with a zero spare byte is drawn as black by parts of the toolkit.
    const QSize size = desktop->screenSize();
    const QImage screen = desktop->grabScreen({0, 0, size.width(), size.height()});
    if (screen.format() != QImage::Format_RGB32)
        return; // 16-bit pixels have no spare byte to fill
    for (int y = 0; y < screen.height(); y += 37) {
        const QRgb *row = reinterpret_cast<const QRgb *>(screen.constScanLine(y));
        for (int x = 0; x < screen.width(); x += 13)
            ASSERT_EQ(qAlpha(row[x]), 255) << x << "," << y;
    }
}

TEST_P(ScreenGrab, AreasOffTheScreenAreBlack)
{
    const QSize size = desktop->screenSize();
    const QImage part = desktop->grabScreen({size.width() - 10, -5, size.width() + 10, 5});
    ASSERT_EQ(part.size(), QSize(20, 10));
    const QImage rgb = part.convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(rgb.pixel(15, 7), qRgb(0, 0, 0));
    EXPECT_EQ(rgb.pixel(5, 2), qRgb(0, 0, 0));
}

INSTANTIATE_TEST_SUITE_P(Displays, ScreenGrab,
                         ::testing::Values(DisplayCase{"DISPLAY", 24, 24}, DisplayCase{"KAPTIV_DISPLAY_NOWM", 24, 24},
                                           DisplayCase{"KAPTIV_DISPLAY_DEPTH16", 16, 16},
                                           DisplayCase{"KAPTIV_DISPLAY_DEPTH15", 15, 16},
                                           DisplayCase{"KAPTIV_DISPLAY_DEPTH30", 30, 24}),
                         [](const auto &info) { return std::string(info.param.variable).substr(0, 7) == "DISPLAY"
                                                    ? std::string("WithWindowManager")
                                                    : std::string(info.param.variable).substr(15); });

} // namespace
} // namespace kaptiv::testing
