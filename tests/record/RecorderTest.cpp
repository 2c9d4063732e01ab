// The recording engine without a display: a scripted area in, the file read back by giflib.
#include "GiflibOracle.h"
#include "record/Recorder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <numeric>
#include <stdexcept>
#include <thread>

namespace kaptiv::record {
namespace {

constexpr int W = 40, H = 30;

using Picture = std::vector<std::uint32_t>;

Picture solid(std::uint32_t rgb) { return Picture(std::size_t(W) * H, rgb); }

gif::oracle::Image readBack(const std::vector<std::uint8_t> &file)
{
    const std::optional<gif::oracle::Image> image = gif::oracle::Read(file);
    if (!image)
        throw std::runtime_error("giflib refused the file");
    return *image;
}

std::vector<int> delaysOf(const gif::oracle::Image &image)
{
    std::vector<int> delays;
    for (const auto &f : image.frames)
        delays.push_back(f.delay);
    return delays;
}

TEST(FrameEncoder, CarriesTheRoundingMergesEqualFramesAndKeepsOnlyTheChangedRectangle)
{
    // At 30 fps: frames due at 0, 1 (unchanged), 2, 3..5 dropped, 6, 7 .. 12 and the end at 13.
    Picture a = solid(0x102030), b = a, c = a;
    for (int y = 5; y < 9; ++y)
        for (int x = 7; x < 20; ++x)
            b[std::size_t(y) * W + x] = 0xFF0000;
    c = b;
    c[std::size_t(29) * W + 39] = 0x00FF00; // one pixel in the corner
    const struct Step {
        std::int64_t index;
        const Picture *picture;
        FrameEncoder::Added expected;
    } steps[] = {
        {0, &a, FrameEncoder::Added::NewFrame}, {1, &a, FrameEncoder::Added::Unchanged},
        {2, &b, FrameEncoder::Added::NewFrame}, {6, &c, FrameEncoder::Added::NewFrame},
        {7, &a, FrameEncoder::Added::NewFrame}, {8, &b, FrameEncoder::Added::NewFrame},
        {9, &a, FrameEncoder::Added::NewFrame}, {10, &b, FrameEncoder::Added::NewFrame},
        {11, &a, FrameEncoder::Added::NewFrame}, {12, &a, FrameEncoder::Added::Unchanged},
    };
    FrameEncoder encoder(W, H, 30, ColorMode::AsIs, false);
    std::vector<std::uint8_t> file;
    encoder.begin(file);
    int newFrames = 0;
    for (const Step &step : steps) {
        EXPECT_EQ(encoder.add(step.picture->data(), step.index, file), step.expected) << step.index;
        newFrames += step.expected == FrameEncoder::Added::NewFrame;
        EXPECT_EQ(encoder.framesWritten(), newFrames) << "the frame waiting for its delay counts";
    }
    encoder.finish(13, file);

    const gif::oracle::Image image = readBack(file);
    EXPECT_EQ(image.loopCount, 0);
    // Due hundredths 0, 6, 20, 23, 26, 30, 33, 36 and 43 at the end.
    EXPECT_EQ(delaysOf(image), (std::vector<int>{6, 14, 3, 3, 4, 3, 3, 7}));
    EXPECT_EQ(encoder.durationCs(), 43);
    EXPECT_EQ(encoder.framesWritten(), 8);
    const std::vector<Picture> shown = gif::oracle::Composed(image);
    const Picture *expected[] = {&a, &b, &c, &a, &b, &a, &b, &a};
    for (std::size_t i = 0; i < shown.size(); ++i)
        EXPECT_EQ(shown[i], *expected[i]) << "frame " << i;
    const gif::oracle::Frame &second = image.frames[1], &third = image.frames[2];
    EXPECT_EQ(std::vector<int>({second.left, second.top, second.width, second.height}), std::vector<int>({7, 5, 13, 4}));
    EXPECT_EQ(std::vector<int>({third.left, third.top, third.width, third.height}), std::vector<int>({39, 29, 1, 1}));
}

// A scrolling terminal and a moving box, every frame different, composed back exactly; one frame
// changes 256 colours at once, leaving no index for transparency.
TEST(FrameEncoder, EveryFrameOfAScrollingSceneIsExact)
{
    const std::uint32_t palette[] = {0x101418, 0xD0D0D0, 0x60D060, 0xE0E070, 0x2050A0, 0xE0C040};
    std::uint32_t seed = 1;
    auto random = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    std::vector<Picture> frames;
    Picture text = solid(palette[0]);
    for (int n = 0; n < 60; ++n) {
        // Up one row, a new row of "glyphs" at the bottom.
        std::copy(text.begin() + W, text.end(), text.begin());
        for (int x = 0; x < W; ++x)
            text[std::size_t(H - 1) * W + x] = random() % 3 ? palette[0] : palette[1 + random() % 3];
        Picture frame = text;
        for (int y = 20; y < 26; ++y)
            for (int x = 0; x < 8; ++x)
                frame[std::size_t(y) * W + (n + x) % W] = palette[4 + (y % 2)];
        if (n == 30) { // the scene stands, but for seven whole rows of 256 colours
            frame = frames.back();
            for (int i = 0; i < 7 * W; ++i)
                frame[std::size_t(i)] = 0x800000 + std::uint32_t(i % 256);
        }
        frames.push_back(frame);
    }
    FrameEncoder encoder(W, H, 30, ColorMode::AsIs, false);
    std::vector<std::uint8_t> file;
    encoder.begin(file);
    for (std::size_t i = 0; i < frames.size(); ++i)
        ASSERT_EQ(encoder.add(frames[i].data(), std::int64_t(i), file), FrameEncoder::Added::NewFrame);
    encoder.finish(std::int64_t(frames.size()), file);
    const std::vector<Picture> shown = gif::oracle::Composed(readBack(file));
    ASSERT_EQ(shown.size(), frames.size());
    for (std::size_t i = 0; i < frames.size(); ++i)
        ASSERT_EQ(shown[i], frames[i]) << "frame " << i;
}

TEST(FrameEncoder, ADelayBeyondOneBlockGoesOnInAFrameThatChangesNothing)
{
    FrameEncoder encoder(W, H, 1, ColorMode::AsIs, false);
    std::vector<std::uint8_t> file;
    encoder.begin(file);
    const Picture a = solid(0xABCDEF);
    encoder.add(a.data(), 0, file);
    encoder.finish(1500, file); // 25 minutes: 150000 hundredths
    const gif::oracle::Image image = readBack(file);
    EXPECT_EQ(delaysOf(image), (std::vector<int>{65535, 65535, 18930}));
    for (const Picture &p : gif::oracle::Composed(image))
        EXPECT_EQ(p, a);
}

TEST(FrameEncoder, AFrameOfMoreThan256ColoursIsRefusedAndTheFileBeforeItStays)
{
    Picture many = solid(0);
    for (std::size_t i = 0; i < many.size(); ++i)
        many[i] = std::uint32_t(i * 7919);
    FrameEncoder encoder(W, H, 10, ColorMode::AsIs, false);
    std::vector<std::uint8_t> file;
    encoder.begin(file);
    const Picture a = solid(0x112233);
    ASSERT_EQ(encoder.add(a.data(), 0, file), FrameEncoder::Added::NewFrame);
    EXPECT_EQ(encoder.add(many.data(), 4, file), FrameEncoder::Added::Refused);
    EXPECT_EQ(encoder.message(), "a frame has more than 256 colours");
    encoder.finish(4, file);
    const gif::oracle::Image image = readBack(file);
    EXPECT_EQ(delaysOf(image), std::vector<int>{40});
}

TEST(FrameEncoder, AdaptiveColoursReduceAFullColourFrameAndKeepStillPixelsStill)
{
    Picture many = solid(0);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            many[std::size_t(y) * W + x] = std::uint32_t(x * 6) << 16 | std::uint32_t(y * 8) << 8 | 0x80;
    // Two changes at opposite corners: the rectangle between them is nearly all still pixels,
    // and the table chosen for the changed ones must not redraw those.
    Picture changed = many;
    for (int x = 2; x < 6; ++x)
        changed[std::size_t(3) * W + x] = 0xFFFFFF;
    changed[std::size_t(26) * W + 35] = 0x000000;
    FrameEncoder encoder(W, H, 10, ColorMode::Adaptive, true);
    std::vector<std::uint8_t> file;
    encoder.begin(file);
    ASSERT_EQ(encoder.add(many.data(), 0, file), FrameEncoder::Added::NewFrame);
    ASSERT_EQ(encoder.add(many.data(), 1, file), FrameEncoder::Added::Unchanged);
    ASSERT_EQ(encoder.add(changed.data(), 2, file), FrameEncoder::Added::NewFrame);
    encoder.finish(3, file);
    EXPECT_EQ(encoder.reducedFrames(), 1) << "only the first frame: the changed pixels have 2 colours";
    const gif::oracle::Image image = readBack(file);
    ASSERT_EQ(image.frames.size(), 2u);
    const std::vector<Picture> shown = gif::oracle::Composed(image);
    double error = 0;
    for (std::size_t i = 0; i < many.size(); ++i)
        for (int shift : {0, 8, 16})
            error += std::abs(int(shown[0][i] >> shift & 0xFF) - int(many[i] >> shift & 0xFF));
    EXPECT_LT(error / (3.0 * many.size()), 6.0) << "mean error per channel";
    for (std::size_t i = 0; i < many.size(); ++i)
        if (changed[i] == many[i])
            ASSERT_EQ(shown[1][i], shown[0][i]) << "a still pixel changed at " << i;
        else
            ASSERT_EQ(shown[1][i], changed[i]) << "a colour the table holds exactly";
}

// A scene that is different at every grab: the colour is the number of the grab.
class CountingSource : public AreaSource {
public:
    int width() const override { return W; }
    int height() const override { return H; }
    bool changed() override { return true; }
    bool grab(std::uint32_t *pixels) override
    {
        const std::uint32_t colour = 0x010203 * std::uint32_t(++grabs);
        std::fill(pixels, pixels + W * H, colour);
        last = colour;
        return true;
    }
    std::atomic<int> grabs{0};
    std::atomic<std::uint32_t> last{0};
};

TEST(Recorder, AnEncoderBehindDropsFramesCountedAndTheFileKeepsTime)
{
    auto owned = std::make_unique<CountingSource>();
    CountingSource &source = *owned;
    std::vector<std::uint8_t> file;
    std::mutex m;
    std::condition_variable cv;
    bool release = false;
    Recorder *recorder = nullptr;
    RecordingOptions options;
    options.fps = 25;
    options.maxDurationMs = 1000; // 25 due times
    options.queueFrames = 1;
    Recorder r(
        std::move(owned),
        [&](const NextPiece &next) {
            for (auto piece = next(); !piece.empty(); piece = next()) {
                file.insert(file.end(), piece.begin(), piece.end());
                // The writer stalls after the first frame until frames have been dropped.
                std::unique_lock lock(m);
                cv.wait(lock, [&] { return release; });
            }
        },
        options);
    recorder = &r;
    r.start();
    while (r.stats().framesDropped < 3)
        std::this_thread::yield(); // waits on the recorder's own count, which the stall makes grow
    {
        std::lock_guard lock(m);
        release = true;
    }
    cv.notify_all();
    ASSERT_TRUE(recorder->wait()) << r.message();
    const RecordingStats stats = r.stats();
    const gif::oracle::Image image = readBack(file);
    const std::vector<int> delays = delaysOf(image);
    EXPECT_EQ(std::accumulate(delays.begin(), delays.end(), 0), 100);
    EXPECT_EQ(stats.durationCs, 100);
    EXPECT_GE(stats.framesDropped, 3);
    EXPECT_EQ(stats.framesWritten, int(image.frames.size()));
    EXPECT_EQ(stats.framesWritten, source.grabs.load());
    EXPECT_EQ(stats.framesWritten + stats.framesDropped, 25);
    EXPECT_EQ(stats.bytes, file.size());
    EXPECT_EQ(gif::oracle::Composed(image).back(), solid(source.last));
}

TEST(Recorder, ASlowFirstGrabDropsNoFrame)
{
    // Setting up the shared memory makes the first grab of a real screen the slowest.
    class SlowToStart : public CountingSource {
        bool grab(std::uint32_t *pixels) override
        {
            if (grabs == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(500));
            return CountingSource::grab(pixels);
        }
    };
    RecordingOptions options;
    options.fps = 10;
    options.maxDurationMs = 500; // 5 due times, as long as the first grab
    std::vector<std::uint8_t> file;
    Recorder r(
        std::make_unique<SlowToStart>(),
        [&](const NextPiece &next) {
            for (auto piece = next(); !piece.empty(); piece = next())
                file.insert(file.end(), piece.begin(), piece.end());
        },
        options);
    r.start();
    ASSERT_TRUE(r.wait()) << r.message();
    EXPECT_EQ(r.stats().framesDropped, 0);
    EXPECT_EQ(r.stats().framesWritten, 5);
    EXPECT_EQ(readBack(file).frames.size(), 5u);
}

TEST(Recorder, AFailedWriteEndsTheRecordingWithItsMessage)
{
    RecordingOptions options;
    options.fps = 50;
    Recorder r(
        std::make_unique<CountingSource>(),
        [](const NextPiece &next) {
            next();
            next();
            throw std::runtime_error("Cannot write file out.gif: No space left on device");
        },
        options);
    r.start();
    EXPECT_FALSE(r.wait()); // no stop(): the failure alone ends it
    EXPECT_EQ(r.message(), "Cannot write file out.gif: No space left on device");
}

TEST(Recorder, StoppedBeforeAnyFrameLeavesNothing)
{
    class Nothing : public CountingSource {
        bool grab(std::uint32_t *) override { return false; }
    };
    bool called = false;
    Recorder r(std::make_unique<Nothing>(), [&](const NextPiece &next) { called = !next().empty(); }, {});
    r.start();
    EXPECT_FALSE(r.wait());
    EXPECT_FALSE(called);
    EXPECT_EQ(r.message(), "the screen could not be read");
}

} // namespace
} // namespace kaptiv::record
