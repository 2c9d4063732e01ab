// The kaptiv executable used from a script, as a user would.
#include "X11TestWindow.h"
#include "formats/BmpCodec.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

namespace kaptiv::testing {
namespace {

struct ProcessResult {
    int exitCode;
    QString out, err;
};

ProcessResult kaptiv(const QStringList &arguments, const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(KAPTIV_EXECUTABLE), arguments);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return {-1, {}, QStringLiteral("timed out")};
    }
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

TEST(CommandLine, ScreenGrabEqualsAnotherToolsGrabOfTheRoot)
{
    X11TestWindow window(qEnvironmentVariable("DISPLAY"), {100, 100}, quarteredPattern(300, 200));
    window.activate();
    QTemporaryDir dir;
    const QString ours = dir.filePath(QStringLiteral("a.bmp")), theirs = dir.filePath(QStringLiteral("b.png"));
    const ProcessResult run = kaptiv({"grab", "screen", "--output", ours});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    ASSERT_EQ(QProcess::execute(QStringLiteral("import"), {"-window", "root", theirs}), 0);
    const QImage a(ours), b(theirs);
    ASSERT_FALSE(a.isNull());
    ASSERT_FALSE(b.isNull());
    ASSERT_EQ(a.size(), b.size());
    const QImage ra = a.convertToFormat(QImage::Format_RGB32), rb = b.convertToFormat(QImage::Format_RGB32);
    int differing = 0;
    for (int y = 0; y < ra.height(); ++y)
        for (int x = 0; x < ra.width(); ++x)
            if (ra.pixel(x, y) != rb.pixel(x, y) && differing++ < 3)
                ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << ra.pixel(x, y) << " vs " << rb.pixel(x, y);
    EXPECT_EQ(differing, 0);
}

TEST(CommandLine, WritesTheCapturedDepth)
{
    QTemporaryDir dir;
    const std::pair<const char *, int> cases[] = {{"mono", 1}, {"16", 4}, {"256", 8}, {"full", 24}};
    for (auto [colors, depth] : cases) {
        const QString file = dir.filePath(QStringLiteral("%1.bmp").arg(QLatin1String(colors)));
        const ProcessResult run = kaptiv({"grab", "screen", "--colors", colors, "--output", file});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        QFile bmp(file);
        ASSERT_TRUE(bmp.open(QIODevice::ReadOnly));
        const QByteArray header = bmp.read(30);
        EXPECT_EQ(uchar(header[28]), depth) << colors;
    }
}

TEST(CommandLine, GrabsEveryDisplayDepthAtADepthTheBitmapHolds)
{
    struct Case {
        const char *variable;
        int bits;
        quint32 redMask; // of a 16-bit file
    } cases[] = {{"DISPLAY", 24, 0}, {"KAPTIV_DISPLAY_DEPTH16", 16, 0xF800}, {"KAPTIV_DISPLAY_DEPTH15", 16, 0x7C00},
                 {"KAPTIV_DISPLAY_DEPTH30", 24, 0}};
    for (const Case &c : cases)
        if (qEnvironmentVariableIsEmpty(c.variable))
            GTEST_SKIP() << c.variable << " is not set: scripts/run-tests.sh starts that display";
    QTemporaryDir dir;
    for (const Case &c : cases) {
        const QString display = qEnvironmentVariable(c.variable);
        X11TestWindow window(display, {100, 100}, quarteredPattern(90, 60));
        window.activate();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), display);
        const QString file = dir.filePath(QLatin1String(c.variable) + QStringLiteral(".bmp"));
        const ProcessResult run = kaptiv({"grab", "client", "--output", file}, environment);
        ASSERT_EQ(run.exitCode, 0) << c.variable << ": " << run.err.toStdString();
        QFile bmp(file);
        ASSERT_TRUE(bmp.open(QIODevice::ReadOnly));
        const QByteArray header = bmp.read(66);
        EXPECT_EQ(uchar(header[28]), c.bits) << c.variable;
        if (c.bits == 16) {
            EXPECT_EQ(qFromLittleEndian<quint32>(header.constData() + 54), c.redMask) << c.variable;
        }
        // Qt's own reader scales 5-bit channels short of full: our reader, which scales them exactly.
        EXPECT_EQ(loadBmp(file).toRgb32(), quarteredPattern(90, 60)) << c.variable;

        // The whole still screen as PNG holds exactly the pixels of its bitmap grab.
        const QString screenBmp = file + QStringLiteral(".screen.bmp"), screenPng = file + QStringLiteral(".png");
        for (const QString &output : {screenBmp, screenPng}) {
            const ProcessResult grab = kaptiv({"grab", "screen", "--output", output}, environment);
            ASSERT_EQ(grab.exitCode, 0) << c.variable << ": " << grab.err.toStdString();
            EXPECT_TRUE(grab.out.endsWith(QStringLiteral(", %1 bits per pixel\n").arg(c.bits))) << grab.out.toStdString();
        }
        const QImage png(screenPng, "png");
        ASSERT_FALSE(png.isNull()) << c.variable;
        EXPECT_EQ(png.convertToFormat(QImage::Format_RGB32), loadBmp(screenBmp).toRgb32()) << c.variable;
        // The full program's PNG grab, of the window's client area, too.
        const QString clientPng = file + QStringLiteral(".client.png");
        ASSERT_EQ(kaptiv({"grab", "client", "--output", clientPng}, environment).exitCode, 0) << c.variable;
        EXPECT_EQ(QImage(clientPng, "png").convertToFormat(QImage::Format_RGB32), quarteredPattern(90, 60)) << c.variable;
    }
}

TEST(CommandLine, ActiveWindowAndClientAreaHaveTheirSizes)
{
    X11TestWindow window(qEnvironmentVariable("DISPLAY"), {500, 300}, quarteredPattern(140, 70));
    window.activate();
    QTemporaryDir dir;
    const QString client = dir.filePath(QStringLiteral("client.bmp")), whole = dir.filePath(QStringLiteral("whole.bmp"));
    ASSERT_EQ(kaptiv({"grab", "client", "--output", client}).exitCode, 0);
    ASSERT_EQ(kaptiv({"grab", "active", "--output", whole}).exitCode, 0);
    EXPECT_EQ(QImage(client).convertToFormat(QImage::Format_RGB32), quarteredPattern(140, 70));
    const QImage framed(whole);
    EXPECT_GT(framed.height(), 70);
    EXPECT_GE(framed.width(), 140);
}

TEST(CommandLine, NoActiveWindowFailsAndLeavesTheOldFile)
{
    // Right after the window manager starts nothing is active, and the focus rests on its own 1 x 1
    // window off the screen: the same as when the last window has closed and the name is taken away.
    ASSERT_EQ(QProcess::execute(QStringLiteral("xprop"), {"-root", "-remove", "_NET_ACTIVE_WINDOW"}), 0);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("keep.bmp"));
    {
        QFile old(file);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("the old picture");
    }
    for (const char *what : {"active", "client"}) {
        const ProcessResult run = kaptiv({"grab", what, "--output", file});
        EXPECT_EQ(run.exitCode, 1) << what;
        EXPECT_EQ(run.err, QStringLiteral("kaptiv: There is currently no active window.\n")) << what;
        QFile kept(file);
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), QByteArray("the old picture")) << what;
    }
}

// A palette display cannot show the program's windows, and its screen holds palette entries, not
// colours: the program, the grabs, the player and the recorder refuse it by name, at once, and
// write nothing.
TEST(CommandLine, APaletteDisplayIsRefusedByItsDepth)
{
    const QString display = qEnvironmentVariable("KAPTIV_DISPLAY_DEPTH8");
    if (display.isEmpty())
        GTEST_SKIP() << "no 8-bit display";
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("screen.bmp"));
    const QString expected = QStringLiteral("kaptiv: The display '%1' shows 8-bit colour through a palette; Kaptiv "
                                            "needs a true-colour display of 15 bits or more.\n").arg(display);
    const QStringList runs[] = {
        {},
        {"grab", "screen", "--output", file},
        {"grab", "screen", "--output", dir.filePath(QStringLiteral("screen.png"))},
        {"grab", "client", "--output", file},
        {"play", QStringLiteral(KAPTIV_GIF_CORPUS "/real/bricks-gray.gif")},
        {"record", "screen", "--duration", "200", "--output", dir.filePath(QStringLiteral("screen.gif"))},
    };
    for (const QStringList &arguments : runs) {
        const ProcessResult run = kaptiv(arguments, environment);
        EXPECT_EQ(run.exitCode, 1) << arguments.join(' ').toStdString() << ": " << run.err.toStdString();
        EXPECT_EQ(run.err, expected) << arguments.join(' ').toStdString();
    }
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST(CommandLine, BadArgumentsAndMissingDisplaysFailClearly)
{
    struct Case {
        QStringList arguments;
        int exitCode;
        const char *message;
    } cases[] = {
        {{"grab"}, 2, "grab needs screen, active or client"},
        {{"grab", "moon", "--output", "x.bmp"}, 2, "cannot grab 'moon'"},
        {{"grab", "screen"}, 2, "grab needs --output FILE.bmp"},
        {{"grab", "screen", "--delay", "soon", "--output", "x.bmp"}, 2, "--delay takes milliseconds"},
        {{"grab", "screen", "--colors", "7", "--output", "x.bmp"}, 2, "--colors must be mono, 16, 256 or full"},
        {{"grab", "screen", "--wobble", "--output", "x.bmp"}, 2, "unknown option '--wobble'"},
        {{"frobnicate"}, 2, "unknown command 'frobnicate'"},
        {{"grab", "screen", "--output", "/nonexistent/dir/x.bmp"}, 1, "Cannot create file"},
    };
    for (const Case &c : cases) {
        const ProcessResult run = kaptiv(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(QLatin1String(c.message))) << run.err.toStdString();
    }
    QProcessEnvironment noDisplay = QProcessEnvironment::systemEnvironment();
    noDisplay.remove(QStringLiteral("DISPLAY"));
    const ProcessResult run = kaptiv({"grab", "screen", "--output", "x.bmp"}, noDisplay);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QLatin1String("DISPLAY is not set"))) << run.err.toStdString();
    noDisplay.insert(QStringLiteral("DISPLAY"), QStringLiteral(":999"));
    EXPECT_TRUE(kaptiv({"grab", "screen", "--output", "x.bmp"}, noDisplay).err.contains(QLatin1String("Cannot open the display ':999'")));
    const ProcessResult help = kaptiv({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains(QLatin1String("kaptiv grab screen|active|client")));
}

} // namespace
} // namespace kaptiv::testing
