// kaptiv play on a real display: the window shows the animation over its background colour, plays
// one pass with --once, and refuses what it cannot read.
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString Executable = QStringLiteral(KAPTIV_EXECUTABLE);
QString corpusFile(const char *name) { return QStringLiteral(KAPTIV_GIF_CORPUS "/composite/") + QLatin1String(name); }

struct Finished {
    int exitCode;
    std::string err;
};

Finished run(const QStringList &arguments)
{
    QProcess process;
    process.start(Executable, arguments);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return {-1, "timed out"};
    }
    return {process.exitCode(), process.readAllStandardError().toStdString()};
}

TEST(PlayCommand, ShowsTheFirstFrameOverTheBackgroundColour)
{
    // Three frames of 30 x 20, each opaque in one third only (orange, purple, teal); at speed 1 the
    // first stays on show for seconds.
    QProcess player;
    player.start(Executable, {"play", corpusFile("im_previous_chain.gif"), "--speed", "1", "--background", "00FF00"});
    ASSERT_TRUE(player.waitForStarted());
    QProcess search;
    search.start(QStringLiteral("xdotool"), {"search", "--sync", "--onlyvisible", "--name", "im_previous_chain.gif - Kaptiv"});
    ASSERT_TRUE(search.waitForFinished(60000));
    const QString window = QString::fromLatin1(search.readAllStandardOutput()).split('\n').value(0);
    ASSERT_FALSE(window.isEmpty());

    QTemporaryDir dir;
    const QString shot = dir.filePath(QStringLiteral("shot.png"));
    // The first paint may come a moment after the window is mapped: look until it is there.
    QImage seen;
    for (int attempt = 0; attempt < 100; ++attempt) {
        ASSERT_EQ(QProcess::execute(QStringLiteral("import"), {"-window", window, shot}), 0);
        seen = QImage(shot);
        if (!seen.isNull() && seen.pixel(5, 5) == qRgb(255, 165, 0))
            break;
    }
    player.kill();
    player.waitForFinished();
    ASSERT_FALSE(seen.isNull());
    EXPECT_EQ(seen.pixel(5, 5), qRgb(255, 165, 0));                      // frame 1's orange third
    EXPECT_EQ(seen.pixel(15, 5), qRgb(0, 255, 0));                       // transparent: the window shows
    EXPECT_EQ(seen.pixel(seen.width() - 2, seen.height() - 2), qRgb(0, 255, 0)); // beyond the picture
}

TEST(PlayCommand, OnePassThenExitsAndRefusesWhatItCannotRead)
{
    QTemporaryDir dir;
    QFile text(dir.filePath(QStringLiteral("text.gif")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a picture");
    text.close();
    QFile huge(dir.filePath(QStringLiteral("huge.gif"))); // a 20000 x 20000 canvas, no frames
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    huge.write(QByteArray("GIF89a\x20\x4E\x20\x4E\0\0\0\x3B", 14));
    huge.close();
    struct Case {
        QStringList arguments;
        int exitCode;
        std::string message;
    };
    const Case cases[] = {
        {{"play", corpusFile("im_transparent_dispose.gif"), "--once", "--speed", "1000"}, 0, ""},
        {{"play", text.fileName()}, 1, "is not a GIF file that can be read."},
        {{"play", dir.filePath(QStringLiteral("missing.gif"))}, 1, "does not exist."},
        {{"play", huge.fileName()}, 1, "canvas of 20000 x 20000 pixels, more than the 268435456 pixels"},
        {{"play", corpusFile("im_transparent_dispose.gif"), "--tile", "--center"}, 2, "cannot be used together"},
        {{"play", corpusFile("im_transparent_dispose.gif"), "--speed", "0"}, 2, "--speed takes a percentage"},
    };
    for (const Case &c : cases) {
        const Finished finished = run(c.arguments);
        EXPECT_EQ(finished.exitCode, c.exitCode) << c.arguments.join(' ').toStdString() << ": " << finished.err;
        EXPECT_NE(finished.err.find(c.message), std::string::npos) << finished.err;
    }
}

} // namespace
