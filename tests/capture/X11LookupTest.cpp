// Window-at-point lookup on real X windows, with a window manager (DISPLAY) and without one
// (KAPTIV_DISPLAY_NOWM).
#include "X11TestWindow.h"
#include "XdoTool.h"
#include "capture/WndFromPt.h"
#include "platform/x11/X11Desktop.h"

#include <QProcess>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace kaptiv::testing {
namespace {

class X11Lookup : public ::testing::TestWithParam<const char *> {
protected:
    void SetUp() override
    {
        display = displayFromEnvironment(GetParam());
        if (display.isEmpty())
            GTEST_SKIP() << GetParam() << " names no display";
        desktop = std::make_unique<X11Desktop>(display);
    }
    bool hasWindowManager() { return desktop->windowRect(testWindowId) != desktop->clientRect(testWindowId); }

    QString display;
    std::unique_ptr<X11Desktop> desktop;
    WindowId testWindowId = 0;
};

QPoint centreOf(const ScreenRect &r) { return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2}; }

TEST_P(X11Lookup, FindsTheWindowTheUserPointsAtAndItsExactRectangles)
{
    X11TestWindow window(display, {60, 600}, quarteredPattern(200, 150));
    testWindowId = window.id();
    const ScreenRect client = desktop->clientRect(window.id());
    const ScreenRect outer = desktop->windowRect(window.id());
    EXPECT_EQ(client.width(), 200);
    EXPECT_EQ(client.height(), 150);

    WindowLookup lookup;
    lookup.ListWindows(*desktop, 0);
    const WindowId inside = lookup.WindowAtPoint(*desktop, centreOf(client));
    EXPECT_EQ(inside, window.id()) << "the client window, not its frame";
    EXPECT_EQ(desktop->windowRect(inside), outer);
    EXPECT_EQ(desktop->clientRect(inside), client);

    if (hasWindowManager()) {
        // The title bar belongs to the frame, which stands for the whole window.
        const QPoint titleBar(centreOf(client).x(), (outer.Top + client.Top) / 2);
        const WindowId frame = lookup.WindowAtPoint(*desktop, titleBar);
        EXPECT_NE(frame, window.id());
        EXPECT_EQ(desktop->windowRect(frame), outer);
        EXPECT_EQ(desktop->clientRect(frame), client) << "a frame's client area is its client's";
    }
    for (const WindowEntry &e : lookup.entries())
        EXPECT_GT(e.width() * e.height(), 0) << "no input-only or empty helpers";
}

TEST_P(X11Lookup, ASmallWindowCoveredByALargeOneIsFoundOnlyWhenTheLargeOneIsLeftOut)
{
    X11TestWindow small(display, {120, 620}, quarteredPattern(60, 40), QStringLiteral("small"));
    X11TestWindow large(display, {60, 600}, quarteredPattern(300, 200), QStringLiteral("large"));
    // A window manager may map a window it does not focus below the focused one; this one must cover.
    large.activate();
    testWindowId = large.id();
    const QPoint point = centreOf(desktop->clientRect(small.id()));

    WindowLookup lookup;
    lookup.ListWindows(*desktop, 0);
    EXPECT_EQ(lookup.WindowAtPoint(*desktop, point), large.id()) << "smaller, but covered";

    lookup.ListWindows(*desktop, large.id());
    EXPECT_EQ(lookup.WindowAtPoint(*desktop, point), small.id()) << "the excluded window covers nothing";

    if (hasWindowManager()) {
        // Minimised through the window manager: neither it nor its frame is listed.
        ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"),
                                    {QStringLiteral("windowminimize"), QStringLiteral("--sync"), QString::number(large.id())}),
                  0);
        // The window manager unmaps the frame after the client: look again until it has.
        waitUntil([&] {
            lookup.ListWindows(*desktop, 0);
            return lookup.WindowAtPoint(*desktop, point) != large.id();
        });
        EXPECT_EQ(lookup.WindowAtPoint(*desktop, point), small.id()) << "a minimised window covers nothing";
    }
}

INSTANTIATE_TEST_SUITE_P(Displays, X11Lookup, ::testing::Values("DISPLAY", "KAPTIV_DISPLAY_NOWM"),
                         [](const auto &info) { return std::string(info.param[0] == 'D' ? "WindowManager" : "NoWindowManager"); });

} // namespace
} // namespace kaptiv::testing
