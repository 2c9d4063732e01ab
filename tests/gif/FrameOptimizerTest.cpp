// The optimised file must show exactly what the file written whole shows, frame for frame, as
// giflib decodes it and the plain composition rules draw it; and it must be smaller.
#include "GiflibOracle.h"
#include "TestFiles.h"
#include "TestPixels.h"

#include "gif/core/FrameOptimizer.h"
#include "gif/core/GifReader.h"
#include "gif/core/GifWriter.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <cstdio>
#include <numeric>
#include <random>
#include <string>

namespace kaptiv::gif::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Canvas = std::vector<std::uint32_t>;
constexpr std::uint32_t Nothing = 0x01000000;  // where nothing is drawn or the background was restored

struct Shown {
    Canvas picture;
    int delay = 0;  // hundredths
};

// What a viewer shows, frame by frame, by the plain rules: a frame draws its opaque pixels over
// what is there; then it leaves them, clears its rectangle, or puts back what was there before it.
// A picture shown twice in a row is one picture shown for both delays.
std::vector<Shown> Pictures(const oracle::Image &image, int width, int height, std::size_t frames = MaxFrames)
{
    Canvas canvas(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), Nothing);
    std::vector<Shown> shown;
    for (std::size_t n = 0; n < std::min(frames, image.frames.size()); ++n) {
        const oracle::Frame &f = image.frames[n];
        const Canvas before = canvas;
        for (int y = std::max(f.top, 0); y < std::min(f.top + f.height, height); ++y)
            for (int x = std::max(f.left, 0); x < std::min(f.left + f.width, width); ++x) {
                const int index = f.pixels[static_cast<std::size_t>((y - f.top) * f.width + (x - f.left))];
                if (index == f.transparentIndex)
                    continue;
                const std::size_t c = 3 * static_cast<std::size_t>(index);
                canvas[static_cast<std::size_t>(y * width + x)] =
                    c + 2 < f.colors.size()
                        ? std::uint32_t{f.colors[c]} << 16 | std::uint32_t{f.colors[c + 1]} << 8 | f.colors[c + 2]
                        : 0;
            }
        if (!shown.empty() && shown.back().picture == canvas)
            shown.back().delay += f.delay;
        else
            shown.push_back({canvas, f.delay});
        if (f.disposal == 2) {
            for (int y = std::max(f.top, 0); y < std::min(f.top + f.height, height); ++y)
                for (int x = std::max(f.left, 0); x < std::min(f.left + f.width, width); ++x)
                    canvas[static_cast<std::size_t>(y * width + x)] = Nothing;
        } else if (f.disposal == 3) {
            canvas = before;
        }
    }
    return shown;
}

void ExpectSamePictures(const std::vector<Shown> &expected, const std::vector<Shown> &actual, const std::string &what)
{
    ASSERT_EQ(expected.size(), actual.size()) << what;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const std::size_t differ = static_cast<std::size_t>(
            std::inner_product(expected[i].picture.begin(), expected[i].picture.end(), actual[i].picture.begin(), 0,
                               std::plus<>(), std::not_equal_to<>()));
        EXPECT_EQ(differ, 0u) << what << ": pixels differ in picture " << i + 1;
        EXPECT_EQ(expected[i].delay, actual[i].delay) << what << ": delay of picture " << i + 1;
    }
}

// Frames of 0xRRGGBB pixels, kept alive for the writer's views of them.
struct Animation {
    int width = 0, height = 0;
    std::vector<TestBitmap> bitmaps;
    std::vector<GifFrameInput> frames;

    GifFrameInput &Add(int w, int h, const std::vector<std::uint32_t> &rgb, int left = 0, int top = 0)
    {
        bitmaps.emplace_back(w, h, rgb);
        GifFrameInput f;
        f.Left = left;
        f.Top = top;
        f.Delay = 100;
        frames.push_back(f);
        return frames.back();
    }

    Bytes Write(bool optimize, bool global = true)
    {
        GifSaveInfo info;
        info.Frames = frames;
        for (std::size_t i = 0; i < frames.size(); ++i)
            info.Frames[i].Pixels = bitmaps[i].View();
        info.GlobalColors = global;
        info.Optimize = optimize;
        Bytes out;
        EXPECT_TRUE(WriteGIFStream(info, out));
        return out;
    }
};

// A desktop of few colours where a pointer moves, a line of text grows and a clock ticks; some
// frames repeat the one before, one of those with a comment.
Animation ScreenRecording()
{
    Animation a;
    const int w = 240, h = 160;
    std::vector<std::uint32_t> desk(static_cast<std::size_t>(w * h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            desk[static_cast<std::size_t>(y * w + x)] =
                y < 12 ? 0x303040 : (x > 40 && x < 200 && y > 30 && y < 130 ? 0xF0F0F0 : 0x2060A0 + (y / 8) * 0x000100);
    for (int n = 0; n < 14; ++n) {
        std::vector<std::uint32_t> screen = desk;
        for (int c = 0; c < std::min(n, 10) * 12; ++c)  // text typed so far
            for (int y = 40; y < 48; ++y)
                if ((c * 7 + y) % 3)
                    screen[static_cast<std::size_t>(y * w + 44 + c)] = 0x101010;
        const int px = 60 + (n < 8 ? n * 9 : 72), py = 100 - (n < 8 ? n * 4 : 32);  // the pointer
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x <= y / 2; ++x)
                screen[static_cast<std::size_t>((py + y) * w + px + x)] = x == y / 2 ? 0x000000 : 0xFFFFFF;
        for (int x = 0; x < 6 * (n / 5 + 1); ++x)  // the clock
            screen[static_cast<std::size_t>(5 * w + 200 + x)] = 0xE0E0E0;
        GifFrameInput &f = a.Add(w, h, screen);
        f.Delay = 40 + 10 * (n % 3);
        if (n == 11)
            f.Comment = "the pointer rests";
    }
    a.width = w;
    a.height = h;
    return a;
}

// Sprites on a scene, as the animation builder places them: positioned frames with a transparent
// colour and every disposal.
Animation Sprites()
{
    Animation a;
    const int w = 96, h = 64;
    std::vector<std::uint32_t> scene(static_cast<std::size_t>(w * h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            scene[static_cast<std::size_t>(y * w + x)] = (x / 16 + y / 16) % 2 ? 0x80C080 : 0x70B070;
    a.Add(w, h, scene);
    const std::uint32_t key = 0xFF00FF;
    for (int n = 0; n < 10; ++n) {
        std::vector<std::uint32_t> sprite(16 * 16, key);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                if ((x - 8) * (x - 8) + (y - 8) * (y - 8) < 36 + 4 * (n % 3))
                    sprite[static_cast<std::size_t>(y * 16 + x)] = (x + n) % 4 ? 0xD02020 : 0xFFE000;
        GifFrameInput &f = a.Add(16, 16, sprite, 4 + n * 7, 10 + (n % 4) * 9);
        f.Transparent = true;
        f.TransparentColor = 0xFF00FF;
        f.Disposal = std::array{0, 1, 2, 3}[static_cast<std::size_t>(n % 4)];
        f.Delay = 60;
    }
    // A frame smaller than the screen, over whatever the sprites left.
    std::vector<std::uint32_t> patch(20 * 10, 0x204080);
    a.Add(20, 10, patch, 70, 50).Disposal = 2;
    a.width = w;
    a.height = h;
    return a;
}

// Photographs of up to 256 colours each, different in every frame, where a part moves.
Animation Photos(bool interlaced)
{
    Animation a;
    const int w = 72, h = 54;
    std::mt19937 random(11);
    std::vector<std::uint32_t> base(static_cast<std::size_t>(w * h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            base[static_cast<std::size_t>(y * w + x)] =
                static_cast<std::uint32_t>((x / 9) * 32 << 16 | (y / 9) * 40 << 8 | (random() % 4) * 8);  // 192 colours
    for (int n = 0; n < 6; ++n) {
        std::vector<std::uint32_t> photo = base;
        for (int y = 20; y < 34; ++y)
            for (int x = 5 + n * 8; x < 19 + n * 8; ++x)
                photo[static_cast<std::size_t>(y * w + x)] = 0xC0A000 + static_cast<std::uint32_t>(n * 0x10 + (x ^ y) % 7);
        for (int i = 0; i < 30; ++i)  // sensor noise in a corner
            photo[static_cast<std::size_t>((random() % 8) * w + random() % 8)] = base[random() % base.size()];
        GifFrameInput &f = a.Add(w, h, photo);
        f.Interlaced = interlaced;
        f.Transparent = n % 2 == 1;
        f.TransparentColor = -1;  // white, which no frame has: nothing is transparent
    }
    a.width = w;
    a.height = h;
    return a;
}

// A large screen of text where a line is typed and a pointer moves: coding its first frame fills
// the string table many times.
Animation TextRecording()
{
    Animation a;
    const int w = 800, h = 600;
    const std::vector<std::uint8_t> screen = TextScreen(w, h);
    std::array<std::uint32_t, 16> palette{};
    for (std::size_t i = 0; i < palette.size(); ++i)
        palette[i] = static_cast<std::uint32_t>(0x0F0F0F * i) ^ (i % 2 ? 0x400000 : 0x000040);
    for (int n = 0; n < 5; ++n) {
        std::vector<std::uint32_t> rgb(screen.size());
        for (std::size_t i = 0; i < rgb.size(); ++i)
            rgb[i] = palette[screen[i]];
        for (int y = 500; y < 508; ++y)  // the line typed so far
            for (int x = 110; x < 110 + 40 * n; ++x)
                if ((x * 3 + y) % 5 == 0)
                    rgb[static_cast<std::size_t>(y * w + x)] = palette[3];
        for (int y = 0; y < 12; ++y)  // the pointer
            for (int x = 0; x <= y / 2; ++x)
                rgb[static_cast<std::size_t>((300 - 20 * n + y) * w + 400 + 30 * n + x)] =
                    x == y / 2 ? 0x000000 : 0xFFFFFF;
        a.Add(w, h, rgb).Delay = 20;
    }
    a.width = w;
    a.height = h;
    return a;
}

// The bytes of each image's data in a file (minimum code size, sub-blocks, terminator).
std::vector<std::size_t> ImageDataSizes(const Bytes &file)
{
    std::vector<std::size_t> sizes;
    std::size_t p = 13;
    if (file[10] & 0x80)
        p += std::size_t{3} << ((file[10] & 7) + 1);
    const auto skipBlocks = [&](std::size_t q) {
        while (q < file.size() && file[q] != 0)
            q += file[q] + 1u;
        return q + 1;
    };
    while (p < file.size() && file[p] != 0x3B) {
        if (file[p] == 0x21) {
            p = skipBlocks(p + 2);
        } else {
            std::size_t q = p + 10;
            if (file[p + 9] & 0x80)
                q += std::size_t{3} << ((file[p + 9] & 7) + 1);
            p = skipBlocks(q + 1);
            sizes.push_back(p - q);
        }
    }
    return sizes;
}

TEST(FrameOptimizer, ShowsTheSamePicturesAsTheWholeFramesInFewerBytes)
{
    struct Case {
        std::string name;
        Animation animation;
        bool global;
        std::size_t framesWritten;  // the frames that change nothing and carry no comment go
        // The first frame, stored whole either way, takes fewer bytes: the string table filled
        // while coding it, and coding on from the full table paid.
        bool firstSmaller = false;
    };
    std::vector<Case> cases;
    cases.push_back({"screen recording", ScreenRecording(), true, 12});
    cases.push_back({"sprites", Sprites(), true, 12});
    cases.push_back({"photos, a table each", Photos(false), false, 6});
    cases.push_back({"photos, interlaced, shared table", Photos(true), true, 6});
    cases.push_back({"screen of text", TextRecording(), true, 5, true});
    for (Case &c : cases) {
        const Bytes whole = c.animation.Write(false, c.global);
        const Bytes optimized = c.animation.Write(true, c.global);
        const auto expected = oracle::Read(whole);
        const auto actual = oracle::Read(optimized);
        ASSERT_TRUE(expected && actual) << c.name;
        EXPECT_EQ(actual->screenWidth, expected->screenWidth) << c.name;
        EXPECT_EQ(actual->screenHeight, expected->screenHeight) << c.name;
        EXPECT_EQ(actual->frames.size(), c.framesWritten) << c.name;
        ExpectSamePictures(Pictures(*expected, c.animation.width, c.animation.height),
                           Pictures(*actual, c.animation.width, c.animation.height), c.name);
        EXPECT_LT(optimized.size(), whole.size()) << c.name;
        if (c.firstSmaller) {
            EXPECT_LT(ImageDataSizes(optimized).at(0) * 100, ImageDataSizes(whole).at(0) * 95) << c.name;
        }
        // The colour tables stay as they were; the comment stays with its frame.
        GifImage ours, theirs;
        ASSERT_TRUE(ParseGIF(optimized, ours) && ParseGIF(whole, theirs)) << c.name;
        EXPECT_EQ(ours.GlobalTable, theirs.GlobalTable) << c.name;
        std::vector<std::string> comments, kept;
        for (const GifFrame &f : theirs.Frames)
            if (!f.Comment.empty())
                comments.push_back(f.Comment);
        for (const GifFrame &f : ours.Frames)
            if (!f.Comment.empty())
                kept.push_back(f.Comment);
        EXPECT_EQ(kept, comments) << c.name;
    }
}

// Real files, read and written back through the optimiser with their own tables, show what
// they showed.
TEST(FrameOptimizer, RealFilesWrittenBackShowTheSamePictures)
{
    std::vector<std::filesystem::path> files = FilesBelow(CorpusDir("real"));
    for (const auto &f : FilesBelow(CorpusDir("composite")))
        files.push_back(f);
    ASSERT_GE(files.size(), 10u);
    for (const auto &path : files) {
        const Bytes original = ReadBytes(path);
        GifImage image;
        ASSERT_TRUE(ParseGIF(original, image)) << path;
        const auto theirs = oracle::Read(original);
        ASSERT_TRUE(theirs) << path;
        Bytes optimized;
        GifStreamWriter writer(optimized);
        GifStreamStart start;
        start.Width = image.ImageWidth;
        start.Height = image.ImageHeight;
        start.Looping = image.FrameCount() > 1;
        start.Optimize = true;
        writer.Begin(start);
        std::vector<std::uint8_t> indices;
        for (const GifFrame &f : image.Frames) {
            indices.resize(static_cast<std::size_t>(f.Width) * static_cast<std::size_t>(f.Height));
            for (int y = 0; y < f.Height; ++y)
                for (int x = 0; x < f.Width; ++x)
                    indices[static_cast<std::size_t>(y * f.Width + x)] = f.IndexAt(x, y);
            GifIndexedFrame g;
            g.Left = f.Left;
            g.Top = f.Top;
            g.Width = f.Width;
            g.Height = f.Height;
            g.Indices = indices;
            g.LocalColors = &f.Colors;
            g.LocalCount = 1 << std::max(f.PaletteBits, 1);
            g.TransparentIndex = f.Transparent ? f.TransparentIndex : NoTransparentIndex;
            g.Disposal = f.Disposal;
            g.Delay = f.Delay / 10;
            g.Interlaced = f.Interlaced;
            g.Comment = f.Comment;
            ASSERT_TRUE(writer.AddIndexedFrame(g)) << path;
        }
        writer.Finish();
        const auto back = oracle::Read(optimized);
        ASSERT_TRUE(back) << path;
        ExpectSamePictures(Pictures(*theirs, theirs->screenWidth, theirs->screenHeight, image.Frames.size()),
                           Pictures(*back, theirs->screenWidth, theirs->screenHeight), path.filename().string());
        EXPECT_LE(back->frames.size(), image.Frames.size()) << path;
        std::printf("%s: %zu -> %zu bytes\n", path.filename().c_str(), original.size(), optimized.size());
    }
}

// The pictures of a file as another program shows them: `command` prints every frame as
// width * height * 4 bytes of red, green, blue, alpha. A pixel of alpha 0 shows nothing.
std::vector<Canvas> PicturesFrom(const std::string &command, int width, int height)
{
    std::vector<Canvas> shown;
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe)
        return shown;
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width * height * 4));
    while (std::fread(rgba.data(), 1, rgba.size(), pipe) == rgba.size()) {
        Canvas picture(static_cast<std::size_t>(width * height));
        for (std::size_t i = 0; i < picture.size(); ++i) {
            const std::uint8_t *p = &rgba[4 * i];
            picture[i] = p[3] == 0 ? Nothing : std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
        }
        if (shown.empty() || shown.back() != picture)
            shown.push_back(std::move(picture));
    }
    EXPECT_EQ(pclose(pipe), 0) << command;
    return shown;
}

// Our reader's frames composed by the plain rules.
std::vector<Canvas> OurPictures(const Bytes &file)
{
    GifImage image;
    EXPECT_TRUE(ParseGIF(file, image));
    oracle::Image as;
    as.screenWidth = image.ImageWidth;
    as.screenHeight = image.ImageHeight;
    for (const GifFrame &f : image.Frames) {
        oracle::Frame g;
        g.left = f.Left;
        g.top = f.Top;
        g.width = f.Width;
        g.height = f.Height;
        g.colors.assign(f.Colors.begin(), f.Colors.end());
        for (int y = 0; y < f.Height; ++y)
            for (int x = 0; x < f.Width; ++x)
                g.pixels.push_back(f.MaskAt(x, y) ? f.TransparentIndex : f.IndexAt(x, y));
        g.transparentIndex = f.Transparent ? f.TransparentIndex : -1;
        g.disposal = f.Disposal;
        g.delay = f.Delay / 10;
        as.frames.push_back(std::move(g));
    }
    std::vector<Canvas> pictures;
    for (Shown &s : Pictures(as, image.ImageWidth, image.ImageHeight))
        pictures.push_back(std::move(s.picture));
    return pictures;
}

// Every combination of the writer's options gives a file that giflib, Pillow, ImageMagick, ffmpeg
// and our reader all show as the frames given, composed.
TEST(FrameOptimizer, EveryOptionCombinationReadsBackAlikeInEveryReader)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("kaptiv-readers-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::filesystem::path path = dir / "file.gif";
    const std::string quoted = "'" + path.string() + "'";
    // Every combination on a small recording; the optimised file of a large screen too, whose first
    // frame is coded on from a full string table.
    struct Run {
        Animation animation;
        std::vector<int> options;
    };
    std::vector<Run> runs = {{ScreenRecording(), {}}, {TextRecording(), {1, 5}}};
    for (int options = 0; options < 16; ++options)
        runs[0].options.push_back(options);
    for (Run &run : runs) {
        Animation &a = run.animation;
        const int w = a.width, h = a.height;
        // What the frames show: each drawn whole over the last, its transparent colour showing through.
        std::vector<Canvas> expected;
        for (const TestBitmap &b : a.bitmaps) {
            Canvas picture = expected.empty() ? Canvas(static_cast<std::size_t>(w * h), Nothing) : expected.back();
            for (std::size_t i = 0; i < picture.size(); ++i) {
                const std::uint32_t rgb = std::uint32_t{b.bgrx[4 * i + 2]} << 16 | std::uint32_t{b.bgrx[4 * i + 1]} << 8 |
                                          b.bgrx[4 * i];
                if (rgb != 0xFFFFFF || !a.frames[0].Transparent)
                    picture[i] = rgb;
            }
            if (expected.empty() || expected.back() != picture)
                expected.push_back(std::move(picture));
        }
        for (const int options : run.options) {
            const bool optimize = options & 1, interlaced = options & 2, transparent = options & 4, local = options & 8;
            const std::string what = std::string(optimize ? "optimized" : "whole") + (interlaced ? ", interlaced" : "") +
                                     (transparent ? ", white transparent" : "") + (local ? ", local tables" : "");
            for (GifFrameInput &f : a.frames) {
                f.Interlaced = interlaced;
                f.Transparent = transparent;
                f.TransparentColor = 0xFFFFFF;
            }
            std::vector<Canvas> wanted = expected;
            if (transparent) {  // white is never drawn: what was there shows
                wanted.clear();
                for (const TestBitmap &b : a.bitmaps) {
                    Canvas picture = wanted.empty() ? Canvas(static_cast<std::size_t>(w * h), Nothing) : wanted.back();
                    for (std::size_t i = 0; i < picture.size(); ++i) {
                        const std::uint32_t rgb = std::uint32_t{b.bgrx[4 * i + 2]} << 16 |
                                                  std::uint32_t{b.bgrx[4 * i + 1]} << 8 | b.bgrx[4 * i];
                        if (rgb != 0xFFFFFF)
                            picture[i] = rgb;
                    }
                    if (wanted.empty() || wanted.back() != picture)
                        wanted.push_back(std::move(picture));
                }
            }
            const Bytes file = a.Write(optimize, !local);
            std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(file.data()),
                                                       static_cast<std::streamsize>(file.size()));
            const auto giflib = oracle::Read(file);
            ASSERT_TRUE(giflib) << what;
            std::vector<Canvas> byGiflib;
            for (Shown &s : Pictures(*giflib, w, h))
                byGiflib.push_back(std::move(s.picture));
            const std::vector<std::pair<std::string, std::vector<Canvas>>> readers = {
                {"giflib", byGiflib},
                {"ours", OurPictures(file)},
                {"Pillow", PicturesFrom("/usr/bin/python3 -c \"import sys; from PIL import Image, ImageSequence; "
                                        "[sys.stdout.buffer.write(f.convert('RGBA').tobytes()) "
                                        "for f in ImageSequence.Iterator(Image.open(sys.argv[1]))]\" " + quoted,
                                        w, h)},
                {"ImageMagick", PicturesFrom("convert " + quoted + " -coalesce rgba:-", w, h)},
                {"ffmpeg", PicturesFrom("ffmpeg -v error -i " + quoted + " -f rawvideo -pix_fmt rgba -fps_mode passthrough -",
                                        w, h)},
            };
            for (const auto &[reader, pictures] : readers) {
                EXPECT_EQ(pictures.size(), wanted.size()) << what << ", " << reader;
                for (std::size_t i = 0; i < std::min(pictures.size(), wanted.size()); ++i)
                    EXPECT_TRUE(pictures[i] == wanted[i]) << what << ", " << reader << ": picture " << i + 1;
            }
        }
    }
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace kaptiv::gif::test
