#include "GifBuilder.h"

#include "gif/core/GifReader.h"
#include "gif/core/LzwEncoder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace kaptiv::gif::test {
namespace {

const std::vector<std::uint32_t> FourColors = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};

GifImage Parse(const Bytes &file)
{
    GifImage image;
    EXPECT_TRUE(ParseGIF(file, image));
    return image;
}

std::vector<std::uint8_t> Pixels(const GifFrame &frame)
{
    std::vector<std::uint8_t> pixels;
    for (int y = 0; y < frame.Height; ++y)
        for (int x = 0; x < frame.Width; ++x)
            pixels.push_back(frame.IndexAt(x, y));
    return pixels;
}

TEST(GifReader, AcceptsAnyVersionAfterTheSignature)
{
    for (const std::string version : {"87a", "89a", "xyz", "\x01\x02\x03"}) {
        const Bytes file = GifBuilder(2, 1, version).GlobalTable(FourColors).SimpleImage(2, 1, {1, 2}).Trailer().Data();
        const GifImage image = Parse(file);
        ASSERT_EQ(image.FrameCount(), 1) << version;
        EXPECT_EQ(Pixels(image.Frames[0]), (std::vector<std::uint8_t>{1, 2})) << version;
    }
}

TEST(GifReader, RefusesWhatIsNoGifAtAll)
{
    const Bytes valid = GifBuilder(2, 1).GlobalTable(FourColors).SimpleImage(2, 1, {1, 2}).Trailer().Data();
    Bytes lowerCase = valid;
    lowerCase[0] = 'g';
    const Bytes noSignature(valid.begin() + 3, valid.end());
    const Bytes shortDescriptor(valid.begin(), valid.begin() + 10);
    const Bytes shortGlobalTable(valid.begin(), valid.begin() + 13 + 5);
    for (const Bytes &file : {Bytes{}, lowerCase, noSignature, shortDescriptor, shortGlobalTable}) {
        GifImage image;
        image.Frames.resize(3);  // left over from an earlier load
        EXPECT_FALSE(ParseGIF(file, image));
        EXPECT_EQ(image.FrameCount(), 0);
    }
}

TEST(GifReader, FileWithoutImagesHasTheScreenSize)
{
    const GifImage image = Parse(GifBuilder(300, 200).Trailer().Data());
    EXPECT_EQ(image.FrameCount(), 0);
    EXPECT_EQ(image.ImageWidth, 300);
    EXPECT_EQ(image.ImageHeight, 200);
    EXPECT_EQ(image.ColorDepth, 0);
    EXPECT_EQ(image.LoopCount, 1);
    EXPECT_FALSE(image.IsAnimated);
}

TEST(GifReader, LoopCountComesFromTheLoopingBlockOnly)
{
    struct Case {
        void (*extensions)(GifBuilder &);
        int loop;
    } cases[] = {
        {[](GifBuilder &) {}, 1},
        {[](GifBuilder &b) { b.Loop(0); }, 0},
        {[](GifBuilder &b) { b.Loop(7); }, 7},
        {[](GifBuilder &b) { b.Loop(65535); }, 65535},
        {[](GifBuilder &b) { b.Loop(3).Loop(9); }, 9},
        {[](GifBuilder &b) { b.Application("ANIMEXTS1.0", {1, 5, 0}); }, 1},
        {[](GifBuilder &b) { b.Application("NETSCAPE2.1", {1, 5, 0}); }, 1},
    };
    for (const Case &c : cases) {
        GifBuilder file(1, 1);
        file.GlobalTable(FourColors);
        c.extensions(file);
        file.SimpleImage(1, 1, {3}).Trailer();
        const GifImage image = Parse(file.Data());
        EXPECT_EQ(image.LoopCount, c.loop);
        EXPECT_EQ(image.FrameCount(), 1) << "blocks after the application extension were lost";
    }
}

TEST(GifReader, GraphicControlBecomesFrameTiming)
{
    struct Case {
        int disposalInFile, delayInFile;
        bool transparent;
        int disposal, delayMs;
    } cases[] = {
        {0, 0, false, 0, 0}, {1, 7, false, 1, 70}, {2, 100, true, 2, 1000}, {3, 65535, true, 3, 655350},
        {4, 1, false, 2, 10}, {5, 1, false, 2, 10}, {6, 1, false, 2, 10}, {7, 1, false, 2, 10},
    };
    for (const Case &c : cases) {
        const GifImage image = Parse(GifBuilder(1, 1)
                                         .GlobalTable(FourColors)
                                         .Control(c.disposalInFile, c.delayInFile, c.transparent, 3)
                                         .SimpleImage(1, 1, {3})
                                         .Trailer()
                                         .Data());
        const GifFrame &f = image.Frames.at(0);
        EXPECT_EQ(f.Disposal, c.disposal) << c.disposalInFile;
        EXPECT_EQ(f.Delay, c.delayMs);
        EXPECT_EQ(f.Transparent, c.transparent);
        EXPECT_EQ(f.TransparentIndex, 3);
        EXPECT_EQ(image.IsTransparent, c.transparent);
    }
}

TEST(GifReader, ExtensionsApplyToTheNextImageOnly)
{
    const GifImage image = Parse(GifBuilder(1, 1)
                                     .GlobalTable(FourColors)
                                     .Control(1, 5).Comment("first").Control(3, 9).Comment("second")
                                     .PlainText()
                                     .Application("ANIMEXTS1.0", {1, 0, 0})
                                     .SimpleImage(1, 1, {0})
                                     .SimpleImage(1, 1, {0})
                                     .Control(2, 4).Comment("dropped")
                                     .Trailer()
                                     .Data());
    ASSERT_EQ(image.FrameCount(), 2);
    EXPECT_EQ(image.Frames[0].Disposal, 3);
    EXPECT_EQ(image.Frames[0].Delay, 90);
    EXPECT_EQ(image.Frames[0].Comment, "second");
    EXPECT_EQ(image.Frames[1].Disposal, 0);
    EXPECT_EQ(image.Frames[1].Delay, 0);
    EXPECT_EQ(image.Frames[1].Comment, "");
    EXPECT_TRUE(image.IsAnimated);
}

TEST(GifReader, CommentSubBlocksAreJoined)
{
    const std::string text(300, 'c');
    const GifImage image = Parse(GifBuilder(1, 1).Comment(text).SimpleImage(1, 1, {0}).Trailer().Data());
    EXPECT_EQ(image.Frames.at(0).Comment, text);
}

TEST(GifReader, InterlacedRowsArePutInPlace)
{
    struct Case {
        int height;
        std::vector<int> storedRows;    // picture row of each stored row
    } cases[] = {
        {1, {0}}, {2, {0, 1}}, {3, {0, 2, 1}}, {5, {0, 4, 2, 1, 3}}, {9, {0, 8, 4, 2, 6, 1, 3, 5, 7}},
        {17, {0, 8, 16, 4, 12, 2, 6, 10, 14, 1, 3, 5, 7, 9, 11, 13, 15}},
    };
    for (const Case &c : cases) {
        std::vector<std::uint8_t> stored;  // two pixels per row: stored position, picture row
        for (int n = 0; n < c.height; ++n)
            stored.insert(stored.end(), {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(c.storedRows[n])});
        const GifImage image =
            Parse(GifBuilder(2, c.height).SimpleImage(2, c.height, stored, true, 5).Trailer().Data());
        const GifFrame &f = image.Frames.at(0);
        EXPECT_TRUE(f.Interlaced);
        for (int n = 0; n < c.height; ++n) {
            EXPECT_EQ(f.IndexAt(0, c.storedRows[n]), n) << "height " << c.height;
            EXPECT_EQ(f.IndexAt(1, c.storedRows[n]), c.storedRows[n]) << "height " << c.height;
        }
    }
}

TEST(GifReader, CanvasGrowsToHoldEveryFrame)
{
    const GifImage image = Parse(GifBuilder(10, 10)
                                     .Image(8, 1, 5, 2, RootCodeImageData(2, std::vector<std::uint8_t>(10, 1)))
                                     .Image(0, 9, 2, 3, RootCodeImageData(2, std::vector<std::uint8_t>(6, 1)))
                                     .Trailer()
                                     .Data());
    EXPECT_EQ(image.ImageWidth, 13);
    EXPECT_EQ(image.ImageHeight, 12);
    EXPECT_EQ(image.Frames.at(0).Left, 8);
    EXPECT_EQ(image.Frames.at(1).Top, 9);
}

TEST(GifReader, ColorTablesOfFrames)
{
    std::vector<std::uint32_t> local(16);
    for (int i = 0; i < 16; ++i)
        local[static_cast<std::size_t>(i)] = 0x010101u * static_cast<std::uint32_t>(i);
    const GifImage image = Parse(GifBuilder(1, 1)
                                     .GlobalTable(FourColors)
                                     .SimpleImage(1, 1, {1})
                                     .Image(0, 0, 1, 1, RootCodeImageData(4, {9}), false, local)
                                     .SimpleImage(1, 1, {2})
                                     .Trailer()
                                     .Data());
    EXPECT_EQ(image.ColorDepth, 4);
    ASSERT_EQ(image.FrameCount(), 3);
    const GifFrame &global = image.Frames[0], &own = image.Frames[1], &after = image.Frames[2];
    EXPECT_FALSE(global.HasLocalColors);
    EXPECT_EQ(global.LocalBits, 0);
    EXPECT_EQ(global.PaletteBits, 2);
    EXPECT_EQ(global.Colors, image.GlobalTable);
    EXPECT_EQ(image.GlobalTable[3], 0x00);
    EXPECT_EQ(image.GlobalTable[4], 0xFF);
    EXPECT_TRUE(own.HasLocalColors);
    EXPECT_EQ(own.LocalBits, 4);
    EXPECT_EQ(own.PaletteBits, 4);
    EXPECT_EQ(own.Colors[27], 9);
    EXPECT_EQ(own.Colors[48], 0) << "entries past a local table stay zero";
    EXPECT_EQ(after.PaletteBits, 4) << "a frame on the global table gets the largest table met so far";
}

TEST(GifReader, ReadsAtMost256ImagesAndSaysWhenThereAreMore)
{
    GifBuilder builder(1, 1);
    for (int i = 0; i < 256; ++i)
        builder.Comment(std::to_string(i)).SimpleImage(1, 1, {static_cast<std::uint8_t>(i & 3)});
    EXPECT_FALSE(Parse(builder.Data()).FramesBeyondLimit);
    const GifImage image = Parse(builder.SimpleImage(1, 1, {0}).Trailer().Data());
    ASSERT_EQ(image.FrameCount(), 256);
    EXPECT_TRUE(image.FramesBeyondLimit);
    EXPECT_EQ(image.Frames[255].Comment, "255");
    EXPECT_EQ(image.Frames[255].IndexAt(0, 0), 3);
}

TEST(GifReader, UnknownBlockEndsReadingKeepingEarlierFrames)
{
    for (const Bytes &stop : {Bytes{0x99}, Bytes{0xFF, 0x00}}) {
        const GifImage image = Parse(GifBuilder(1, 1)
                                         .SimpleImage(1, 1, {1})
                                         .Raw(stop)
                                         .SimpleImage(1, 1, {2})
                                         .Trailer()
                                         .Data());
        ASSERT_EQ(image.FrameCount(), 1);
        EXPECT_EQ(image.Frames[0].IndexAt(0, 0), 1);
    }
}

// Blocks that other producers write and that are read by their sizes, not by a fixed layout.
TEST(GifReader, BlocksOfUnusualShapeAreReadByTheirSizes)
{
    const auto looping = [](const Bytes &subBlocks) {
        Bytes block = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
        for (std::uint8_t b : subBlocks)
            block.push_back(b);
        block.push_back(0x00);
        return block;
    };
    struct Case {
        const char *what;
        Bytes blocks;   // between the two frames
        int loop, delay;
        bool transparent;
        int transparentIndex;
    } cases[] = {
        {"buffering sub-block before the loop sub-block", looping({5, 2, 0, 16, 0, 0, 3, 1, 7, 0}), 7, 0, false, 0},
        {"buffering sub-block instead of the loop sub-block", looping({5, 2, 0, 16, 0, 0}), 1, 0, false, 0},
        {"loop sub-block of four bytes", looping({4, 1, 9, 0, 0xAA}), 9, 0, false, 0},
        {"extension label 0x02", {0x21, 0x02, 3, 1, 2, 3, 2, 4, 5, 0}, 1, 0, false, 0},
        {"extension label 0x99", {0x21, 0x99, 1, 0x2C, 0}, 1, 0, false, 0},
        {"graphic control of five bytes", {0x21, 0xF9, 5, 0x09, 50, 0, 2, 0xEE, 0}, 1, 500, true, 2},
        {"graphic control of three bytes", {0x21, 0xF9, 3, 0x09, 50, 0, 0}, 1, 500, true, 0},
        {"graphic control without fields", {0x21, 0xF9, 0, 0x21, 0xF9, 4, 1, 7, 0, 3, 0}, 1, 70, true, 3},
        {"stray zero byte", {0x00}, 1, 0, false, 0},
    };
    for (const Case &c : cases) {
        const GifImage image = Parse(GifBuilder(2, 1)
                                         .GlobalTable(FourColors)
                                         .SimpleImage(2, 1, {1, 2})
                                         .Raw(c.blocks)
                                         .SimpleImage(2, 1, {3, 0})
                                         .Trailer()
                                         .Data());
        EXPECT_EQ(image.LoopCount, c.loop) << c.what;
        if (image.FrameCount() != 2) {
            ADD_FAILURE() << c.what << ": " << image.FrameCount() << " frames";
            continue;
        }
        const GifFrame &second = image.Frames[1];
        EXPECT_EQ(Pixels(second), (std::vector<std::uint8_t>{3, 0})) << c.what;
        EXPECT_EQ(second.Delay, c.delay) << c.what;
        EXPECT_EQ(second.Transparent, c.transparent) << c.what;
        EXPECT_EQ(second.TransparentIndex, c.transparentIndex) << c.what;
    }
}

TEST(GifReader, FramesOneAtATime)
{
    const Bytes file = GifBuilder(3, 2)
                           .GlobalTable(FourColors)
                           .Comment("a").SimpleImage(3, 2, {1, 2, 3, 3, 2, 1})
                           .Comment("b").Image(4, 0, 2, 1, RootCodeImageData(2, {3, 3}))
                           .Trailer()
                           .Data();
    std::vector<std::pair<int, std::string>> seen;
    ParseOptions options;
    options.OnFrame = [&](GifFrame &frame, int number) {
        seen.emplace_back(number, frame.Comment + std::to_string(frame.IndexAt(frame.Width - 1, 0)));
        return true;
    };
    GifImage image;
    ASSERT_EQ(ReadGIF(file, image, options), ParseResult::Read);
    EXPECT_EQ(seen, (std::vector<std::pair<int, std::string>>{{1, "a3"}, {2, "b3"}}));
    EXPECT_EQ(image.FrameCount(), 0) << "handed-over frames are not kept";
    EXPECT_EQ(image.ImageWidth, 6);
    EXPECT_TRUE(image.IsAnimated);

    options.OnFrame = [](GifFrame &, int number) { return number < 1; };
    EXPECT_EQ(ReadGIF(file, image, options), ParseResult::Abandoned);

    ParseOptions factsOnly;
    factsOnly.DecodePixels = false;
    ASSERT_EQ(ReadGIF(file, image, factsOnly), ParseResult::Read);
    ASSERT_EQ(image.FrameCount(), 2);
    EXPECT_TRUE(image.Frames[0].Indices.empty());
    EXPECT_EQ(image.Frames[1].Left, 4);
    EXPECT_EQ(image.Frames[1].Comment, "b");
}

TEST(GifReader, TransparencyMaskMarksTheTransparentIndex)
{
    const int width = 35;  // two mask words per row
    std::vector<std::uint8_t> indices(static_cast<std::size_t>(width) * 2, 0);
    for (int x : {0, 7, 8, 31, 32, 34})
        indices[static_cast<std::size_t>(x)] = 2;
    indices[width + 33] = 2;
    const GifImage image =
        Parse(GifBuilder(width, 2).Control(0, 0, true, 2).SimpleImage(width, 2, indices).Trailer().Data());
    const GifFrame &f = image.Frames.at(0);
    ASSERT_EQ(f.MaskStride, 8u);
    EXPECT_EQ(f.IndexStride, 36u);
    const std::uint8_t *mask = f.Mask.data();
    EXPECT_EQ((std::vector<std::uint8_t>(mask, mask + 16)),
              (std::vector<std::uint8_t>{0x81, 0x80, 0x00, 0x01, 0xA0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0, 0, 0}));
    EXPECT_TRUE(image.IsTransparent);
}

// Masks are made eight pixels at a time: every transparent index (the byte values where a word
// compare could go wrong among them), widths around the eight-pixel groups, and neighbours of the
// transparent index on both sides of every pixel.
TEST(GifReader, TransparencyMaskMatchesTheIndicesForEveryWidthAndIndex)
{
    std::mt19937 random(5);
    int wrong = 0;
    // The tall images are marked in several pieces as their rows are decoded; in them the
    // transparent index first turns up after the first few hundred rows.
    for (const int height : {11, 700})
    for (const int transparent : {0x00, 0x01, 0x7F, 0x80, 0x81, 0xFE, 0xFF})
        for (const int width : {1, 7, 8, 9, 16, 31, 33, 64, 65})
            for (const bool interlaced : {false, true}) {
                const std::uint8_t near[] = {static_cast<std::uint8_t>(transparent),
                                             static_cast<std::uint8_t>(transparent - 1),
                                             static_cast<std::uint8_t>(transparent + 1), 0x00, 0x80, 0xFF};
                std::vector<std::uint8_t> indices(static_cast<std::size_t>(width) * height);
                const std::size_t opaqueBefore = height > 11 ? indices.size() * 3 / 7 : 0;
                for (std::size_t i = 0; i < indices.size(); ++i)
                    do
                        indices[i] = near[random() % std::size(near)];
                    while (i < opaqueBefore && indices[i] == transparent);
                Bytes data;
                CompressFrame(indices, 256, data);
                const GifImage image = Parse(GifBuilder(width, height)
                                                 .Control(0, 0, true, transparent)
                                                 .Image(0, 0, width, height, data, interlaced)
                                                 .Trailer()
                                                 .Data());
                const GifFrame &f = image.Frames.at(0);
                for (int y = 0; y < height; ++y)
                    for (int x = 0; x < width; ++x)
                        wrong += f.MaskAt(x, y) != (f.IndexAt(x, y) == transparent);
                EXPECT_EQ(wrong, 0) << "transparent " << transparent << ", " << width << " x " << height
                                    << (interlaced ? ", interlaced" : "");
            }
}

// After the first two megabytes, large frames are cut from shared blocks of zeroed memory, a new
// block begun when one is too full. Each frame keeps its own pixels and mask after the rest of the
// file is gone, and the frame the file cuts short reads 0 after the pixels its data reached.
TEST(GifReader, LargeFramesKeepTheirOwnPixelsAfterTheFileIsGone)
{
    struct Shape {
        int width, height;
        bool transparent;
    } const shapes[] = {{2100, 1000, false}, {600, 300, false}, {640, 480, true}, {2100, 2100, false}, {700, 400, true}};
    GifBuilder gif(2100, 2100);
    std::vector<std::vector<std::uint8_t>> sent;
    for (const Shape &shape : shapes) {
        std::vector<std::uint8_t> indices(static_cast<std::size_t>(shape.width) * shape.height);
        for (std::size_t i = 0; i < indices.size(); ++i)
            indices[i] = static_cast<std::uint8_t>(1 + (i * 7 + sent.size() * 13 + i / 97) % 250);  // never 0
        Bytes data;
        CompressFrame(indices, 256, data);
        gif.Control(0, 0, shape.transparent, 5).Image(0, 0, shape.width, shape.height, data);
        sent.push_back(std::move(indices));
    }
    // The last frame loses the end of its data.
    const Bytes file(gif.Data().begin(), gif.Data().end() - 40000);

    std::vector<GifFrame> kept;
    {
        GifImage image = Parse(file);
        ASSERT_EQ(image.FrameCount(), 5);
        for (GifFrame &frame : image.Frames)
            kept.push_back(std::move(frame));
    }
    for (std::size_t n = 0; n < kept.size(); ++n) {
        const GifFrame &f = kept[n];
        std::size_t reached = 0, wrong = 0;
        for (int y = 0; y < f.Height; ++y)
            for (int x = 0; x < f.Width; ++x) {
                const std::uint8_t want = sent[n][static_cast<std::size_t>(y) * f.Width + x];
                const std::uint8_t got = f.IndexAt(x, y);
                if (got == want && reached == static_cast<std::size_t>(y) * f.Width + x)
                    ++reached;
                else if (got != 0)
                    ++wrong;
                wrong += f.Transparent && f.MaskAt(x, y) != (got == 5);
            }
        EXPECT_EQ(wrong, 0u) << "frame " << n;
        if (n + 1 < kept.size())
            EXPECT_EQ(reached, sent[n].size()) << "frame " << n;
        else
            EXPECT_TRUE(reached > 0 && reached < sent[n].size()) << reached << " pixels of the cut frame";
    }
}

TEST(GifReader, FramesWithoutTransparencyHaveNoMask)
{
    const GifImage image = Parse(GifBuilder(2, 1).SimpleImage(2, 1, {0, 0}).Trailer().Data());
    EXPECT_TRUE(image.Frames.at(0).Mask.empty());
    EXPECT_FALSE(image.Frames.at(0).MaskAt(0, 0));
}

TEST(GifReader, ProgressIsReportedPerBlockAndEveryThirtyTwoRows)
{
    const int width = 400, height = 300;  // above 100000 pixels, wider than 320
    std::vector<std::uint8_t> indices(static_cast<std::size_t>(width) * height, 1);
    const Bytes file = GifBuilder(width, height).Comment("x").SimpleImage(width, height, indices, false, 2).Trailer().Data();
    std::vector<Progress> reports;
    ParseOptions options;
    options.OnProgress = [&](const Progress &p, bool &) { reports.push_back(p); };
    GifImage image;
    ASSERT_TRUE(ParseGIF(file, image, options));

    // Blocks: the comment, the image, the trailer; rows 0, 32, ..., 288 of the image; the end.
    ASSERT_EQ(reports.size(), 3u + 10u + 1u);
    const auto total = static_cast<std::int32_t>(file.size());
    EXPECT_EQ(reports[0].BytesProcessed, 13);
    EXPECT_EQ(reports[1].BytesProcessed, 13 + 5);
    for (std::size_t i = 2; i < 12; ++i) {
        EXPECT_GT(reports[i].BytesProcessed, reports[i - 1].BytesProcessed);
        EXPECT_LT(reports[i].BytesProcessed, total - 1);
    }
    EXPECT_EQ(reports[12].BytesProcessed, total - 1);
    EXPECT_EQ(reports[13].BytesProcessed, total);
    for (const Progress &p : reports) {
        EXPECT_EQ(p.BytesToProcess, total);
        EXPECT_EQ(p.PercentageProcessed, (100 * p.BytesProcessed + total / 2) / total);
    }
}

TEST(GifReader, NarrowImagesReportEverySixtyFourRowsAndInterlacedOnlyInTheFirstPass)
{
    struct Case {
        int width, height;
        bool interlaced;
        std::size_t rowReports;
    } cases[] = {
        {320, 400, false, 7},    // rows 0, 64, ..., 384
        {321, 400, false, 13},   // rows 0, 32, ..., 384
        {400, 300, true, 10},    // first-pass rows 0, 32, ..., 288
        {316, 316, false, 0},    // 99856 pixels: no row reports
    };
    for (const Case &c : cases) {
        std::vector<std::uint8_t> indices(static_cast<std::size_t>(c.width) * c.height, 1);
        const Bytes file = GifBuilder(c.width, c.height).SimpleImage(c.width, c.height, indices, c.interlaced).Trailer().Data();
        std::size_t reports = 0;
        ParseOptions options;
        options.OnProgress = [&](const Progress &, bool &) { ++reports; };
        GifImage image;
        ASSERT_TRUE(ParseGIF(file, image, options));
        EXPECT_EQ(reports, 2u + 1u + c.rowReports) << c.width << "x" << c.height;
    }
}

TEST(GifReader, HandlerCanAbandonTheLoadAnywhere)
{
    const int width = 400, height = 300;
    std::vector<std::uint8_t> indices(static_cast<std::size_t>(width) * height, 1);
    const Bytes file = GifBuilder(width, height).SimpleImage(2, 1, {1, 1}).SimpleImage(width, height, indices).Trailer().Data();
    for (int stopAt : {1, 2, 3, 6, 13, 14}) {
        int calls = 0;
        ParseOptions options;
        options.OnProgress = [&](const Progress &, bool &keep) { keep = ++calls != stopAt; };
        GifImage image;
        EXPECT_FALSE(ParseGIF(file, image, options)) << stopAt;
        EXPECT_EQ(calls, stopAt) << "reading went on after the handler said stop";
        EXPECT_EQ(image.FrameCount(), 0);
    }
}

} // namespace
} // namespace kaptiv::gif::test
