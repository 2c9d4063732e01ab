// The windowed program in the headless Wayland session of scripts/wayland-session.sh, on the
// compositor's own terms: the screen comes from the desktop's portal, the overlay is a full-screen
// window of ours driven by the session's virtual pointer, and a window of ours in a known colour
// shows where the compositor put it. Boxes are answered by script; everything else is real.
#include "ScriptedDialogs.h"
#include "app/Startup.h"
#include "app/mainSnap.h"
#include "capture/CaptureOverlay.h"
#include "capture/CustSnap.h"
#include "document/ChldSnap.h"
#include "settings/ConfigSnap.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtCore/qtestsupport_core.h>
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <functional>

namespace kaptiv::testing {
namespace {

constexpr QRgb background = 0xff336699; // the session's output
constexpr QRgb probeColour = 0xffc04020;
constexpr int waitMs = 20000;            // for the compositor; a healthy session takes milliseconds

QSize outputSize()
{
    QString text = qEnvironmentVariable("KAPTIV_WAYLAND_SIZE");
    const QStringList size = (text.isEmpty() ? QStringLiteral("1280x800") : text).split(QLatin1Char('x'));
    return {size.value(0).toInt(), size.value(1).toInt()};
}

// The pointer is parked in the bottom-left corner before each capture, away from what is checked.
// (The session's pointer images are transparent: its compositor draws the pointer into the screen.)
QPoint parking() { return {0, outputSize().height() - 1}; }

// Sends one line to the session's virtual pointer; returns once the compositor has handled it.
void pointer(const QString &line)
{
    const QByteArray path = qgetenv("KAPTIV_WAYLAND_POINTER");
    ASSERT_FALSE(path.isEmpty()) << "run this inside scripts/wayland-session.sh";
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0) << path.constData();
    const QByteArray request = line.toUtf8() + '\n';
    ASSERT_EQ(::write(fd, request.constData(), size_t(request.size())), request.size());
    QByteArray answer;
    char buffer[256];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        answer.append(buffer, n);
    ::close(fd);
    ASSERT_EQ(answer, QByteArray("ok\n")) << line.toStdString();
}

void movePointer(QPoint p) { pointer(QStringLiteral("move %1 %2").arg(p.x()).arg(p.y())); }

// The compositor's windows, depth first, as it lists them.
void forEachWindow(const QJsonObject &node, const std::function<void(const QJsonObject &)> &visit)
{
    visit(node);
    for (const char *children : {"nodes", "floating_nodes"})
        for (const QJsonValue child : node.value(QLatin1String(children)).toArray())
            forEachWindow(child.toObject(), visit);
}

QJsonObject compositorTree()
{
    QProcess swaymsg;
    swaymsg.start(QStringLiteral("swaymsg"), {QStringLiteral("-r"), QStringLiteral("-t"), QStringLiteral("get_tree")});
    if (!swaymsg.waitForFinished(waitMs) || swaymsg.exitCode() != 0)
        return {};
    return QJsonDocument::fromJson(swaymsg.readAllStandardOutput()).object();
}

// Where the compositor shows the window titled `title`; empty while it shows none.
QRect placeOf(const QString &title)
{
    QRect place;
    forEachWindow(compositorTree(), [&](const QJsonObject &node) {
        if (node.value(QLatin1String("name")).toString() == title && node.value(QLatin1String("visible")).toBool()) {
            const QJsonObject r = node.value(QLatin1String("rect")).toObject();
            place = QRect(r.value(QLatin1String("x")).toInt(), r.value(QLatin1String("y")).toInt(),
                          r.value(QLatin1String("width")).toInt(), r.value(QLatin1String("height")).toInt());
        }
    });
    return place;
}

bool showsFullScreenWindow()
{
    bool found = false;
    forEachWindow(compositorTree(), [&](const QJsonObject &node) {
        found |= node.value(QLatin1String("fullscreen_mode")).toInt() == 1 && node.value(QLatin1String("visible")).toBool();
    });
    return found;
}

class WaylandApp : public ::testing::Test {
protected:
    WaylandApp()
    {
        qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
        createApplicationWindows();
        main = appWindows().Screenfrm;
        config().Delay->setText(QStringLiteral("0"));
        EXPECT_TRUE(config().hideprog->isChecked());
        // A window of ours in one colour. Its size is fixed, so the compositor floats it where it
        // likes instead of tiling it; the test asks where that is.
        probe.setWindowTitle(QStringLiteral("Kaptiv colour probe"));
        probe.setFixedSize(320, 200);
        QPalette palette = probe.palette();
        palette.setColor(QPalette::Window, QColor::fromRgb(probeColour));
        probe.setPalette(palette);
        probe.setAutoFillBackground(true);
        probe.show();
        // The compositor lists a window once its first picture is on the screen.
        EXPECT_TRUE(QTest::qWaitFor([&] { return (probePlace = placeOf(probe.windowTitle())).size() == probe.size(); },
                                    waitMs))
            << "the compositor never showed the probe window";
        waitUntilScreenShowsOurWindows();
        dialogs.onModal = [this](QDialog &dialog) {
            if (auto *overlay = qobject_cast<TCapturefrm *>(&dialog)) {
                QTimer::singleShot(0, overlay, [this, overlay] { onOverlay(*overlay); });
                return realDialogs().execModal(dialog);
            }
            return int(mrOk); // the Custom Region dialog, with the size the test gave it
        };
    }
    ~WaylandApp() override { destroyApplicationWindows(); }

    TConfigfrm &config() { return *appWindows().Configfrm; }

    // The compositor lists a window before it draws it, and a capture taken in between would miss
    // it. The user's next capture comes long after a window appeared; a test's comes at once.
    void waitUntilScreenShowsOurWindows()
    {
        const QPoint inProbe = probePlace.center(), besideProbe = probePlace.topLeft() - QPoint(20, 20);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                const QImage screen = screenNow();
                return screen.pixel(inProbe) == probeColour && screen.pixel(besideProbe) != background;
            },
            waitMs))
            << "the screen never showed the main window and the probe";
    }

    // What the compositor shows, read past the portal.
    static QImage screenNow()
    {
        QProcess grim;
        grim.start(QStringLiteral("grim"), {QStringLiteral("-")});
        if (!grim.waitForFinished(waitMs) || grim.exitCode() != 0)
            return QImage(outputSize(), QImage::Format_RGB32);
        return QImage::fromData(grim.readAllStandardOutput(), "PNG").convertToFormat(QImage::Format_RGB32);
    }

    TImagefrm *active() { return main->imageWindows().value(0); }

    // What the screen shows at `p`: the probe window where the compositor put it, else the background.
    QRgb expectedAt(QPoint p) const { return probePlace.contains(p) ? probeColour : background; }

    // Every pixel of `picture` against the screen from `origin` on; the first few that differ.
    ::testing::AssertionResult showsScreenFrom(const QImage &picture, QPoint origin) const
    {
        QStringList wrong;
        for (int y = 0; y < picture.height() && wrong.size() < 5; ++y)
            for (int x = 0; x < picture.width() && wrong.size() < 5; ++x) {
                const QPoint at = origin + QPoint(x, y);
                if (picture.pixel(x, y) != expectedAt(at))
                    wrong << QStringLiteral("(%1,%2) is %3, want %4")
                                 .arg(at.x())
                                 .arg(at.y())
                                 .arg(picture.pixel(x, y) & 0xffffff, 6, 16, QLatin1Char('0'))
                                 .arg(expectedAt(at) & 0xffffff, 6, 16, QLatin1Char('0'));
            }
        if (wrong.isEmpty())
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << wrong.join(QStringLiteral("; ")).toStdString();
    }

    QImage activePicture() { return active()->Image->picture().image().convertToFormat(QImage::Format_RGB32); }

    // Runs inside the overlay's modal loop: once the compositor shows it full screen, the pointer
    // does what the test asked for. An overlay those steps did not end is cancelled, so that a
    // fault fails the test instead of holding it up.
    void onOverlay(TCapturefrm &overlay)
    {
        overlayShownFullScreen = QTest::qWaitFor(showsFullScreenWindow, waitMs);
        for (const QString &step : std::exchange(pointerSteps, {}))
            pointer(step);
        overlayEndedByPointer = QTest::qWaitFor([&] { return !overlay.isVisible(); }, waitMs);
        if (!overlayEndedByPointer)
            overlay.done(2);
    }

    QTemporaryDir configHome;
    ScriptedDialogs dialogs;
    TScreenfrm *main = nullptr;
    QWidget probe;
    QRect probePlace;
    QStringList pointerSteps; // for the next overlay
    bool overlayShownFullScreen = false;
    bool overlayEndedByPointer = false;
};

TEST_F(WaylandApp, GrabScreenTakesTheWholeOutputWithOurWindowWhereTheCompositorPutIt)
{
    movePointer(parking());
    main->item("screenb")->trigger();
    ASSERT_EQ(main->imageWindows().size(), 1) << "box: "
                                              << (dialogs.shown.empty() ? "none" : dialogs.shown[0].text.toStdString());
    const QImage picture = activePicture();
    ASSERT_EQ(picture.size(), outputSize());
    // The main window, which covers the output when shown, was hidden; the probe was not.
    EXPECT_TRUE(showsScreenFrom(picture, {0, 0}));
    EXPECT_EQ(active()->hint(), QStringLiteral("Untitled1 - Width: %1, Height: %2, Colors: 16777216")
                                    .arg(outputSize().width())
                                    .arg(outputSize().height()));
    EXPECT_TRUE(main->isVisible());
}

TEST_F(WaylandApp, ARectangleDraggedOnTheFullScreenOverlayIsCutFromThePortalsPicture)
{
    movePointer(parking());
    // Across the probe's top-left corner, so that both sides of its edges are checked.
    const QPoint from = probePlace.topLeft() - QPoint(40, 30), to = probePlace.topLeft() + QPoint(60, 50);
    pointerSteps = {QStringLiteral("move %1 %2").arg(from.x()).arg(from.y()), QStringLiteral("press"),
                    QStringLiteral("move %1 %2").arg(from.x() + 30).arg(from.y() + 20),
                    QStringLiteral("move %1 %2").arg(to.x()).arg(to.y()), QStringLiteral("release")};
    main->item("rectb")->trigger();
    EXPECT_TRUE(overlayShownFullScreen);
    EXPECT_TRUE(overlayEndedByPointer);
    ASSERT_EQ(main->imageWindows().size(), 1);
    const QImage picture = activePicture();
    EXPECT_EQ(picture.size(), QSize(100, 80));
    EXPECT_TRUE(showsScreenFrom(picture, from));
}

TEST_F(WaylandApp, ACustomRegionFollowsThePointerAndStaysOnTheScreen)
{
    appWindows().Custfrm->heightb->setValue(48);
    appWindows().Custfrm->widthb->setValue(64);
    const struct {
        const char *what;
        QPoint clickedAt, region;
    } cases[] = {
        {"across the probe's bottom-right corner", probePlace.bottomRight() + QPoint(1, 1) - QPoint(32, 24),
         probePlace.bottomRight() + QPoint(1, 1) - QPoint(32, 24)},
        // Nothing holds the pointer in place on this desktop: the region is held on the screen.
        {"at the bottom-right corner", QPoint(outputSize().width() - 5, outputSize().height() - 5),
         QPoint(outputSize().width() - 64, outputSize().height() - 48)},
    };
    for (const auto &c : cases) {
        waitUntilScreenShowsOurWindows(); // the main window again, after the last capture
        movePointer(parking());
        pointerSteps = {QStringLiteral("move %1 %2").arg(c.clickedAt.x() - 7).arg(c.clickedAt.y() - 3),
                        QStringLiteral("move %1 %2").arg(c.clickedAt.x()).arg(c.clickedAt.y()), QStringLiteral("press"),
                        QStringLiteral("release")};
        const qsizetype before = main->imageWindows().size();
        main->item("Custb")->trigger();
        EXPECT_TRUE(overlayShownFullScreen) << c.what;
        EXPECT_TRUE(overlayEndedByPointer) << c.what;
        ASSERT_EQ(main->imageWindows().size(), before + 1) << c.what;
        const QImage picture = activePicture();
        EXPECT_EQ(picture.size(), QSize(64, 48)) << c.what;
        EXPECT_TRUE(showsScreenFrom(picture, c.region)) << c.what;
    }
}

TEST_F(WaylandApp, WhatTheDesktopHidesIsRefusedWithTheWholeScreenOffered)
{
    movePointer(parking());
    dialogs.answers = {mrNo, mrYes};
    main->item("Include1")->trigger();
    EXPECT_FALSE(main->item("Include1")->isChecked());
    main->item("activeb")->trigger();
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("This desktop does not let programs see other windows or the mouse "
                                                    "pointer, so Kaptiv cannot draw the pointer into a capture.\n\n"
                                                    "Capture the whole screen instead?"));
    EXPECT_EQ(dialogs.shown[1].text, QStringLiteral("This desktop does not let programs see other windows, so Kaptiv "
                                                    "cannot capture the active window.\n\n"
                                                    "Capture the whole screen instead?"));
    ASSERT_EQ(main->imageWindows().size(), 1); // Yes: the whole screen
    const QImage picture = activePicture();
    ASSERT_EQ(picture.size(), outputSize());
    EXPECT_TRUE(showsScreenFrom(picture, {0, 0}));
}

} // namespace
} // namespace kaptiv::testing
