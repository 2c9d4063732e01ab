// The program's windows where a user sees them, on a real display with a window manager, in the
// screen's own pixels: the preview of full-screen frames and the colour picker of a small frame
// whole in the free area beside a panel, Tile with many windows, and Insert Cursor reaching the
// picture's first pixel with its coordinates in sight. Built twice: as it is, and (when
// KAPTIV_TEST_SCALE_FACTOR gives one) with Qt scaling everything by that factor.
#include "BuilderFixture.h"
#include "CursorFiles.h"
#include "InsertCursorDriver.h"
#include "XdoTool.h"
#include "document/CaptionStyle.h"
#include "platform/x11/X11Desktop.h"

#include <QAbstractScrollArea>
#include <QPainter>
#include <QProcess>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionTitleBar>
#include <QWindow>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace kaptiv::testing {
namespace {

#ifdef KAPTIV_TEST_SCALE_FACTOR
#define X11_WINDOW_PLACEMENT X11WindowPlacementScaled
// Runs before main() makes the application object, which reads it.
const bool scaleChosen = [] { return qputenv("QT_SCALE_FACTOR", KAPTIV_TEST_SCALE_FACTOR); }();
#else
#define X11_WINDOW_PLACEMENT X11WindowPlacement
#endif

// A panel along the top of the screen, `height` screen pixels high, that windows must not cover:
// the window manager takes it out of the free area while it lives.
class TopPanel {
public:
    explicit TopPanel(int height) : display_(XOpenDisplay(nullptr))
    {
        const int screen = DefaultScreen(display_);
        const int width = DisplayWidth(display_, screen);
        window_ = XCreateSimpleWindow(display_, RootWindow(display_, screen), 0, 0, unsigned(width), unsigned(height), 0,
                                      0, 0x404040);
        const Atom type = XInternAtom(display_, "_NET_WM_WINDOW_TYPE_DOCK", False);
        XChangeProperty(display_, window_, XInternAtom(display_, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char *>(&type), 1);
        const long strut[12] = {0, 0, height, 0, 0, 0, 0, 0, 0, width - 1, 0, 0};
        XChangeProperty(display_, window_, XInternAtom(display_, "_NET_WM_STRUT_PARTIAL", False), XA_CARDINAL, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char *>(strut), 12);
        XMapWindow(display_, window_);
        XSync(display_, False);
    }
    ~TopPanel()
    {
        XDestroyWindow(display_, window_);
        XCloseDisplay(display_);
    }
    // The window manager's work area, left, top, width, height.
    std::vector<long> workArea() const
    {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char *data = nullptr;
        std::vector<long> area;
        if (XGetWindowProperty(display_, DefaultRootWindow(display_), XInternAtom(display_, "_NET_WORKAREA", False), 0, 4,
                               False, XA_CARDINAL, &type, &format, &count, &after, &data) == Success && data && count == 4)
            area.assign(reinterpret_cast<long *>(data), reinterpret_cast<long *>(data) + 4);
        if (data)
            XFree(data);
        return area;
    }

private:
    Display *display_;
    Window window_ = 0;
};

QString screenCoordinate(int value) { return QString::number(value); }

class X11_WINDOW_PLACEMENT : public BuilderFixture {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY") || QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "no display";
        QApplication::setQuitOnLastWindowClosed(false);
        screen = QRect(QPoint(0, 0), real.screenSize());
    }
    void TearDown() override { QApplication::setQuitOnLastWindowClosed(true); }

    // Waits until `window` is on the screen in its window manager's frame and that frame lies in
    // `area`; false when it never does.
    bool framedInside(QWidget &window, const QRect &area)
    {
        return waitUntil([&] {
            if (!window.windowHandle() || !window.windowHandle()->isExposed())
                return false;
            const ScreenRect frame = real.windowRect(window.winId()), client = real.clientRect(window.winId());
            return frame != client && area.contains(QRect(frame.Left, frame.Top, frame.width(), frame.height()));
        });
    }
    QString describeFrame(QWidget &window)
    {
        const ScreenRect f = real.windowRect(window.winId());
        return QStringLiteral("frame %1,%2 %3 x %4").arg(f.Left).arg(f.Top).arg(f.width()).arg(f.height());
    }
    // The screen pixel of a point of `widget`, found from its top-level window's place on the
    // server, not from the toolkit's device-independent figures.
    QPoint screenPoint(const QWidget &widget, QPoint at)
    {
        const ScreenRect client = real.clientRect(widget.window()->winId());
        return QPoint(client.Left, client.Top) + (widget.mapTo(widget.window(), QPoint(0, 0)) + at) * widget.devicePixelRatioF();
    }
    // With KAPTIV_TEST_SCREENSHOTS naming a folder, the screen as the user sees it at this point,
    // for a person to look at.
    void screenshot(const char *name)
    {
        const QString folder = qEnvironmentVariable("KAPTIV_TEST_SCREENSHOTS");
        if (folder.isEmpty())
            return;
        settle();
        QProcess::execute(QStringLiteral("import"), {"-window", "root",
                                                     QStringLiteral("%1/%2-x%3.png").arg(folder, QLatin1String(name)).arg(main->devicePixelRatioF())});
    }
    void clickAt(QPoint screenPixel)
    {
        xdotool({"mousemove", "--sync", screenCoordinate(screenPixel.x()), screenCoordinate(screenPixel.y())});
        xdotool({"click", "1"});
    }

    X11Desktop real; // the display itself, beside the scripted desktop the captures read
    QRect screen;
};

TEST_F(X11_WINDOW_PLACEMENT, ThePreviewsWholeFrameStandsInTheFreeAreaAndSmallOnesStayCentred)
{
    const int panel = 37; // odd: a scaled window cannot stand at an odd pixel by its own figures
    const TopPanel top(panel);
    const QRect free(0, panel, screen.width(), screen.height() - panel);
    ASSERT_TRUE(waitUntil([&] { return top.workArea() == std::vector<long>{0, panel, screen.width(), screen.height() - panel}; }))
        << "the window manager did not make room for the panel";
    struct Case {
        const char *name;
        QSize frames;
        bool centred;
    } cases[] = {{"full-screen frames", screen.size(), false}, {"small frames", {40, 30}, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        config().confirm->setChecked(false);
        while (main->imageWindowCount() > 0) {
            active()->close();
            settle();
        }
        capture(solid(c.frames.width(), c.frames.height(), qRgb(255, 0, 0)));
        capture(solid(c.frames.width(), c.frames.height(), qRgb(0, 0, 255)));
        for (int showing = 0; showing < 2; ++showing) { // the second showing from where the first left it
            runBuilder([&] {
                whilePreviewShown = [&] {
                    TAnimfrm &p = preview();
                    EXPECT_TRUE(framedInside(p, free)) << describeFrame(p).toStdString();
                    const ScreenRect frame = real.windowRect(p.winId());
                    if (c.centred) { // placed by its own rule: in the middle of the screen (its first
                                     // showing by the client area, the frame not known yet)
                        EXPECT_NEAR(frame.Left + frame.width() / 2, screen.width() / 2, 12);
                        EXPECT_NEAR(frame.Top + frame.height() / 2, screen.height() / 2, 12);
                    } else {
                        EXPECT_NEAR(frame.Top, free.top(), 1) << "the title bar right below the panel";
                        EXPECT_GE(frame.height(), free.height() * 9 / 10) << "as large as the free area allows";
                    }
                    EXPECT_EQ(p.aGif->geometry(), p.rect()) << "the player fills the window";
                    screenshot(c.centred ? "preview-small" : "preview-full-screen");
                };
                builder().ViewAnimb->click();
                whilePreviewShown = nullptr;
            });
        }
    }
    EXPECT_TRUE(dialogs.shown.empty()) << dialogs.shown.front().text.toStdString();
}

TEST_F(X11_WINDOW_PLACEMENT, TheColourPickerOfASmallFrameHasRoomForItsTitleAndShowsThePictureOneToOne)
{
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(qRgb(0, 0, 255));
    for (int y = 0; y < 30; ++y)
        for (int x = 20; x < 40; ++x)
            picture.setPixel(x, y, qRgb(255, 255, 0));
    capture(picture);
    capture(solid(40, 30, qRgb(0, 160, 0)));
    runBuilder([&] {
        select(1); // the 40 x 30 picture
        builder().transparentcb->click();
        screenshot("builder");
        std::optional<uint32_t> afterGrey;
        whilePickerShown = [&] {
            TTransparentfrm &p = picker();
            ASSERT_TRUE(framedInside(p, screen)) << describeFrame(p).toStdString();
            const ScreenRect client = real.clientRect(p.winId());
            QFont title = p.font();
            title.setBold(true);
            const int bar = p.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &p);
            EXPECT_GE(client.width(), (QFontMetrics(title).horizontalAdvance(p.windowTitle()) + 3 * bar) * p.devicePixelRatioF())
                << "the caption and three buttons have their room";
            // The picture at its own pixels, grey around it.
            const QPoint origin = screenPoint(*p.Img, QPoint(0, 0));
            const QImage shown = real.grabScreen({origin.x() - 1, origin.y(), origin.x() + 41, origin.y() + 30});
            EXPECT_EQ(shown.copy(1, 0, 40, 30).convertToFormat(QImage::Format_RGB32), picture);
            EXPECT_EQ(shown.pixel(0, 10), qRgb(128, 128, 128));
            EXPECT_EQ(shown.pixel(41, 10), qRgb(128, 128, 128));
            screenshot("picker");
            // A click on the grey picks nothing; a click on the picture picks its colour there.
            const uint32_t before = p.PickedColor;
            clickAt(QPoint(client.Left + 2, origin.y() + 10));
            clickAt(QPoint(client.Right - 3, origin.y() + 10));
            settle();
            afterGrey = p.PickedColor;
            EXPECT_EQ(*afterGrey, before);
            clickAt(origin + QPoint(30, 10));
            EXPECT_TRUE(waitUntil([&] { return p.PickedColor == colorValueOf(qRgb(255, 255, 0)); }));
        };
        builder().Colorb->click();
        whilePickerShown = nullptr;
        ASSERT_TRUE(afterGrey.has_value());
    });
}

TEST_F(X11_WINDOW_PLACEMENT, TileFillsTheAreaWithoutScrollBarsUntilEvenAGridsCellsAreTooSmall)
{
    QApplication::processEvents();
    const QRect area(QPoint(0, 0), main->mdi->maximumViewportSize());
    int made = 0;
    struct Case {
        int windows;
        bool fits;
    } cases[] = {{3, true}, {8, true}, {12, true}, {40, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.windows << " windows");
        for (; made < c.windows; ++made)
            capture(solid(50, 40, qRgb(made, 0, 0)));
        main->item("Tile1")->trigger();
        settle();
        QRegion covered;
        for (TImagefrm *window : main->imageWindows()) {
            EXPECT_FALSE(covered.intersects(window->geometry())) << window->caption().toStdString() << " overlaps";
            covered += window->geometry();
        }
        const bool scrolled = main->mdi->horizontalScrollBar()->isVisible() || main->mdi->verticalScrollBar()->isVisible();
        EXPECT_EQ(scrolled, !c.fits);
        if (c.fits) {
            EXPECT_EQ(covered, QRegion(area)) << "the windows cover the area exactly";
        }
        screenshot(qPrintable(QStringLiteral("tile-%1").arg(c.windows)));
    }
}

// The style the image window paints its title bar with, noting the caption as the user sees it:
// the frame passes the caption cut to its own measure, and the toolkit's default style cuts it
// again to its label less 7 pixels each side, in the window's font made bold.
class NotingStyle : public CaptionAtLeftStyle {
public:
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
                            const QWidget *widget) const override
    {
        if (const auto *bar = qstyleoption_cast<const QStyleOptionTitleBar *>(option); bar && control == CC_TitleBar) {
            QFont bold = painter->font();
            bold.setBold(true);
            const QRect label = proxy()->subControlRect(CC_TitleBar, bar, SC_TitleBarLabel, widget);
            shown = QFontMetrics(bold).elidedText(bar->text, Qt::ElideRight, label.width() - 14);
        }
        CaptionAtLeftStyle::drawComplexControl(control, option, painter, widget);
    }
    mutable QString shown;
};

TEST_F(X11_WINDOW_PLACEMENT, InsertCursorReachesThePicturesFirstPixelWithItsCoordinatesInSight)
{
    fake.screen = solid(60, 40, qRgb(255, 255, 255));
    main->GrabScreenClick(main->item("GrabScreen"));
    QPointer<TImagefrm> window = active();
    // A file's caption is its whole path; its window as narrow as the window allows.
    window->setCaption(QStringLiteral("/home/someone/pictures/from-the-first-morning/shot.bmp"));
    auto *noting = new NotingStyle;
    noting->setParent(window);
    window->setStyle(noting);
    window->resize(window->minimumWidth(), window->height());
    setDesktopForTesting(nullptr); // the real pointer from now on
    xdotool({"windowactivate", "--sync", QString::number(main->winId())});
    ASSERT_TRUE(waitUntil([&] { return main->isActiveWindow(); }));
    // On an odd screen pixel, where a scaled window's own figures are rounded.
    for (int nudge = 0; nudge < 3 && real.clientRect(main->winId()).Left % 2 == 0; ++nudge) {
        const ScreenRect frame = real.windowRect(main->winId()), client = real.clientRect(main->winId());
        xdotool({"windowmove", QString::number(main->winId()), QString::number(frame.Left + 1), QString::number(frame.Top)});
        waitUntil([&] { return real.clientRect(main->winId()) != client; }, 3000);
        settle();
    }
    ASSERT_EQ(real.clientRect(main->winId()).Left % 2, 1);
    QTemporaryDir dir;
    const QString cursor = writeRedCursor(dir.filePath("red.cur"));
    ASSERT_TRUE(runInsertCursor(*main, dialogs, cursor, [&] {
        xdotool({"mousemove", "0", "0"}); // held at the first pixel the pointer may reach
        EXPECT_TRUE(waitUntil([&] { return window->caption().endsWith(QLatin1String(": [0,0]")); }))
            << window->caption().toStdString();
        EXPECT_TRUE(waitUntil([&] { return noting->shown.endsWith(QLatin1String(": [0,0]")); }))
            << "the title bar shows \"" << noting->shown.toStdString() << "\"";
        screenshot("insert-cursor");
        xdotool({"click", "1"});
        EXPECT_TRUE(waitUntil([&] { return !main->PlacingCursor; }));
    }));
    ASSERT_TRUE(window);
    EXPECT_EQ(window->Image->picture().image().pixel(0, 0), qRgb(255, 0, 0)) << "stamped at the first pixel";
    EXPECT_EQ(window->caption(), QStringLiteral("/home/someone/pictures/from-the-first-morning/shot.bmp"));
}

} // namespace
} // namespace kaptiv::testing
