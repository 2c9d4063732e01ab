// The player control: loops, speed, geometry, stopping, failed and abandoned loads, and what the
// user sees of a transparent picture over a coloured window.

#include "GifBuilder.h"

#include "gif/GIFImage.h"
#include "platform/ui/Errors.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <thread>

namespace kaptiv {
namespace {

using gif::test::Bytes;
using gif::test::GifBuilder;
using gif::test::RootCodeImageData;

// Frames of one pixel each in red, green, blue, ... so the canvas tells which frame is on show.
const std::vector<uint32_t> Colours = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
const char FrameLetters[] = "?RGBW";

Bytes Animation(int frames, int loopCount, int delay = 0)
{
    GifBuilder file(1, 1);
    file.GlobalTable(Colours);
    if (loopCount >= 0)
        file.Loop(loopCount);
    for (int i = 0; i < frames; ++i)
        file.Control(1, delay).Image(0, 0, 1, 1, RootCodeImageData(2, {uint8_t(i)}));
    return file.Trailer().Data();
}

class GIFImageTest : public ::testing::Test {
protected:
    QString Write(const QString &name, const Bytes &bytes)
    {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char *>(bytes.data()), qint64(bytes.size()));
        return file.fileName();
    }
    char Shown(const TGIFImage &player) const
    {
        const QRgb pixel = player.Animation().Composite().pixel(0, 0) & 0xFFFFFF;
        for (int i = 0; i < 4; ++i)
            if (pixel == Colours[size_t(i)])
                return FrameLetters[i + 1];
        return '?';
    }
    // Ticks as the timer would while it is enabled (at most `limit` times): the frame shown after
    // each tick, "|" after a tick that wrapped.
    std::string Play(TGIFImage &player, int limit)
    {
        std::string seen;
        player.OnWrapAnimation = [&](QObject *) { seen += '|'; };
        for (int i = 0; i < limit && player.Timer().Enabled(); ++i) {
            if (!seen.empty())
                seen += ' ';
            player.TimerTick();
            seen.insert(seen.size() - (!seen.empty() && seen.back() == '|' ? 1 : 0), 1, Shown(player));
        }
        return seen;
    }
    QTemporaryDir dir;
};

TEST_F(GIFImageTest, LoopsPlayOnceNTimesOrForEver)
{
    struct Case {
        int loopCount; // -1: the file has no looping block
        bool loop;
        std::string played;
        bool stillPlaying;
    };
    const Case cases[] = {
        {-1, false, "R G B|", false},
        {2, false, "R G B| R G B|", false},
        {0, false, "R G B| R G B| R G B| R", true},
        {-1, true, "R G B| R G B| R G B| R", true},
    };
    for (const Case &c : cases) {
        TGIFImage player;
        ASSERT_TRUE(player.LoadGIFFile(Write("a.gif", Animation(3, c.loopCount))));
        player.setLoop(c.loop);
        player.setAnimate(true);
        EXPECT_EQ(Play(player, 10), c.played) << c.loopCount << " " << c.loop;
        EXPECT_EQ(player.Timer().Enabled(), c.stillPlaying) << c.loopCount << " " << c.loop;
        if (!c.stillPlaying) {
            EXPECT_EQ(player.CurrentFrame(), 3); // the last frame stays on show and is reported
            player.setLoop(true);                // loops used up: Loop starts it again from frame 1
            EXPECT_TRUE(player.Timer().Enabled());
            EXPECT_EQ(Play(player, 4), "R G B| R");
        }
    }
    // One frame is a still picture, whatever its looping block says: nothing ticks.
    TGIFImage still;
    ASSERT_TRUE(still.LoadGIFFile(Write("still.gif", Animation(1, 0))));
    still.setLoop(true);
    still.setAnimate(true);
    EXPECT_FALSE(still.Timer().Enabled());
}

TEST_F(GIFImageTest, FramesAreShownForTheirDelayAtSpeedAndAtLeast50Ms)
{
    struct Case {
        int delayHundredths;
        int speed;
        int storedSpeed;
        uint32_t interval;
    };
    const Case cases[] = {
        {0, 100, 100, 50},  {0, 200, 200, 25}, {7, 100, 100, 70},       {7, 50, 50, 140},
        {0, 0, 1, 5000},    {3, -5, 1, 5000},  {100, 10000, 10000, 10}, {0, 100000, 100000, 1},
    };
    for (const Case &c : cases) {
        TGIFImage player;
        ASSERT_TRUE(player.LoadGIFFile(Write("a.gif", Animation(2, 0, c.delayHundredths))));
        player.setSpeed(c.speed);
        player.setAnimate(true);
        player.TimerTick();
        EXPECT_EQ(player.Speed(), c.storedSpeed) << c.speed;
        EXPECT_EQ(player.Timer().Interval(), c.interval) << c.delayHundredths << " at " << c.speed;
    }
}

TEST_F(GIFImageTest, StoppingShowsFrameOneAgain)
{
    TGIFImage player;
    ASSERT_TRUE(player.LoadGIFFile(Write("a.gif", Animation(3, 0))));
    player.setAnimate(true);
    EXPECT_EQ(Play(player, 2), "R G");
    player.setAnimate(false);
    EXPECT_EQ(std::make_tuple(Shown(player), player.CurrentFrame(), player.Timer().Enabled()),
              std::make_tuple('R', 1, false));
    // Also after a wrap, where frame 1 is the next to come but the last is still on show.
    player.setAnimate(true);
    EXPECT_EQ(Play(player, 3), "R G B|");
    player.setAnimate(false);
    EXPECT_EQ(Shown(player), 'R');
    player.setCurrentFrame(2);
    EXPECT_EQ(std::make_tuple(Shown(player), player.CurrentFrame()), std::make_tuple('G', 2));
    player.setCurrentFrame(4); // outside the frames: nothing
    EXPECT_EQ(std::make_tuple(Shown(player), player.CurrentFrame()), std::make_tuple('G', 2));
}

TEST_F(GIFImageTest, PictureGeometry)
{
    struct Case {
        const char *what;
        QSize control, picture;
        bool center, stretch, ratio, tile;
        QVector<QRect> expected;
    };
    const Case cases[] = {
        {"plain", {200, 165}, {100, 50}, false, false, false, false, {{0, 0, 100, 50}}},
        {"centred", {200, 165}, {100, 50}, true, false, false, false, {{50, 57, 100, 50}}},
        {"centred, larger", {200, 165}, {300, 200}, true, false, false, false, {{-50, -17, 300, 200}}},
        {"stretched", {200, 100}, {100, 100}, false, true, false, false, {{0, 0, 200, 100}}},
        {"ratio, wide control", {200, 100}, {100, 100}, false, false, true, false, {{50, 0, 100, 100}}},
        {"ratio, tall control", {100, 201}, {100, 50}, false, false, true, false, {{0, 76, 100, 50}}},
        {"ratio, halves to even", {5, 2}, {1, 1}, false, false, true, false, {{2, 0, 2, 2}}},
        {"ratio and stretch", {200, 100}, {100, 100}, false, true, true, false, {{0, 0, 200, 100}}},
        {"ratio, same size", {100, 100}, {100, 100}, true, false, true, false, {{0, 0, 100, 100}}},
        {"tiled", {250, 100}, {100, 40}, false, false, false, true,
         {{0, 0, 100, 40}, {100, 0, 100, 40}, {200, 0, 100, 40}, {0, 40, 100, 40}, {100, 40, 100, 40},
          {200, 40, 100, 40}, {0, 80, 100, 40}, {100, 80, 100, 40}, {200, 80, 100, 40}}},
    };
    for (const Case &c : cases) {
        TGIFImage player;
        const int w = c.picture.width(), h = c.picture.height();
        ASSERT_TRUE(player.LoadGIFFile(
            Write("a.gif", GifBuilder(w, h).GlobalTable(Colours).Image(0, 0, 1, 1, RootCodeImageData(2, {0})).Trailer().Data())));
        player.resize(c.control);
        player.setCenter(c.center);
        player.setStretch(c.stretch);
        player.setStretchRatio(c.ratio);
        player.setTile(c.tile);
        EXPECT_EQ(player.PictureRects(), c.expected) << c.what;
    }
    // AutoSize fits the control to the canvas, at each load and when it is switched on.
    TGIFImage player;
    player.setAutoSize(true);
    ASSERT_TRUE(player.LoadGIFFile(Write("a.gif", GifBuilder(30, 20).GlobalTable(Colours).Trailer().Data())));
    EXPECT_EQ(player.size(), QSize(30, 20));
    player.setAutoSize(false);
    player.resize(5, 5);
    player.setAutoSize(true);
    EXPECT_EQ(player.size(), QSize(30, 20));
}

// A red window 8 x 1 with the player on it, as the user sees it.
struct OnRedWindow {
    OnRedWindow()
    {
        window.resize(8, 1);
        window.setAutoFillBackground(true);
        QPalette palette;
        palette.setColor(QPalette::Window, Qt::red);
        window.setPalette(palette);
        player = new TGIFImage(&window);
        player->setGeometry(0, 0, 8, 1);
        window.show();
    }
    // One letter per pixel of the window's row y: R red, G green, B blue, W white, k black.
    std::string Row(int y)
    {
        const QImage seen = window.grab().toImage();
        std::string row;
        for (int x = 0; x < seen.width(); ++x) {
            const QRgb p = seen.pixel(x, y) & 0xFFFFFF;
            row += p == 0xFF0000 ? 'R' : p == 0x00FF00 ? 'G' : p == 0x0000FF ? 'B' : p == 0xFFFFFF ? 'W' : p == 0 ? 'k' : '?';
        }
        return row;
    }
    QWidget window;
    TGIFImage *player;
};

TEST_F(GIFImageTest, TransparentPicturesShowWhatLiesBehind)
{
    // A 4 x 1 picture: green, transparent, blue, transparent; and one whose first frame is opaque.
    const Bytes transparent = GifBuilder(4, 1).GlobalTable(Colours).Control(1, 0, true, 3)
                                  .Image(0, 0, 4, 1, RootCodeImageData(2, {1, 3, 2, 3})).Trailer().Data();
    const Bytes opaqueFirst = GifBuilder(4, 1).GlobalTable(Colours)
                                  .Control(1, 0).Image(0, 0, 2, 1, RootCodeImageData(2, {1, 2}))
                                  .Control(1, 0, true, 3).Image(2, 0, 2, 1, RootCodeImageData(2, {3, 3})).Trailer().Data();
    struct Case {
        const char *what;
        const Bytes &file;
        bool center, tile, visible;
        std::string row0;
    };
    const Case cases[] = {
        {"plain", transparent, false, false, true, "GRBRRRRR"},
        {"centred", transparent, true, false, true, "RRGRBRRR"},
        {"tiled", transparent, false, true, true, "GRBRGRBR"},
        {"first frame opaque: the rest shows black", opaqueFirst, false, false, true, "GBkkRRRR"},
        {"invisible", transparent, false, false, false, "RRRRRRRR"},
    };
    for (const Case &c : cases) {
        OnRedWindow view;
        view.player->setVisible(c.visible);
        ASSERT_TRUE(view.player->LoadGIFFile(Write("t.gif", c.file)));
        view.player->setCenter(c.center);
        view.player->setTile(c.tile);
        EXPECT_EQ(view.Row(0), c.row0) << c.what;
        EXPECT_EQ(view.player->FrameCount(), c.file == opaqueFirst ? 2 : 1) << c.what; // loads all the same
    }
}

TEST_F(GIFImageTest, FailedMissingAndAbandonedLoads)
{
    TGIFImage player;
    const QString good = Write("good.gif", Animation(3, 0));
    ASSERT_TRUE(player.LoadGIFFile(good));
    EXPECT_EQ(player.DataBytes(), Animation(3, 0));

    // A missing file leaves the picture as it was.
    EXPECT_FALSE(player.LoadGIFFile(dir.filePath("missing.gif")));
    EXPECT_EQ(std::make_tuple(player.FrameCount(), player.FileName()), std::make_tuple(3, good));

    // Not a GIF: empty, without a file name or bytes.
    EXPECT_FALSE(player.LoadGIFFile(Write("text.gif", {'h', 'e', 'l', 'l', 'o'})));
    EXPECT_EQ(std::make_tuple(player.FrameCount(), player.FileName(), player.DataBytes().size(), player.Empty()),
              std::make_tuple(0, QString(), size_t(0), true));
    TFrameInfo info;
    player.GetFrameInfo(1, info);
    EXPECT_FALSE(info.Bitmap);

    // A progress handler that says stop at the third report abandons the load.
    std::vector<int> percentages;
    player.OnProgress = [&](QObject *sender, int32_t done, int32_t total, int32_t percent, bool &keep) {
        EXPECT_EQ(sender, &player);
        EXPECT_LE(done, total);
        percentages.push_back(percent);
        if (percentages.size() == 3)
            keep = false;
    };
    EXPECT_FALSE(player.LoadGIFFile(good));
    EXPECT_EQ(std::make_tuple(percentages.size(), player.FrameCount(), player.FileName()),
              std::make_tuple(size_t(3), 0, QString()));

    // Left alone, it hears of every block and ends at 100 per cent.
    percentages.clear();
    player.OnProgress = [&](QObject *, int32_t, int32_t, int32_t percent, bool &) { percentages.push_back(percent); };
    QFile stream(good);
    ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
    stream.seek(10); // a stream is read from its start
    EXPECT_TRUE(player.LoadGIFStream(stream));
    EXPECT_EQ(player.FrameCount(), 3);
    ASSERT_GE(percentages.size(), 5u);
    EXPECT_TRUE(std::is_sorted(percentages.begin(), percentages.end()));
    EXPECT_EQ(percentages.back(), 100);
}

TEST_F(GIFImageTest, ALoadFailsOnARefusedOrTooLargePictureAndPassesOnOurOwnFaults)
{
    const QString good = Write("good.gif", Animation(3, 0));
    const std::function<void()> raises[] = {[] { throw EGIFError(QStringLiteral("refused")); },
                                            [] { throw std::bad_alloc(); }};
    for (const std::function<void()> &raise : raises) {
        TGIFImage player;
        player.OnProgress = [&](QObject *, int32_t, int32_t, int32_t, bool &) { raise(); };
        EXPECT_FALSE(player.LoadGIFFile(good));
        EXPECT_TRUE(player.Empty());
    }
    TGIFImage player;
    player.OnProgress = [](QObject *, int32_t, int32_t, int32_t, bool &) { throw std::logic_error("a fault"); };
    EXPECT_THROW(player.LoadGIFFile(good), std::logic_error);
}

TEST_F(GIFImageTest, PlaysOnItsOwnTimerOnceShown)
{
    for (bool threaded : {true, false}) {
        OnRedWindow view;
        TGIFImage &player = *view.player;
        player.setThreaded(threaded);
        std::string shown;
        int wraps = 0;
        int changing = 0;
        player.OnChanging = [&](QObject *) { ++changing; };
        player.OnChange = [&](QObject *) { shown += Shown(player); };
        player.OnWrapAnimation = [&](QObject *) { ++wraps; };
        player.setAnimate(true);
        player.setSpeed(100000); // every frame 1 ms
        ASSERT_TRUE(player.LoadGIFFile(Write("once.gif", Animation(3, -1))));
        view.window.update(); // the first paint after the load starts the timer
        QDeadlineTimer deadline(60000);
        while ((wraps == 0 || player.Timer().Enabled()) && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        // Drawn at load, then one change per tick: the first tick only schedules.
        EXPECT_EQ(shown, "RRGB") << threaded;
        EXPECT_EQ(changing, 4);
        EXPECT_EQ(wraps, 1);
        EXPECT_EQ(view.Row(0).substr(0, 1), "B");
    }
}

} // namespace
} // namespace kaptiv
