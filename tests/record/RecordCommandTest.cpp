// `kaptiv record` on a real display, a scripted scene in front of it, the file read by giflib.
#include "GiflibOracle.h"
#include "RecordScene.h"
#include "X11TestWindow.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <atomic>
#include <csignal>
#include <numeric>
#include <thread>

namespace kaptiv::testing {
namespace {

constexpr int X = 300, Y = 200, W = 160, H = 120;
const QString Area = QStringLiteral("%1,%2,%3,%4").arg(X).arg(Y).arg(W).arg(H);

// Changes the scene's colour every few milliseconds, to a colour never shown before, until stopped.
class ChangingColours {
public:
    explicit ChangingColours(int periodMs)
        : thread_([this, periodMs] {
              Scene scene(X, Y, W, H);
              for (std::uint32_t n = 1; !stop_; ++n) {
                  scene.fill(colourOf(n));
                  std::this_thread::sleep_for(std::chrono::milliseconds(periodMs)); // the scene's pace
              }
          })
    {
    }
    ~ChangingColours()
    {
        stop_ = true;
        thread_.join();
    }
    static std::uint32_t colourOf(std::uint32_t n) { return (n * 0x3F1D7u) & 0xFFFFFF; }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

int sumOfDelays(const gif::oracle::Image &image)
{
    int sum = 0;
    for (const auto &f : image.frames)
        sum += f.delay;
    return sum;
}

struct Printed {
    int written = -1, dropped = -1;
};
Printed printedCounts(const QString &out)
{
    static const QRegularExpression line(QStringLiteral("(\\d+) frames written, (\\d+) dropped, [0-9.]+ s, \\d+ bytes"));
    const QRegularExpressionMatch match = line.match(out);
    return match.hasMatch() ? Printed{match.captured(1).toInt(), match.captured(2).toInt()} : Printed{};
}

QProcess *startRecording(QProcess &process, const QStringList &arguments)
{
    process.start(QStringLiteral(KAPTIV_EXECUTABLE), arguments);
    return &process;
}

TEST(RecordCommand, FramesAndDelaysMatchTheRateAndDurationAndGiflibReadsEveryFrame)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("scene.gif"));
    QProcess process;
    {
        ChangingColours scene(15);
        startRecording(process, {"record", "area", Area, "--fps", "20", "--duration", "1500", "--output", out});
        ASSERT_TRUE(process.waitForFinished(60000));
    }
    const QString printed = QString::fromLocal8Bit(process.readAllStandardOutput());
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    const std::optional<gif::oracle::Image> image = readWithGiflib(out);
    ASSERT_TRUE(image);
    // 30 due times at 20 fps; every one shows a colour not seen before, so each is a frame or a drop.
    const Printed counts = printedCounts(printed);
    EXPECT_EQ(counts.written, int(image->frames.size())) << printed.toStdString();
    EXPECT_NEAR(counts.written + counts.dropped, 30, 1) << printed.toStdString();
    EXPECT_EQ(sumOfDelays(*image), 150);
    EXPECT_EQ(image->screenWidth, W);
    EXPECT_EQ(image->screenHeight, H);
    for (const Picture &picture : gif::oracle::Composed(*image))
        EXPECT_EQ(std::count(picture.begin(), picture.end(), picture[0]), W * H) << "a frame caught between two colours";
}

TEST(RecordCommand, SigintFinishesTheFileWhoseLastFrameIsTheFrozenScene)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("stopped.gif"));
    QProcess process;
    startRecording(process, {"record", "area", Area, "--fps", "25", "--output", out});
    ASSERT_TRUE(process.waitForReadyRead(30000)) << "the recording never said it started";
    ASSERT_TRUE(process.readLine().startsWith("Recording ")) ;
    Picture last(std::size_t(W) * H);
    {
        Scene scene(X, Y, W, H);
        for (std::uint32_t n = 1; n <= 20; ++n)
            scene.fill(ChangingColours::colourOf(n));
        // Frozen: four quarters and a diagonal, eight colours in all.
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                last[std::size_t(y) * W + x] = x == y ? 0xFFFFFF : (x < W / 2 ? 0xFF0000 : 0x0000FF) | (y < H / 2 ? 0x00FF00 : 0);
        scene.show(last);
        EXPECT_EQ(scene.grab(), last);
        ::kill(pid_t(process.processId()), SIGINT);
        ASSERT_TRUE(process.waitForFinished(60000));
        last = scene.grab();
    }
    ASSERT_EQ(process.exitStatus(), QProcess::NormalExit);
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    const std::optional<gif::oracle::Image> image = readWithGiflib(out);
    ASSERT_TRUE(image) << "the file is not complete";
    ASSERT_FALSE(image->frames.empty());
    EXPECT_EQ(gif::oracle::Composed(*image).back(), last);
    EXPECT_EQ(printedCounts(QString::fromLocal8Bit(process.readAllStandardOutput())).written, int(image->frames.size()));
}

TEST(RecordCommand, AFrameOfMoreColoursThanTheFileHoldsEndsItAndTheFramesBeforeStay)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("colours.gif"));
    Scene scene(X, Y, W, H);
    scene.fill(0x336699); // the first frame, taken as the recording starts
    QProcess process;
    startRecording(process, {"record", "area", Area, "--fps", "25", "--colors", "as-is", "--output", out});
    ASSERT_TRUE(process.waitForReadyRead(30000));
    Picture gradient(std::size_t(W) * H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            gradient[std::size_t(y) * W + x] = std::uint32_t(x) << 16 | std::uint32_t(y) << 8 | 0x40;
    scene.show(gradient); // 160 x 120 colours
    ASSERT_TRUE(process.waitForFinished(60000)) << "the recording did not end by itself";
    const QString printed = QString::fromLocal8Bit(process.readAllStandardOutput());
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    EXPECT_TRUE(printed.contains(QStringLiteral("Recording ended early: a frame has more than 256 colours")))
        << printed.toStdString();
    const std::optional<gif::oracle::Image> image = readWithGiflib(out);
    ASSERT_TRUE(image);
    for (const Picture &picture : gif::oracle::Composed(*image))
        EXPECT_EQ(std::count(picture.begin(), picture.end(), picture[0]), W * H);
}

TEST(RecordCommand, AFileSizeLimitLeavesNoFileAndSaysWhy)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("limited.gif"));
    ChangingColours scene(5);
    QProcess process;
    process.start(QStringLiteral("sh"), {"-c", QStringLiteral("ulimit -f 4 && exec \"$0\" \"$@\""), KAPTIV_EXECUTABLE,
                                         "record", "area", Area, "--fps", "50", "--duration", "10000", "--output", out});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(QString::fromLocal8Bit(process.readAllStandardError()).contains(QStringLiteral("File too large")));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden), QStringList());
}

} // namespace
} // namespace kaptiv::testing
