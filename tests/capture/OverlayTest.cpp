// The selection overlay on the offscreen platform, over a scripted desktop.
#include "capture/CaptureOverlay.h"

#include "FakeCaptureHost.h"
#include "FakeDesktop.h"
#include "OverlayDriver.h"
#include "capture/InvertedOutline.h"
#include "platform/ui/Errors.h"

#include <QTest>
#include <gtest/gtest.h>

namespace kaptiv::testing {
namespace {

QImage positionalScreen(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x & 255, y & 255, (x * 7 + y) & 255));
    return image;
}

bool sameRegion(const QRegion &a, const QRegion &b) { return (a ^ b).isEmpty(); }

// The pixels where two pictures differ.
QRegion differences(const QImage &a, const QImage &b)
{
    QRegion region;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                region += QRect(x, y, 1, 1);
    return region;
}

class OverlayTest : public ::testing::Test {
protected:
    std::unique_ptr<TCapturefrm> make() { return std::make_unique<TCapturefrm>(host, desktop, lookup); }

    FakeDesktop desktop{positionalScreen(640, 480)};
    FakeCaptureHost host;
    WindowLookup lookup;
};

TEST_F(OverlayTest, ModeCursorPenAndLabelFollowTheFlags)
{
    struct Case {
        bool rectangle, customRegion, coords;
        TCapturefrm::Mode mode;
        int pen;
        Qt::CursorShape cursor;
        bool label;
    } cases[] = {
        {false, true, true, TCapturefrm::Mode::CustomRegion, 1, Qt::CrossCursor, false},
        {true, true, true, TCapturefrm::Mode::CustomRegion, 1, Qt::CrossCursor, false},
        {true, false, true, TCapturefrm::Mode::Rectangle, 1, Qt::CrossCursor, true},
        {true, false, false, TCapturefrm::Mode::Rectangle, 1, Qt::CrossCursor, false},
        {false, false, true, TCapturefrm::Mode::WindowPicking, 4, Qt::PointingHandCursor, false},
    };
    for (const Case &c : cases) {
        host.RectangleMode = c.rectangle;
        host.CustomRegionMode = c.customRegion;
        host.coords = c.coords;
        auto overlay = make();
        SCOPED_TRACE(::testing::Message() << c.rectangle << c.customRegion << c.coords);
        EXPECT_EQ(overlay->mode(), c.mode);
        EXPECT_EQ(overlay->penWidth(), c.pen);
        EXPECT_EQ(overlay->cursor().shape(), c.cursor);
        EXPECT_EQ(!overlay->Hint->isHidden(), c.label);
    }
}

TEST_F(OverlayTest, FreezesTheWholeScreenWhileBuiltAndCoversItExactly)
{
    host.RectangleMode = true;
    auto overlay = make();
    ASSERT_TRUE(host.CaptureBitmap);
    EXPECT_EQ(host.CaptureBitmap->image().convertToFormat(QImage::Format_RGB32), desktop.screen);
    EXPECT_EQ(overlay->shownPicture(), desktop.screen);
    EXPECT_EQ(overlay->geometry(), QRect(0, 0, 640, 480));
    EXPECT_EQ(desktop.grabs, 1);
    EXPECT_TRUE(overlay->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(overlay->windowFlags() & Qt::FramelessWindowHint);
}

TEST_F(OverlayTest, AnUnreadableDelayLeavesNoOverlayAndNoFrozenCopy)
{
    host.RectangleMode = true;
    host.options.refreshDelay = QStringLiteral("1.5s");
    try {
        make();
        FAIL() << "the overlay was built without a frozen screen";
    } catch (const EConvertError &error) {
        EXPECT_EQ(error.message(), QStringLiteral("'1.5s' is not a valid integer value"));
    }
    EXPECT_FALSE(host.CaptureBitmap);
    EXPECT_EQ(desktop.grabs, 0);
}

TEST_F(OverlayTest, RectangleDragInvertsTheBandShowsTheLabelAndErasesOnRelease)
{
    host.RectangleMode = true;
    auto overlay = make();
    showOverlay(*overlay);

    moveTo(*overlay, {12, 40});
    EXPECT_EQ(overlay->Hint->text(), QStringLiteral("x - 12, y - 40"));
    EXPECT_EQ(overlay->Hint->pos(), QPoint(13, 41));

    QTest::mousePress(overlay.get(), Qt::LeftButton, {}, {300, 200});
    moveTo(*overlay, {12, 40});
    EXPECT_EQ(overlay->Hint->text(), QStringLiteral("x - 12, y - 40 height - 160, width - 288"));
    EXPECT_EQ(overlay->Hint->pos(), QPoint(300, 200)) << "the label stays where the drag began";
    EXPECT_EQ(overlay->Selection, (ScreenRect{12, 40, 300, 200}));
    const QRegion band = differences(overlay->shownPicture(), desktop.screen);
    EXPECT_TRUE(sameRegion(band, outlineRegion({12, 40, 300, 200}, 1)));
    EXPECT_EQ(overlay->shownPicture().pixel(12, 40), desktop.screen.pixel(12, 40) ^ 0x00FFFFFFu);

    QTest::mouseRelease(overlay.get(), Qt::LeftButton, {}, {12, 40});
    EXPECT_EQ(overlay->result(), 1);
    EXPECT_FALSE(overlay->isVisible());
    EXPECT_EQ(overlay->Selection, (ScreenRect{12, 40, 300, 200}));
    EXPECT_EQ(overlay->shownPicture(), desktop.screen) << "the band is inverted away again";
}

TEST_F(OverlayTest, HowAReleaseEndsTheRectangle)
{
    struct Step {
        enum { Press, Move, Release } kind;
        Qt::MouseButton button;
        QPoint at;
    };
    struct Case {
        const char *what;
        std::vector<Step> steps;
        ScreenRect selection;
    } cases[] = {
        {"click without a drag: the whole screen",
         {{Step::Press, Qt::LeftButton, {100, 100}}, {Step::Release, Qt::LeftButton, {100, 100}}},
         {0, 0, 640, 480}},
        {"dragged away and back to the origin: the whole screen",
         {{Step::Press, Qt::LeftButton, {100, 100}}, {Step::Move, Qt::LeftButton, {150, 150}},
          {Step::Move, Qt::LeftButton, {100, 100}}, {Step::Release, Qt::LeftButton, {100, 100}}},
         {0, 0, 640, 480}},
        {"right click without a drag: nothing",
         {{Step::Press, Qt::RightButton, {100, 100}}, {Step::Release, Qt::RightButton, {100, 100}}},
         {0, 0, 0, 0}},
        {"along one row: no height",
         {{Step::Press, Qt::LeftButton, {100, 100}}, {Step::Move, Qt::LeftButton, {200, 100}},
          {Step::Release, Qt::LeftButton, {200, 100}}},
         {100, 100, 200, 100}},
        {"down and to the left",
         {{Step::Press, Qt::LeftButton, {100, 100}}, {Step::Move, Qt::LeftButton, {40, 300}},
          {Step::Release, Qt::LeftButton, {40, 300}}},
         {40, 100, 100, 300}},
        {"up and to the right",
         {{Step::Press, Qt::LeftButton, {100, 100}}, {Step::Move, Qt::LeftButton, {300, 40}},
          {Step::Release, Qt::LeftButton, {300, 40}}},
         {100, 40, 300, 100}},
        {"a right release ends a left drag",
         {{Step::Press, Qt::LeftButton, {10, 10}}, {Step::Move, Qt::LeftButton, {60, 30}},
          {Step::Release, Qt::RightButton, {60, 30}}},
         {10, 10, 60, 30}},
    };
    host.RectangleMode = true;
    for (const Case &c : cases) {
        auto overlay = make();
        showOverlay(*overlay);
        for (const Step &s : c.steps) {
            if (s.kind == Step::Press)
                QTest::mousePress(overlay.get(), s.button, {}, s.at);
            else if (s.kind == Step::Move)
                moveTo(*overlay, s.at);
            else
                QTest::mouseRelease(overlay.get(), s.button, {}, s.at);
        }
        EXPECT_EQ(overlay->result(), 1) << c.what;
        EXPECT_EQ(overlay->Selection, c.selection) << c.what;
        EXPECT_EQ(overlay->shownPicture(), desktop.screen) << c.what << ": no band left behind";
    }
}

TEST_F(OverlayTest, AMoveRepaintsOnlyTheOutlinesThatChanged)
{
    host.RectangleMode = true;
    host.coords = false;
    auto overlay = make();
    showOverlay(*overlay);
    PaintedArea painted(*overlay);
    QTest::mousePress(overlay.get(), Qt::LeftButton, {}, {100, 100});
    ScreenRect previous{};
    for (QPoint to : {QPoint(200, 150), QPoint(500, 400), QPoint(510, 405), QPoint(101, 300)}) {
        moveTo(*overlay, to);
        const ScreenRect now = overlay->Selection;
        const qint64 outlines = 2 * (previous.width() + previous.height()) + 2 * (now.width() + now.height());
        EXPECT_LE(painted.take(), outlines) << to.x() << "," << to.y();
        previous = now;
    }
    QTest::mouseRelease(overlay.get(), Qt::LeftButton, {}, {101, 300});
}

TEST_F(OverlayTest, CustomRegionIsPulledOnTheScreenAndThePointerKeptThere)
{
    host.CustomRegionMode = true;
    host.regionSize = {100, 50};
    desktop.pointer = {630, 470};
    auto overlay = make();
    showOverlay(*overlay);
    EXPECT_EQ(desktop.pointer, QPoint(540, 430));
    ASSERT_TRUE(desktop.confinedTo);
    EXPECT_EQ(*desktop.confinedTo, (ScreenRect{0, 0, 541, 431}));
    EXPECT_EQ(overlay->Selection, (ScreenRect{630, 470, 730, 520})) << "the first frame starts at the old point";

    moveTo(*overlay, {540, 430});
    EXPECT_EQ(overlay->Selection, (ScreenRect{540, 430, 640, 480}));
    EXPECT_TRUE(sameRegion(differences(overlay->shownPicture(), desktop.screen), outlineRegion({540, 430, 640, 480}, 1)))
        << "the first frame was erased";
    host.regionSize = {20, 10}; // read afresh on every move
    moveTo(*overlay, {200, 100});
    EXPECT_EQ(overlay->Selection, (ScreenRect{200, 100, 220, 110}));

    QTest::mouseRelease(overlay.get(), Qt::RightButton, {}, {200, 100});
    EXPECT_EQ(overlay->result(), 1);
    EXPECT_FALSE(desktop.confinedTo) << "the pointer is free again";
}

TEST_F(OverlayTest, CustomRegionLeavesAPointerThatFitsWhereItIsAndFreesItWhenDestroyed)
{
    host.CustomRegionMode = true;
    host.regionSize = {100, 50};
    desktop.pointer = {200, 100};
    auto overlay = make();
    showOverlay(*overlay);
    EXPECT_EQ(desktop.pointer, QPoint(200, 100));
    EXPECT_TRUE(desktop.confinedTo);
    overlay.reset();
    EXPECT_FALSE(desktop.confinedTo);
}

TEST_F(OverlayTest, WindowPickingFramesTheLiveRectangleOfTheWindowUnderThePointer)
{
    const WindowId left = desktop.addWindow({50, 50, 250, 250}, {55, 75, 245, 245});
    const WindowId right = desktop.addWindow({300, 50, 500, 250}, {305, 75, 495, 245});
    host.WholeWindow = true;
    desktop.pointer = {100, 100};
    auto overlay = make();
    lookup.ListWindows(desktop, overlay->windowId());
    showOverlay(*overlay);
    EXPECT_EQ(overlay->Selection, (ScreenRect{50, 50, 250, 250}));
    EXPECT_TRUE(sameRegion(differences(overlay->shownPicture(), desktop.screen), outlineRegion({50, 50, 250, 250}, 4)));

    PaintedArea painted(*overlay);
    painted.take(); // the first frame's own repaint
    moveTo(*overlay, {120, 130});
    EXPECT_EQ(painted.take(), 0) << "moving within one window draws nothing";

    // The right window moves after the snapshot: the frame follows where it is now.
    for (DesktopWindow &w : desktop.windows)
        if (w.id == right)
            w.rect = {310, 60, 510, 260};
    moveTo(*overlay, {400, 100});
    EXPECT_EQ(overlay->Selection, (ScreenRect{310, 60, 510, 260}));
    EXPECT_TRUE(sameRegion(differences(overlay->shownPicture(), desktop.screen), outlineRegion({310, 60, 510, 260}, 4)));
    EXPECT_GT(painted.take(), 0);

    QTest::mouseRelease(overlay.get(), Qt::LeftButton, {}, {400, 100});
    EXPECT_EQ(overlay->result(), 1);
    EXPECT_EQ(overlay->Selection, (ScreenRect{310, 60, 510, 260}));

    // Client areas when whole windows are not asked for.
    host.WholeWindow = false;
    desktop.pointer = {100, 100};
    auto clientOverlay = make();
    lookup.ListWindows(desktop, clientOverlay->windowId());
    showOverlay(*clientOverlay);
    EXPECT_EQ(clientOverlay->Selection, (ScreenRect{55, 75, 245, 245}));
    (void)left;
}

TEST_F(OverlayTest, SwitchingToAnotherWindowCancelsAndEscDoesNothing)
{
    host.CustomRegionMode = true;
    auto overlay = make();
    showOverlay(*overlay);
    overlay->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(overlay.get(), 5000));
    QTest::keyClick(overlay.get(), Qt::Key_Escape);
    EXPECT_TRUE(overlay->isVisible()) << "Esc does nothing";
    EXPECT_TRUE(desktop.confinedTo);

    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other, 5000));
    QCoreApplication::processEvents();
    EXPECT_FALSE(overlay->isVisible());
    EXPECT_EQ(overlay->result(), 2);
    EXPECT_FALSE(desktop.confinedTo) << "cancelling frees the pointer";
}

} // namespace
} // namespace kaptiv::testing
