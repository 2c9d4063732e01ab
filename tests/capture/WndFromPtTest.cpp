// Window-at-point lookup on a scripted desktop.
#include "capture/WndFromPt.h"

#include "FakeDesktop.h"

#include <gtest/gtest.h>
#include <map>
#include <string>

namespace kaptiv {
namespace {

using testing::FakeDesktop;

ScreenRect box(int left, int top, int width, int height) { return {left, top, left + width, top + height}; }

// Adds a window whose client area is its whole rectangle.
WindowId add(FakeDesktop &desktop, ScreenRect rect, WindowId parent = 0)
{
    return desktop.addWindow(rect, rect, parent);
}

DesktopWindow &entryOf(FakeDesktop &desktop, WindowId id)
{
    return *const_cast<DesktopWindow *>(desktop.find(id));
}

struct PointCase {
    const char *what;
    QPoint point;
    const char *expected; // name of the window, or "previous"
};

TEST(WindowAtPoint, PicksTheSmallestContainerInTheWindowInFrontWithStrictEdges)
{
    FakeDesktop desktop;
    // Top of the stacking order first; each window followed by its descendants.
    const WindowId dialog = add(desktop, box(100, 100, 400, 300));
    const WindowId edit = add(desktop, box(150, 150, 150, 30), dialog);
    const WindowId large = add(desktop, box(0, 0, 600, 400));
    const WindowId covered = add(desktop, box(520, 20, 40, 40));
    const WindowId hidden = add(desktop, box(20, 20, 10, 10));
    entryOf(desktop, hidden).visible = false;
    const std::map<std::string, WindowId> names{
        {"large", large}, {"dialog", dialog}, {"edit", edit}, {"covered", covered}};

    WindowLookup lookup;
    lookup.ListWindows(desktop, 0);
    const PointCase cases[] = {
        {"inside an edit control of a dialog", {200, 160}, "edit"},
        {"inside the dialog, off the control", {120, 300}, "dialog"},
        {"a smaller window covered by a larger one above it is not chosen", {540, 40}, "large"},
        {"only the large window", {50, 50}, "large"},
        {"the edit's leftmost column belongs to the dialog", {150, 160}, "dialog"},
        {"the edit's top row belongs to the dialog", {200, 150}, "dialog"},
        {"the last column + 1 is outside the edit", {300, 160}, "dialog"},
        {"the large window's top row: nothing, previous answer", {50, 0}, "previous"},
        {"a hidden window is never found", {25, 25}, "large"},
    };
    WindowId previous = 0;
    for (const PointCase &c : cases) {
        const WindowId expected = std::string(c.expected) == "previous" ? previous : names.at(c.expected);
        const WindowId found = lookup.WindowAtPoint(desktop, c.point);
        EXPECT_EQ(found, expected) << c.what;
        previous = found;
    }
}

TEST(WindowAtPoint, NarrowerOrShorterReplacesTheBestAndTiesKeepTheLowerWindow)
{
    struct Case {
        const char *what;
        QSize upper, lower; // sizes of the control on top and of the one below it
        const char *expected;
    } cases[] = {
        {"80x60 after a best of 100x50 is narrower", {80, 60}, {100, 50}, "upper"},
        {"100x50 after a best of 80x60 is shorter", {100, 50}, {80, 60}, "upper"},
        {"120x70 after 100x50 is neither", {120, 70}, {100, 50}, "lower"},
        {"equal sizes keep the one met first, the lower", {100, 50}, {100, 50}, "lower"},
    };
    for (const Case &c : cases) {
        FakeDesktop desktop;
        const WindowId window = add(desktop, box(0, 0, 300, 300));
        const WindowId upper = add(desktop, box(10, 10, c.upper.width(), c.upper.height()), window);
        const WindowId lower = add(desktop, box(10, 10, c.lower.width(), c.lower.height()), window);
        WindowLookup lookup;
        lookup.ListWindows(desktop, 0);
        EXPECT_EQ(lookup.WindowAtPoint(desktop, {20, 20}), std::string(c.expected) == "upper" ? upper : lower)
            << c.what;
    }
}

TEST(WindowAtPoint, NeverReturnsHiddenMinimisedOrExcludedWindowsNorWhatTheyHold)
{
    FakeDesktop desktop;
    const WindowId overlay = add(desktop, box(0, 0, 640, 480));
    const WindowId overlayChild = add(desktop, box(300, 300, 20, 20), overlay);
    const WindowId minimised = add(desktop, box(10, 10, 100, 100));
    entryOf(desktop, minimised).minimized = true;
    const WindowId minimisedChild = add(desktop, box(20, 20, 10, 10), minimised);
    const WindowId hidden = add(desktop, box(200, 10, 100, 100));
    entryOf(desktop, hidden).visible = false;
    const WindowId hiddenChild = add(desktop, box(210, 20, 10, 10), hidden);
    const WindowId mainWindow = add(desktop, box(400, 10, 100, 100));
    const WindowId excludedChild = add(desktop, box(410, 20, 10, 10), mainWindow);
    const WindowId background = add(desktop, box(0, 0, 640, 480));

    WindowLookup lookup;
    lookup.ListWindows(desktop, overlay);
    std::vector<WindowId> listed;
    for (const WindowEntry &e : lookup.entries())
        listed.push_back(e.Handle);
    EXPECT_EQ(listed, (std::vector<WindowId>{mainWindow, excludedChild, background}));
    for (QPoint p : {QPoint(25, 25), QPoint(215, 25), QPoint(310, 310), QPoint(50, 50)})
        EXPECT_EQ(lookup.WindowAtPoint(desktop, p), background) << p.x() << "," << p.y();
    // The program's own window takes part when it is visible.
    EXPECT_EQ(lookup.WindowAtPoint(desktop, {450, 50}), mainWindow);

    // An excluded child goes with its own descendants, the rest of its top-level window stays.
    entryOf(desktop, overlay).visible = false;
    lookup.ListWindows(desktop, excludedChild);
    EXPECT_EQ(lookup.WindowAtPoint(desktop, {415, 25}), mainWindow);
    (void)overlayChild, (void)minimisedChild, (void)hiddenChild;
}

TEST(WindowAtPoint, UnderAFrameOnlyTheClientAndItsChildrenFollowTheFrame)
{
    FakeDesktop desktop;
    // A window manager's frame: decorations and a holder window, the client two levels down.
    const WindowId frame = add(desktop, box(100, 100, 300, 230));
    entryOf(desktop, frame).hasWmState = false;
    const WindowId titleBar = add(desktop, box(100, 100, 300, 30), frame);
    const WindowId closeButton = add(desktop, box(380, 105, 15, 15), titleBar);
    const WindowId holder = add(desktop, box(100, 130, 300, 200), frame);
    const WindowId client = add(desktop, box(100, 130, 300, 200), holder);
    entryOf(desktop, client).hasWmState = true;
    const WindowId button = add(desktop, box(120, 150, 60, 20), client);

    WindowLookup lookup;
    lookup.ListWindows(desktop, 0);
    std::vector<WindowId> listed;
    for (const WindowEntry &e : lookup.entries())
        listed.push_back(e.Handle);
    EXPECT_EQ(listed, (std::vector<WindowId>{frame, client, button}));
    EXPECT_EQ(lookup.WindowAtPoint(desktop, {385, 110}), frame) << "decorations are the frame";
    EXPECT_EQ(lookup.WindowAtPoint(desktop, {300, 250}), client);
    EXPECT_EQ(lookup.WindowAtPoint(desktop, {130, 160}), button);

    // Excluding a managed client leaves its frame out too.
    lookup.ListWindows(desktop, client);
    EXPECT_TRUE(lookup.entries().empty());
    (void)closeButton;
}

TEST(WindowAtPoint, ComparesWithTheLiveRectangleButContainsByTheSnapshot)
{
    FakeDesktop desktop;
    const WindowId window = add(desktop, box(0, 0, 600, 600));
    const WindowId big = add(desktop, box(0, 0, 400, 400), window);
    const WindowId small = add(desktop, box(10, 10, 100, 100), window);
    WindowLookup lookup;
    lookup.ListWindows(desktop, 0);
    // The small window grows after the snapshot: its old place still counts, its new size competes.
    entryOf(desktop, small).rect = box(10, 10, 490, 490);
    EXPECT_EQ(lookup.WindowAtPoint(desktop, {50, 50}), big);
    EXPECT_EQ(lookup.WindowAtPoint(desktop, {300, 300}), big) << "containment follows the old place";
}

TEST(WindowAtPoint, RemembersItsAnswerAcrossCapturesUntilTheWindowIsDestroyed)
{
    FakeDesktop desktop;
    const WindowId first = add(desktop, box(10, 10, 100, 100));
    const WindowId second = add(desktop, box(200, 10, 100, 100));
    WindowLookup lookup;
    lookup.ListWindows(desktop, 0);
    EXPECT_EQ(lookup.WindowAtPoint(desktop, {5, 5}), WindowId(0)) << "nothing found yet";
    EXPECT_EQ(lookup.WindowAtPoint(desktop, {50, 50}), first);
    lookup.FreeWindowList();
    EXPECT_TRUE(lookup.entries().empty());

    lookup.ListWindows(desktop, 0);
    EXPECT_EQ(lookup.WindowAtPoint(desktop, {400, 400}), first) << "kept from the last capture";

    // Destroyed between two lookups: neither chosen again nor remembered.
    EXPECT_EQ(lookup.WindowAtPoint(desktop, {250, 50}), second);
    desktop.windows.erase(desktop.windows.begin() + 1);
    EXPECT_EQ(lookup.WindowAtPoint(desktop, {250, 50}), WindowId(0));
    EXPECT_EQ(lookup.WindowAtPoint(desktop, {400, 400}), WindowId(0));
    EXPECT_EQ(lookup.WindowAtPoint(desktop, {50, 50}), first);
}

} // namespace
} // namespace kaptiv
