// The area capture commands on a real display, the user's part played with xdotool while the
// overlay runs its modal loop. Built three times: on DISPLAY (with a window manager); when
// KAPTIV_TEST_DISPLAY_VARIABLE names it, on KAPTIV_DISPLAY_NOWM (without one); and, when
// KAPTIV_TEST_SCALE_FACTOR gives one, on DISPLAY with Qt scaling everything by that factor.
#include "ScriptedDialogs.h"
#include "X11TestWindow.h"
#include "XdoTool.h"
#include "app/Startup.h"
#include "app/mainSnap.h"
#include "capture/CaptureOverlay.h"
#include "capture/CustSnap.h"
#include "capture/WndFromPt.h"
#include "document/ChldSnap.h"
#include "platform/desktop/DevicePixels.h"
#include "settings/ConfigSnap.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>

namespace kaptiv::testing {
namespace {

#ifdef KAPTIV_TEST_DISPLAY_VARIABLE
#define X11_AREA_CAPTURE X11AreaCaptureWithoutWindowManager
// Runs before main() makes the application object, so the program and its desktop both open it.
// Without that display the application starts offscreen and every test skips.
const bool displayChosen = [] {
    const QByteArray display = qgetenv(KAPTIV_TEST_DISPLAY_VARIABLE);
    qputenv("DISPLAY", display);
    if (display.isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return !display.isEmpty();
}();
#elif defined(KAPTIV_TEST_SCALE_FACTOR)
#define X11_AREA_CAPTURE X11AreaCaptureScaled
// Runs before main() makes the application object, which reads it.
const bool scaleChosen = [] { return qputenv("QT_SCALE_FACTOR", KAPTIV_TEST_SCALE_FACTOR); }();
#else
#define X11_AREA_CAPTURE X11AreaCapture
#endif

TCapturefrm *openOverlay()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *overlay = qobject_cast<TCapturefrm *>(w); overlay && overlay->isVisible())
            return overlay;
    return nullptr;
}

// Each build gets its own suite name, so that ctest tells the two apart.
class X11_AREA_CAPTURE : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            GTEST_SKIP() << "no display";
        createApplicationWindows();
        main = appWindows().Screenfrm;
        TConfigfrm &config = *appWindows().Configfrm;
        config.Delay->setText(QStringLiteral("0"));
        config.hideprog->setChecked(false);
        config.coords->setChecked(true);
        dialogs.onModal = [this](QDialog &dialog) {
            if (auto *custom = qobject_cast<TCustfrm *>(&dialog)) {
                custom->heightb->setValue(regionSize.height());
                custom->widthb->setValue(regionSize.width());
                return 1;
            }
            return dialog.exec();
        };
        screen = desktop().screenSize();
        xdotool({QStringLiteral("mousemove"), QStringLiteral("5"), QString::number(screen.height() - 5)});
        settle(300);
    }
    void TearDown() override
    {
        if (main)
            destroyApplicationWindows();
    }

    void settle(int milliseconds)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < milliseconds)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
    }

    // Runs the command; once its overlay is up and painted, `user` plays the user's part. A
    // watchdog cancels an overlay that outstays its welcome, so a fault cannot hang the suite.
    void runCommand(QAction *action, const std::function<void(TCapturefrm &)> &user)
    {
        bool played = false;
        QElapsedTimer clock;
        clock.start();
        QTimer poll;
        poll.setInterval(20);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            TCapturefrm *overlay = openOverlay();
            if (played) {
                if (overlay && clock.elapsed() > 20000) {
                    ADD_FAILURE() << "the overlay did not end";
                    overlay->done(2);
                }
                return;
            }
            if (overlay && overlay->windowHandle() && overlay->windowHandle()->isExposed()) {
                played = true;
                settle(300);
                user(*overlay);
                clock.restart();
            } else if (clock.elapsed() > 10000) {
                played = true;
                ADD_FAILURE() << "no overlay came up";
            }
        });
        poll.start();
        action->trigger();
        poll.stop();
        settle(200);
        EXPECT_TRUE(played);
    }

    QImage picture() { return main->imageWindows().value(0)->Image->picture().image().convertToFormat(QImage::Format_RGB32); }
    QImage screenPart(const ScreenRect &r) { return desktop().grabScreen(r).convertToFormat(QImage::Format_RGB32); }

    ScriptedDialogs dialogs;
    TScreenfrm *main = nullptr;
    QSize screen;
    QSize regionSize{32, 32};
};

QStringList args(std::initializer_list<const char *> words, std::initializer_list<int> numbers = {})
{
    QStringList list;
    for (const char *w : words)
        list << QString::fromLatin1(w);
    for (int n : numbers)
        list << QString::number(n);
    return list;
}

TEST_F(X11_AREA_CAPTURE, ADragGivesThatPartOfTheScreen)
{
    X11TestWindow window(QString(), {60, 100}, quarteredPattern(200, 150));
    const QImage expected = screenPart({12, 40, 300, 200});
    appWindows().Configfrm->hideprog->setChecked(true); // the area lies clear of the main window
    QString label;
    runCommand(main->item("rectb"), [&](TCapturefrm &) {
        xdotool(args({"mousemove", "300", "200", "mousedown", "1", "mousemove", "150", "120", "mousemove", "12", "40"}));
        settle(200);
        label = openOverlay() ? openOverlay()->Hint->text() : QString();
        xdotool(args({"mouseup", "1"}));
    });
    EXPECT_EQ(label, QStringLiteral("x - 12, y - 40 height - 160, width - 288"));
    ASSERT_EQ(main->imageWindows().size(), 1);
    EXPECT_EQ(picture(), expected);
    EXPECT_TRUE(main->RectangleMode);
    EXPECT_TRUE(main->isVisible());
    EXPECT_TRUE(main->imageWindows().value(0)->isVisible()) << "the new image window is shown";
    // It shows the picture one pixel on each pixel of the screen, whatever Qt's scale factor.
    // (The main window's place comes from the server: the window manager may have put it on an
    // odd screen pixel, which Qt's scaled coordinates cannot name.)
    const TImage &shown = *main->imageWindows().value(0)->Image;
    const ScreenRect client = desktop().clientRect(WindowId(main->winId()));
    const QPoint at = QPoint(client.Left, client.Top)
        + toDevicePixels(shown.mapTo(main, QPointF(0, 0)), shown.devicePixelRatioF());
    EXPECT_TRUE(waitUntil([&] { return screenPart({at.x(), at.y(), at.x() + 288, at.y() + 160}) == expected; }))
        << "the screen does not show the picture where the window has it, at " << at.x() << "," << at.y();
}

TEST_F(X11_AREA_CAPTURE, AClickGivesTheWholeScreenAndARightClickNothing)
{
    X11TestWindow window(QString(), {60, 100}, quarteredPattern(200, 150));
    const QImage whole = screenPart({0, 0, screen.width(), screen.height()});
    runCommand(main->item("GrabRectangle"), [](TCapturefrm &) { xdotool(args({"mousemove", "400", "300", "click", "1"})); });
    ASSERT_EQ(main->imageWindows().size(), 1);
    EXPECT_EQ(picture(), whole);

    runCommand(main->item("GrabRectangle"), [](TCapturefrm &) { xdotool(args({"mousemove", "400", "300", "click", "3"})); });
    ASSERT_EQ(main->imageWindows().size(), 2);
    EXPECT_EQ(main->imageWindows().value(0)->Image->size(), QSize(0, 0));
    EXPECT_TRUE(main->imageWindows().value(0)->hint().contains(QStringLiteral("Width: 0, Height: 0")));
}

TEST_F(X11_AREA_CAPTURE, PickingAWindowOrItsClientAreaGivesTheirExactRectangles)
{
    X11TestWindow window(QString(), {60, 600}, quarteredPattern(200, 150));
    const ScreenRect outer = desktop().windowRect(window.id());
    const ScreenRect client = desktop().clientRect(window.id());
    const QImage outerPixels = screenPart(outer);
    auto pointAtWindow = [](TCapturefrm &) {
        xdotool(args({"mousemove", "120", "650"}));
        xdotool(args({"mousemove", "160", "680", "click", "1"}));
    };

    runCommand(main->item("GrabWindow"), pointAtWindow);
    ASSERT_EQ(main->imageWindows().size(), 1);
    EXPECT_EQ(picture().size(), QSize(outer.width(), outer.height()));
    EXPECT_EQ(picture(), outerPixels);
    EXPECT_FALSE(main->WholeWindow);
    EXPECT_TRUE(windowLookup().entries().empty());

    runCommand(main->item("Clientb"), pointAtWindow);
    ASSERT_EQ(main->imageWindows().size(), 2);
    EXPECT_EQ(picture(), quarteredPattern(200, 150)) << client.Left << "," << client.Top;
}

TEST_F(X11_AREA_CAPTURE, ACustomRegionNearTheCornerIsPulledInsideAndThePointerKeptThere)
{
    regionSize = {100, 50};
    const int sw = screen.width(), sh = screen.height();
    xdotool(args({"mousemove"}, {sw - 10, sh - 10}));
    const QImage expected = screenPart({sw - 100, sh - 50, sw, sh});
    QPoint pulled, confined;
    runCommand(main->item("CustomRegion1"), [&](TCapturefrm &) {
        pulled = desktop().cursorPos();
        xdotool(args({"mousemove"}, {sw - 2, sh - 2}));
        settle(100);
        confined = desktop().cursorPos();
        xdotool(args({"click", "1"}));
    });
    EXPECT_EQ(pulled, QPoint(sw - 100, sh - 50));
    EXPECT_EQ(confined, QPoint(sw - 100, sh - 50));
    ASSERT_EQ(main->imageWindows().size(), 1);
    EXPECT_EQ(picture(), expected);
    xdotool(args({"mousemove"}, {sw - 2, sh - 2}));
    EXPECT_EQ(desktop().cursorPos(), QPoint(sw - 2, sh - 2)) << "the pointer is free again";
}

TEST_F(X11_AREA_CAPTURE, ActivatingAnotherWindowCancelsAndFreesThePointer)
{
    X11TestWindow window(QString(), {60, 600}, quarteredPattern(200, 150));
    regionSize = {300, 300};
    bool wasActive = false;
    runCommand(main->item("Custb"), [&](TCapturefrm &overlay) {
        wasActive = overlay.isActiveWindow();
        window.activate();
        settle(300);
    });
    EXPECT_TRUE(wasActive);
    EXPECT_TRUE(main->imageWindows().isEmpty());
    EXPECT_FALSE(openOverlay());
    xdotool(args({"mousemove"}, {screen.width() - 3, screen.height() - 3}));
    EXPECT_EQ(desktop().cursorPos(), QPoint(screen.width() - 3, screen.height() - 3));
}

TEST_F(X11_AREA_CAPTURE, GrabActiveWindowWithTheProgramHiddenAndNothingElseOpenFindsNoWindow)
{
    // The main window is the active one; hidden for the capture, it is no window to capture.
    appWindows().Configfrm->hideprog->setChecked(true);
    main->activateWindow();
    for (int waited = 0; waited < 5000 && desktop().foregroundWindow() != main->winId(); waited += 50)
        settle(50);
    ASSERT_EQ(desktop().foregroundWindow(), main->winId());
    main->item("GrabActiveWindow1")->trigger();
    settle(200);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("There is currently no active window."));
    EXPECT_TRUE(main->imageWindows().isEmpty());
    EXPECT_TRUE(main->isVisible());
}

} // namespace
} // namespace kaptiv::testing
