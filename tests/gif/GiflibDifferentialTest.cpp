#include "GiflibOracle.h"
#include "TestFiles.h"
#include "TestPixels.h"

#include "gif/core/ColorReducer.h"
#include "gif/core/GifReader.h"
#include "gif/core/GifWriter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace kaptiv::gif::test {
namespace {

// Our reading of a file against giflib's, frame for frame.
void ExpectSameAsGiflib(const std::vector<std::uint8_t> &file, const std::string &name)
{
    GifImage ours;
    ASSERT_TRUE(ParseGIF(file, ours)) << name;
    const auto theirs = oracle::Read(file);
    ASSERT_TRUE(theirs) << name << ": giflib cannot read it";
    ASSERT_EQ(ours.FrameCount(), std::min<int>(MaxFrames, static_cast<int>(theirs->frames.size()))) << name;
    for (int i = 0; i < ours.FrameCount(); ++i) {
        const GifFrame &f = ours.Frames[static_cast<std::size_t>(i)];
        const oracle::Frame &g = theirs->frames[static_cast<std::size_t>(i)];
        const std::string where = name + " frame " + std::to_string(i + 1);
        EXPECT_EQ(f.Left, g.left) << where;
        EXPECT_EQ(f.Top, g.top) << where;
        ASSERT_EQ(f.Width, g.width) << where;
        ASSERT_EQ(f.Height, g.height) << where;
        EXPECT_EQ(f.Interlaced, g.interlaced) << where;
        EXPECT_EQ(f.HasLocalColors, g.hasLocalTable) << where;
        EXPECT_TRUE(std::equal(g.colors.begin(), g.colors.end(), f.Colors.begin())) << where;
        EXPECT_EQ(f.Disposal, g.disposal > 3 ? 2 : g.disposal) << where;
        EXPECT_EQ(f.Delay, 10 * g.delay) << where;
        EXPECT_EQ(f.Transparent, g.transparentIndex >= 0) << where;
        if (f.Transparent) {
            EXPECT_EQ(f.TransparentIndex, g.transparentIndex) << where;
        }
        int differences = 0, maskErrors = 0;
        for (int y = 0; y < f.Height; ++y)
            for (int x = 0; x < f.Width; ++x) {
                const std::uint8_t expected = g.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(g.width) + static_cast<std::size_t>(x)];
                differences += f.IndexAt(x, y) != expected;
                maskErrors += f.MaskAt(x, y) != (f.Transparent && expected == f.TransparentIndex);
            }
        EXPECT_EQ(differences, 0) << where;
        EXPECT_EQ(maskErrors, 0) << where;
    }
}

TEST(GiflibDifferential, RealFilesReadAsGiflibReadsThem)
{
    const auto files = FilesBelow(CorpusDir("real"));
    ASSERT_GE(files.size(), 10u);
    for (const auto &file : files)
        ExpectSameAsGiflib(ReadBytes(file), file.filename().string());
}

TEST(GiflibDifferential, FilesFromGiflibsWriterReadAsGiflibReadsThem)
{
    std::mt19937 random(5);
    const auto table = [&](int bits) {
        std::vector<std::uint32_t> t(std::size_t{1} << bits);
        for (auto &c : t)
            c = random() & 0xFFFFFF;
        return t;
    };
    const auto frame = [&](int left, int top, int w, int h, int colors) {
        oracle::FrameToWrite f;
        f.left = left;
        f.top = top;
        f.width = w;
        f.height = h;
        f.pixels.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
        // Runs of random length, as drawings have, with some noise.
        std::uint8_t current = 0;
        for (auto &p : f.pixels) {
            if (random() % 9 == 0)
                current = static_cast<std::uint8_t>(random() % static_cast<unsigned>(colors));
            p = current;
        }
        return f;
    };

    for (int bits = 1; bits <= 8; ++bits) {
        std::vector<oracle::FrameToWrite> frames;
        for (int w : {1, 3, 17, 64, 333})
            frames.push_back(frame(0, 0, w, 1 + (w * 7) % 61, 1 << bits));
        frames[1].interlaced = frames[3].interlaced = true;
        frames[2].localTable = table(std::max(1, bits - 1));
        frames[2].pixels.assign(frames[2].pixels.size(), static_cast<std::uint8_t>((1 << std::max(1, bits - 1)) - 1));
        for (std::size_t i = 0; i < frames.size(); ++i) {
            frames[i].disposal = static_cast<int>(i % 4);
            frames[i].delay = static_cast<int>(i * 13);
            frames[i].transparentIndex = i % 2 ? static_cast<int>(i) % (1 << bits) : -1;
        }
        ExpectSameAsGiflib(oracle::Write(400, 70, table(bits), frames), "giflib file of " + std::to_string(bits) + " bits");
    }

    std::vector<oracle::FrameToWrite> many;
    for (int i = 0; i < 300; ++i)
        many.push_back(frame(i % 7, i % 5, 9 + i % 4, 5 + i % 3, 4));
    ExpectSameAsGiflib(oracle::Write(20, 20, table(2), many), "300 frames");
}

TEST(GiflibDifferential, OurFilesDecodeInGiflibToThePixelsPutIn)
{
    std::mt19937 random(9);
    struct Case {
        const char *what;
        int frames, width, height, colors;
        bool interlaced, global, transparent;
        bool reduced = false; // full-colour frames given one adaptive table, dithered
    } cases[] = {
        {"one colour", 1, 7, 3, 1, false, false, false},
        {"two colours, interlaced", 1, 31, 29, 2, true, false, true},
        {"256 colours", 1, 320, 200, 256, false, false, true},
        {"animation, shared table", 12, 97, 61, 20, true, true, true},
        {"animation, overflowing shared table", 5, 120, 90, 200, false, true, false},
        {"animation, local tables", 4, 255, 3, 129, true, false, true},
        {"a long frame clearing its table", 1, 1000, 700, 256, false, false, false},
        {"full colour reduced to a shared table", 3, 150, 100, 0, true, true, true, true},
    };
    for (const Case &c : cases) {
        std::vector<TestBitmap> bitmaps;
        for (int f = 0; f < c.frames; ++f) {
            std::vector<std::uint32_t> palette(static_cast<std::size_t>(c.colors));
            for (auto &color : palette)
                color = random() & 0xFFFFFF;
            std::vector<std::uint32_t> pixels(static_cast<std::size_t>(c.width) * static_cast<std::size_t>(c.height));
            for (std::size_t i = 0; i < pixels.size(); ++i)
                pixels[i] = c.reduced ? random() & 0xFFFFFF : palette[i < palette.size() ? i : random() % palette.size()];
            bitmaps.emplace_back(c.width, c.height, pixels);
        }
        if (c.reduced) {
            ColorHistogram histogram;
            for (const TestBitmap &b : bitmaps)
                histogram.Add(b.View());
            PaletteMapper mapper(ChoosePalette(histogram));
            for (TestBitmap &b : bitmaps)
                mapper.Reduce(b.View(), true, b.bgrx.data(), 4 * b.width);
        }
        GifSaveInfo info;
        info.GlobalColors = c.global;
        for (const TestBitmap &b : bitmaps) {
            GifFrameInput frame = b.Frame();
            frame.Interlaced = c.interlaced;
            frame.Transparent = c.transparent;
            frame.TransparentColor = static_cast<std::int32_t>(b.bgrx[2] | b.bgrx[1] << 8 | b.bgrx[0] << 16);
            frame.Comment = c.what;
            info.Frames.push_back(frame);
        }
        std::vector<std::uint8_t> file;
        ASSERT_TRUE(WriteGIFStream(info, file)) << c.what;
        if (c.reduced)
            EXPECT_TRUE(info.GlobalColors) << "the reduced frames share one table";
        const auto theirs = oracle::Read(file);
        ASSERT_TRUE(theirs) << c.what;
        ASSERT_EQ(theirs->frames.size(), bitmaps.size());
        for (std::size_t f = 0; f < bitmaps.size(); ++f) {
            const oracle::Frame &g = theirs->frames[f];
            const TestBitmap &b = bitmaps[f];
            int differences = 0;
            for (std::size_t i = 0; i < g.pixels.size(); ++i) {
                const std::size_t entry = 3 * std::size_t{g.pixels[i]};
                differences += g.colors[entry] != b.bgrx[4 * i + 2] || g.colors[entry + 1] != b.bgrx[4 * i + 1] ||
                               g.colors[entry + 2] != b.bgrx[4 * i];
            }
            EXPECT_EQ(differences, 0) << c.what << " frame " << f + 1;
            if (c.transparent) {
                EXPECT_EQ(g.transparentIndex, g.pixels[0]) << c.what;
            }
        }
    }
}

} // namespace
} // namespace kaptiv::gif::test
