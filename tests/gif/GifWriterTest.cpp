#include "GifBuilder.h"
#include "TestPixels.h"

#include "gif/core/GifReader.h"
#include "gif/core/GifWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <string>

namespace kaptiv::gif::test {
namespace {

constexpr std::uint32_t Red = 0xFF0000, Blue = 0x0000FF, White = 0xFFFFFF;

Bytes Write(GifSaveInfo &info)
{
    Bytes out;
    EXPECT_TRUE(WriteGIFStream(info, out));
    return out;
}

Bytes WriteOne(const GifFrameInput &frame)
{
    GifSaveInfo info;
    info.Frames.push_back(frame);
    return Write(info);
}

Bytes Slice(const Bytes &b, std::size_t from, std::size_t count)
{
    return Bytes(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(from + count));
}

Bytes CreditBlock()
{
    Bytes b;
    WriteComment(CreditText, b);
    b.push_back(0x3B);
    return b;
}

std::vector<std::uint32_t> DistinctColors(int count, std::uint32_t base)
{
    std::vector<std::uint32_t> colors(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        colors[static_cast<std::size_t>(i)] = (base + static_cast<std::uint32_t>(i) * 0x010203) & 0xFFFFFF;
    return colors;
}

TEST(GifWriter, WritesTheWholeFileOfASmallImage)
{
    const TestBitmap bitmap(4, 1, {Red, Red, Blue, Red});
    Bytes expected = {'G', 'I', 'F', '8', '9', 'a', 4, 0, 1, 0, 0x80, 0, 0,
                      0xFF, 0, 0, 0, 0, 0xFF,
                      0x21, 0xF9, 0x04, 0x00, 0, 0, 0, 0x00,
                      0x2C, 0, 0, 0, 0, 4, 0, 1, 0, 0x00,
                      0x02, 0x03, 0x04, 0x02, 0x05, 0x00};
    const Bytes credit = CreditBlock();
    expected.insert(expected.end(), credit.begin(), credit.end());
    EXPECT_EQ(WriteOne(bitmap.Frame()), expected);
}

TEST(GifWriter, CreditCommentHasFourShortLines)
{
    const std::string text(CreditText);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
    EXPECT_EQ(text.find("\r\n\r\n"), std::string::npos);
    EXPECT_LT(text.size(), 255u);
}

TEST(GifWriter, ColorTableSizeFollowsTheColorsUsed)
{
    struct Case {
        int colors;
        std::uint8_t packed;
        int minCodeSize;
    } cases[] = {{1, 0x80, 2}, {2, 0x80, 2}, {3, 0x81, 2}, {5, 0x82, 3}, {16, 0x83, 4},
                 {17, 0x84, 5}, {129, 0x87, 8}, {256, 0x87, 8}};
    for (const Case &c : cases) {
        const auto colors = DistinctColors(c.colors, 0x102030);
        const TestBitmap bitmap(c.colors, 1, colors);
        const Bytes file = WriteOne(bitmap.Frame());
        EXPECT_EQ(file[10], c.packed) << c.colors;
        const std::size_t entries = std::size_t{1} << ((c.packed & 7) + 1);
        const Bytes table = Slice(file, 13, 3 * entries);
        for (std::size_t i = 0; i < entries; ++i) {
            const std::uint32_t expected = i < colors.size() ? colors[i] : 0;
            EXPECT_EQ(table[3 * i], static_cast<std::uint8_t>(expected >> 16));
            EXPECT_EQ(table[3 * i + 1], static_cast<std::uint8_t>(expected >> 8));
            EXPECT_EQ(table[3 * i + 2], static_cast<std::uint8_t>(expected));
        }
        const std::size_t imageData = 13 + 3 * entries + 8 + 10;
        EXPECT_EQ(file[imageData], c.minCodeSize) << c.colors;
        EXPECT_EQ(Slice(file, 13 + 3 * entries, 2), (Bytes{0x21, 0xF9})) << "single images carry no looping block";
    }
}

TEST(GifWriter, RefusesAFrameOfMoreThan256Colors)
{
    const TestBitmap bitmap(257, 1, DistinctColors(257, 0));
    for (bool global : {false, true}) {
        GifSaveInfo info;
        info.GlobalColors = global;
        info.Frames = {bitmap.Frame()};
        Bytes out;
        EXPECT_FALSE(WriteGIFStream(info, out));
        const TestBitmap red(1, 1, {Red});
        info.Frames = {red.Frame(), bitmap.Frame()};
        info.GlobalColors = false;
        EXPECT_FALSE(WriteGIFStream(info, out)) << "a frame with its own table";
    }
}

TEST(GifWriter, RefusesWhatCannotBeWritten)
{
    const TestBitmap small(1, 1, {Red});
    GifFrameInput noPixels = small.Frame();
    noPixels.Pixels.Data = nullptr;
    GifFrameInput shortRows = small.Frame();
    shortRows.Pixels.Stride = 2;
    GifFrameInput tooWide = small.Frame();
    tooWide.Pixels.Width = 65536;
    for (const auto &frames : {std::vector<GifFrameInput>{}, {noPixels}, {small.Frame(), shortRows}, {tooWide}}) {
        GifSaveInfo info;
        info.Frames = frames;
        info.GlobalColors = true;
        Bytes out;
        EXPECT_FALSE(WriteGIFStream(info, out));
    }
}

TEST(GifWriter, SharedTableFallsBackToLocalTables)
{
    const TestBitmap first(200, 1, DistinctColors(200, 0x000000));
    const TestBitmap second(200, 1, DistinctColors(200, 0x800000));
    GifSaveInfo info;
    info.GlobalColors = true;
    info.Frames = {first.Frame(), second.Frame()};
    const Bytes file = Write(info);
    EXPECT_FALSE(info.GlobalColors);
    EXPECT_EQ(file[10], 0x00) << "no global table";
    EXPECT_EQ(Slice(file, 13, 3), (Bytes{0x21, 0xFF, 0x0B}));

    GifImage image;
    ASSERT_TRUE(ParseGIF(file, image));
    ASSERT_EQ(image.FrameCount(), 2);
    for (int f = 0; f < 2; ++f) {
        const GifFrame &frame = image.Frames[static_cast<std::size_t>(f)];
        EXPECT_TRUE(frame.HasLocalColors);
        EXPECT_EQ(frame.LocalBits, 8);
        const auto colors = DistinctColors(200, f == 0 ? 0 : 0x800000);
        for (int x = 0; x < 200; ++x) {
            const int i = frame.IndexAt(x, 0);
            EXPECT_EQ(i, x) << "local tables are in order of first occurrence";
            EXPECT_EQ(frame.Colors[static_cast<std::size_t>(3 * i)], static_cast<std::uint8_t>(colors[static_cast<std::size_t>(x)] >> 16));
        }
    }
}

TEST(GifWriter, SharedTableServesAllFramesWhenTheyFit)
{
    const TestBitmap first(2, 1, {Red, Blue});
    const TestBitmap second(2, 1, {White, Red});
    GifSaveInfo info;
    info.GlobalColors = true;
    info.Loop = 0x1234;
    info.Frames = {first.Frame(), second.Frame()};
    const Bytes file = Write(info);
    EXPECT_TRUE(info.GlobalColors);
    EXPECT_EQ(file[10], 0x81);
    EXPECT_EQ(Slice(file, 13, 12), (Bytes{0xFF, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0}));
    const Bytes loop = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0x34, 0x12, 0};
    EXPECT_EQ(Slice(file, 25, 19), loop);
    GifImage image;
    ASSERT_TRUE(ParseGIF(file, image));
    EXPECT_EQ(image.LoopCount, 0x1234);
    EXPECT_FALSE(image.Frames.at(1).HasLocalColors);
    EXPECT_EQ(image.Frames.at(1).IndexAt(0, 0), 2);
    EXPECT_EQ(image.Frames.at(1).IndexAt(1, 0), 0);
}

TEST(GifWriter, LocalTablesWhenAsked)
{
    const TestBitmap first(2, 1, {Red, Blue});
    const TestBitmap second(2, 1, {Blue, White});
    GifSaveInfo info;
    info.Frames = {first.Frame(), second.Frame()};
    GifImage image;
    ASSERT_TRUE(ParseGIF(Write(info), image));
    ASSERT_EQ(image.FrameCount(), 2);
    EXPECT_EQ(image.Frames[1].IndexAt(0, 0), 0) << "each local table starts empty";
    EXPECT_EQ(image.Frames[1].Colors[0], 0x00);
    EXPECT_EQ(image.Frames[1].Colors[2], 0xFF);
}

TEST(GifWriter, InterlacedRowsAreStoredInPassOrder)
{
    const std::vector<int> passOrder = {0, 8, 4, 2, 6, 1, 3, 5, 7};
    for (int height = 1; height <= 9; ++height) {
        std::vector<std::uint32_t> rows(static_cast<std::size_t>(height));
        std::iota(rows.begin(), rows.end(), 0x100);  // one colour per row
        const TestBitmap bitmap(1, height, rows);
        GifFrameInput frame = bitmap.Frame();
        frame.Interlaced = true;
        const Bytes file = WriteOne(frame);
        // Colours enter the table in the order rows are stored.
        std::vector<std::uint32_t> stored;
        for (int y : passOrder)
            if (y < height)
                stored.push_back(0x100 + static_cast<std::uint32_t>(y));
        for (std::size_t i = 0; i < stored.size(); ++i)
            EXPECT_EQ(file[13 + 3 * i + 2], static_cast<std::uint8_t>(stored[i])) << "height " << height;
        GifImage image;
        ASSERT_TRUE(ParseGIF(file, image));
        EXPECT_TRUE(image.Frames.at(0).Interlaced);
        for (int y = 0; y < height; ++y) {
            const int index = image.Frames[0].IndexAt(0, y);
            EXPECT_EQ(image.GlobalTable[static_cast<std::size_t>(3 * index + 2)], y) << "height " << height;
        }
    }
}

TEST(GifWriter, GraphicControlCarriesTimingDisposalAndTransparency)
{
    struct Case {
        int delay, disposal;
        bool transparent;
        std::int32_t transparentColor;
        std::vector<std::uint32_t> pixels;
        Bytes control;  // packed, delay low, delay high, transparent index
    } cases[] = {
        {1500, 0, false, -1, {Red}, {0x00, 150, 0, 0}},
        {5, 0, false, -1, {Red}, {0x00, 0, 0, 0}},
        {655350, 1, false, -1, {Red}, {0x04, 0xFF, 0xFF, 0}},
        {700000, 1, false, -1, {Red}, {0x04, 0xFF, 0xFF, 0}},
        {-30, 0, false, -1, {Red}, {0x00, 0, 0, 0}},
        {0, 2, true, 0x0000FF, {Blue, Red, Red}, {0x09, 0, 0, 1}},
        {0, 3, false, 0x0000FF, {Red}, {0x0C, 0, 0, 0}},
        {0, 7, false, 0, {Red}, {0x00, 0, 0, 0}},
        {0, -1, false, 0, {Red}, {0x00, 0, 0, 0}},
        {0, 0, true, 0x00FF00, {Red, Blue}, {0x00, 0, 0, 0}},
        {0, 0, true, -1, {Red, White}, {0x01, 0, 0, 1}},
        {0, 0, true, 0x00FFFFFF, {White}, {0x01, 0, 0, 0}},
        {0, 0, true, 0x7F0000FF, {Blue, Red}, {0x01, 0, 0, 1}},
    };
    for (const Case &c : cases) {
        const TestBitmap bitmap(static_cast<int>(c.pixels.size()), 1, c.pixels);
        GifFrameInput frame = bitmap.Frame();
        frame.Delay = c.delay;
        frame.Disposal = c.disposal;
        frame.Transparent = c.transparent;
        frame.TransparentColor = c.transparentColor;
        const Bytes file = WriteOne(frame);
        const std::size_t table = std::size_t{3} << ((file[10] & 7) + 1);
        const Bytes control = Slice(file, 13 + table, 8);
        EXPECT_EQ(control, (Bytes{0x21, 0xF9, 0x04, c.control[0], c.control[1], c.control[2], c.control[3], 0}))
            << "delay " << c.delay << " disposal " << c.disposal;
    }
}

TEST(GifWriter, TransparentColorKeepsEveryIndexIncludingTheLast)
{
    const auto colors = DistinctColors(256, 0x010101);
    const TestBitmap bitmap(256, 1, colors);
    const auto colorValue = [](std::uint32_t rgb) {
        return static_cast<std::int32_t>((rgb & 0xFF) << 16 | (rgb & 0xFF00) | rgb >> 16);
    };
    struct Case {
        bool transparent;
        std::int32_t color;
        Bytes control;  // packed byte .. transparent index
    } cases[] = {
        {true, colorValue(colors[255]), {0x01, 0, 0, 255}},
        {true, colorValue(colors[254]), {0x01, 0, 0, 254}},
        {true, colorValue(0xABCDEF), {0x00, 0, 0, 0}},      // not in the frame
        {false, colorValue(colors[255]), {0x00, 0, 0, 0}},
    };
    for (const Case &c : cases) {
        GifFrameInput frame = bitmap.Frame();
        frame.Transparent = c.transparent;
        frame.TransparentColor = c.color;
        EXPECT_EQ(Slice(WriteOne(frame), 13 + 768 + 3, 4), c.control) << c.color;
    }

    // In a shared table the colour may be there from an earlier frame: a frame without a pixel
    // of it is not transparent.
    const TestBitmap first(2, 1, {0xFF0000, 0x00FF00}), second(2, 1, {0x0000FF, 0xFF0000});
    GifSaveInfo info;
    info.GlobalColors = true;
    info.Frames = {first.Frame(), second.Frame()};
    for (GifFrameInput &f : info.Frames) {
        f.Transparent = true;
        f.TransparentColor = colorValue(0x00FF00);
    }
    Bytes file;
    ASSERT_TRUE(WriteGIFStream(info, file));
    std::vector<Bytes> controls;
    for (std::size_t i = 0; i + 8 <= file.size(); ++i)
        if (file[i] == 0x21 && file[i + 1] == 0xF9 && file[i + 2] == 0x04)
            controls.push_back(Slice(file, i + 3, 4));
    EXPECT_EQ(controls, (std::vector<Bytes>{{0x01, 0, 0, 1}, {0x00, 0, 0, 0}}));
}

TEST(GifWriter, CommentsGoBeforeTheirFrameInSubBlocks)
{
    struct Case {
        std::string comment;
        Bytes blockLengths;
    } cases[] = {{"", {}}, {"a", {1}}, {std::string(255, 'b'), {255}}, {std::string(300, 'c'), {255, 45}},
                 {std::string(510, 'd'), {255, 255}}};
    for (const Case &c : cases) {
        const TestBitmap bitmap(1, 1, {Red});
        GifFrameInput frame = bitmap.Frame();
        frame.Comment = c.comment;
        const Bytes file = WriteOne(frame);
        std::size_t pos = 13 + 6;
        if (c.comment.empty()) {
            EXPECT_EQ(file[pos + 1], 0xF9);
            continue;
        }
        EXPECT_EQ(Slice(file, pos, 2), (Bytes{0x21, 0xFE}));
        pos += 2;
        for (std::uint8_t length : c.blockLengths) {
            EXPECT_EQ(file[pos], length);
            pos += 1 + length;
        }
        EXPECT_EQ(file[pos], 0x00);
        EXPECT_EQ(Slice(file, pos + 1, 2), (Bytes{0x21, 0xF9}));
        GifImage image;
        ASSERT_TRUE(ParseGIF(file, image));
        EXPECT_EQ(image.Frames.at(0).Comment, c.comment);
    }
}

TEST(GifWriter, EveryFileEndsWithTheCreditCommentAndTrailer)
{
    const TestBitmap a(1, 1, {Red}), b(1, 1, {Blue});
    GifSaveInfo info;
    info.Frames = {a.Frame(), b.Frame()};
    const Bytes file = Write(info);
    const Bytes credit = CreditBlock();
    EXPECT_TRUE(std::equal(credit.rbegin(), credit.rend(), file.rbegin()));
}

TEST(GifWriter, ScreenSizeHoldsEveryFrame)
{
    const TestBitmap big(30, 40, std::vector<std::uint32_t>(1200, Red));
    const TestBitmap small(20, 20, std::vector<std::uint32_t>(400, Blue));
    GifFrameInput placed = big.Frame();
    placed.Left = 10;
    placed.Top = 20;
    GifSaveInfo info;
    info.Frames = {placed, small.Frame()};
    EXPECT_EQ(Slice(Write(info), 6, 4), (Bytes{40, 0, 60, 0}));

    GifFrameInput outside = small.Frame();
    outside.Left = -5;
    outside.Top = 70000;
    info.Frames = {placed, outside};
    const Bytes file = Write(info);
    EXPECT_EQ(Slice(file, 6, 4), (Bytes{40, 0, 0xFF, 0xFF}));
    GifImage image;
    ASSERT_TRUE(ParseGIF(file, image));
    EXPECT_EQ(image.Frames.at(1).Left, 0) << "positions outside the 16-bit field are clamped";
    EXPECT_EQ(image.Frames.at(1).Top, 65535);
}

TEST(GifWriter, EmptyBitmapWritesAnEmptyImage)
{
    const TestBitmap empty(0, 0, {});
    const Bytes file = WriteOne(empty.Frame());
    GifImage image;
    ASSERT_TRUE(ParseGIF(file, image));
    ASSERT_EQ(image.FrameCount(), 1);
    EXPECT_EQ(image.Frames[0].Width, 0);
}

} // namespace
} // namespace kaptiv::gif::test
