// The four area capture commands of the main window, on a scripted desktop: the user's choice on
// the overlay is played with the mouse inside the modal run.
#include "AppFixture.h"
#include "OverlayDriver.h"
#include "capture/CaptureOverlay.h"
#include "capture/CustSnap.h"
#include "capture/WndFromPt.h"

#include <QTest>

namespace kaptiv::testing {
namespace {

struct Flags {
    bool rectangle, customRegion, wholeWindow;
    bool operator==(const Flags &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Flags &f)
{
    return out << "rect " << f.rectangle << " custom " << f.customRegion << " whole " << f.wholeWindow;
}

class AreaCaptureTest : public AppFixture {
protected:
    AreaCaptureTest()
    {
        dialogs.onModal = [this](QDialog &dialog) {
            if (auto *custom = qobject_cast<TCustfrm *>(&dialog)) {
                ++customDialogRuns;
                custom->heightb->setValue(regionSize.height());
                custom->widthb->setValue(regionSize.width());
                return customAnswer;
            }
            auto &overlay = dynamic_cast<TCapturefrm &>(dialog);
            ++overlayRuns;
            flagsDuringOverlay = {main->RectangleMode, main->CustomRegionMode, main->WholeWindow};
            mainVisibleDuringOverlay = main->isVisible();
            windowsListed = windowLookup().entries().size();
            showOverlay(overlay);
            user(overlay);
            return overlay.result();
        };
    }
    Flags flags() const { return {main->RectangleMode, main->CustomRegionMode, main->WholeWindow}; }
    QImage picture() { return active()->Image->picture().image().convertToFormat(QImage::Format_RGB32); }

    // Runs a command from its menu item or tool button, as the user would.
    void trigger(QAction *action)
    {
        action->trigger();
        settle();
    }

    std::function<void(TCapturefrm &)> user = [](TCapturefrm &o) { QTest::mouseClick(&o, Qt::LeftButton); };
    QSize regionSize{32, 32};
    int customAnswer = 1;
    int customDialogRuns = 0, overlayRuns = 0;
    Flags flagsDuringOverlay{};
    bool mainVisibleDuringOverlay = false;
    size_t windowsListed = 0;
};

void drag(TCapturefrm &overlay, QPoint from, QPoint to)
{
    QTest::mousePress(&overlay, Qt::LeftButton, {}, from);
    moveTo(overlay, to, Qt::LeftButton);
    QTest::mouseRelease(&overlay, Qt::LeftButton, {}, to);
}

TEST_F(AreaCaptureTest, EachCommandSetsAndResetsTheModeFlags)
{
    struct Case {
        const char *what;
        const char *action;
        Flags before, during, after;
    } cases[] = {
        {"Grab Rectangular Area", "GrabRectangle", {false, false, false}, {true, false, false}, {true, false, false}},
        {"its tool button", "rectb", {false, false, false}, {true, false, false}, {true, false, false}},
        {"Grab Window", "GrabWindow", {true, false, false}, {false, false, true}, {false, false, false}},
        {"its tool button", "wndb", {true, false, false}, {false, false, true}, {false, false, false}},
        {"Client Area", "Client", {true, false, false}, {false, false, false}, {false, false, false}},
        {"its tool button", "Clientb", {true, false, false}, {false, false, false}, {false, false, false}},
        {"Custom Region after a rectangle", "CustomRegion1", {true, false, false}, {true, true, false}, {true, false, false}},
        {"its tool button after a window", "Custb", {false, false, false}, {false, true, false}, {false, false, false}},
    };
    for (const Case &c : cases) {
        main->RectangleMode = c.before.rectangle;
        main->WholeWindow = c.before.wholeWindow;
        trigger(main->item(c.action));
        EXPECT_EQ(flagsDuringOverlay, c.during) << c.what;
        EXPECT_EQ(flags(), c.after) << c.what;
        EXPECT_FALSE(main->CaptureBitmap) << c.what;
        EXPECT_TRUE(windowLookup().entries().empty()) << c.what << ": the window list is released";
    }
    EXPECT_EQ(overlayRuns, 8);
}

TEST_F(AreaCaptureTest, ADraggedRectangleBecomesAnImageOfThatPartOfTheFrozenScreen)
{
    config().hideprog->setChecked(true);
    user = [](TCapturefrm &o) { drag(o, {300, 200}, {12, 40}); };
    trigger(main->item("GrabRectangle"));
    EXPECT_FALSE(mainVisibleDuringOverlay);
    EXPECT_TRUE(main->isVisible());
    ASSERT_EQ(captions(), QStringList{QStringLiteral("Untitled1")});
    EXPECT_EQ(picture(), fake.screen.copy(12, 40, 288, 160));
    EXPECT_EQ(active()->hint(), QStringLiteral("Untitled1 - Width: 288, Height: 160, Colors: 16777216"));
}

TEST_F(AreaCaptureTest, WhatAClickOrALineGives)
{
    struct Case {
        const char *what;
        std::function<void(TCapturefrm &)> user;
        QSize size;
    } cases[] = {
        {"a click without a drag: the whole screen", [](TCapturefrm &o) { QTest::mouseClick(&o, Qt::LeftButton, {}, {50, 60}); }, {640, 480}},
        {"a right click without a drag: nothing", [](TCapturefrm &o) { QTest::mouseClick(&o, Qt::RightButton, {}, {50, 60}); }, {0, 0}},
        {"a drag down one column", [](TCapturefrm &o) { drag(o, {50, 60}, {50, 220}); }, {0, 160}},
        {"a drag along one row", [](TCapturefrm &o) { drag(o, {50, 60}, {90, 60}); }, {40, 0}},
    };
    for (const Case &c : cases) {
        user = c.user;
        trigger(main->item("GrabRectangle"));
        ASSERT_TRUE(active()) << c.what;
        EXPECT_EQ(active()->Image->size(), c.size) << c.what;
        EXPECT_TRUE(active()->hint().contains(QStringLiteral("Width: %1, Height: %2").arg(c.size.width()).arg(c.size.height())))
            << c.what << ": " << active()->hint().toStdString();
        if (c.size == QSize(640, 480)) {
            EXPECT_EQ(picture(), fake.screen) << c.what;
        }
    }
    EXPECT_EQ(main->imageWindows().size(), 4);
}

TEST_F(AreaCaptureTest, APickedWindowKeepsItsFullSizeWithBlackBeyondTheScreen)
{
    const WindowId maximised = fake.addWindow({-4, -4, 644, 484}, {0, 20, 640, 480});
    const WindowId small = fake.addWindow({100, 100, 200, 160}, {104, 120, 196, 156});
    std::swap(fake.windows[0], fake.windows[1]); // the small window on top
    fake.pointer = {150, 130};
    struct Case {
        const char *action;
        QPoint at;
        QRect expected;
    } cases[] = {
        {"GrabWindow", {150, 130}, {100, 100, 100, 60}},
        {"Client", {150, 130}, {104, 120, 92, 36}},
        {"Client", {400, 300}, {0, 20, 640, 460}},
        {"wndb", {400, 300}, {-4, -4, 648, 488}},
    };
    for (const auto &c : cases) {
        user = [&](TCapturefrm &o) {
            moveTo(o, c.at);
            QTest::mouseClick(&o, Qt::LeftButton, {}, c.at);
        };
        trigger(main->item(c.action));
        EXPECT_GT(windowsListed, 0u);
        ASSERT_TRUE(active());
        const QImage got = picture();
        EXPECT_EQ(got.size(), c.expected.size());
        QImage expected(c.expected.size(), QImage::Format_RGB32);
        expected.fill(Qt::black);
        for (int y = 0; y < expected.height(); ++y)
            for (int x = 0; x < expected.width(); ++x)
                if (fake.screen.rect().contains(c.expected.topLeft() + QPoint(x, y)))
                    expected.setPixel(x, y, fake.screen.pixel(c.expected.topLeft() + QPoint(x, y)));
        EXPECT_EQ(got, expected) << c.expected.x() << "," << c.expected.y();
    }
    (void)maximised, (void)small;
}

TEST_F(AreaCaptureTest, ACustomRegionHasTheDialogsSizeFromTheFramesCorner)
{
    config().hideprog->setChecked(true);
    regionSize = {100, 50};
    fake.pointer = {630, 470};
    user = [](TCapturefrm &o) {
        moveTo(o, {300, 400});
        QTest::mouseClick(&o, Qt::LeftButton, {}, {300, 400});
    };
    trigger(main->item("CustomRegion1"));
    EXPECT_EQ(customDialogRuns, 1);
    EXPECT_FALSE(mainVisibleDuringOverlay);
    ASSERT_TRUE(active());
    EXPECT_EQ(picture(), fake.screen.copy(300, 400, 100, 50));
    EXPECT_FALSE(fake.confinedTo);

    // The first frame hangs over the edge until the pointer moves: the part beyond is black.
    user = [](TCapturefrm &o) { QTest::mouseRelease(&o, Qt::LeftButton, {}, {630, 470}); };
    fake.pointer = {630, 470};
    trigger(main->item("Custb"));
    EXPECT_EQ(active()->Image->size(), QSize(100, 50));
}

TEST_F(AreaCaptureTest, CancellingLeavesNothingBehind)
{
    config().hideprog->setChecked(true);
    // In the dialog: the main window never hides and no overlay runs.
    customAnswer = 2;
    trigger(main->item("CustomRegion1"));
    EXPECT_EQ(overlayRuns, 0);
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(fake.grabs, 0);

    // On the overlay: switching to another window.
    user = [](TCapturefrm &o) {
        o.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&o, 5000)) << "the overlay never became active";
        QWidget other;
        other.show();
        other.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&other, 5000)) << "the other window never took over";
    };
    for (QAction *action : {main->item("GrabRectangle"), main->item("GrabWindow"), main->item("CustomRegion1")}) {
        customAnswer = 1;
        trigger(action);
        EXPECT_TRUE(captions().isEmpty()) << action->text().toStdString();
        EXPECT_TRUE(main->isVisible());
        EXPECT_FALSE(main->CaptureBitmap);
        EXPECT_FALSE(fake.confinedTo);
        EXPECT_TRUE(windowLookup().entries().empty());
    }
    EXPECT_EQ(overlayRuns, 3);
}

TEST_F(AreaCaptureTest, AnUnreadableDelayShowsTheErrorAndAbandonsTheCapture)
{
    config().hideprog->setChecked(true);
    config().Delay->setText(QString());
    for (QAction *action : {main->item("GrabRectangle"), main->item("Clientb"), main->item("Custb")}) {
        QMetaObject::invokeMethod(action, &QAction::trigger, Qt::QueuedConnection); // through the catch point
        settle();
        ASSERT_FALSE(dialogs.shown.empty()) << action->text().toStdString();
        EXPECT_EQ(dialogs.shown.back().text, QStringLiteral("'' is not a valid integer value"));
        EXPECT_EQ(dialogs.shown.back().caption, QStringLiteral("Kaptiv"));
    }
    EXPECT_EQ(overlayRuns, 0);
    EXPECT_TRUE(captions().isEmpty());
    EXPECT_TRUE(main->isVisible());
    EXPECT_FALSE(main->CaptureBitmap);
    EXPECT_EQ(flags(), (Flags{false, false, false}));
    EXPECT_TRUE(windowLookup().entries().empty());
}

} // namespace
} // namespace kaptiv::testing
