#include "GifBuilder.h"

#include "gif/core/LzwDecoder.h"
#include "gif/core/ZeroedBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace kaptiv::gif::test {
namespace {

struct Decoded {
    std::vector<std::uint8_t> pixels;   // row by row, without padding
    std::vector<bool> mask;
    std::size_t readPos = 0;
    std::vector<std::uint8_t> padding;  // every byte between a row's end and the next row
};

Decoded Decode(const Bytes &data, int width, int height, bool interlaced = false,
               std::optional<std::uint8_t> transparentIndex = std::nullopt)
{
    const std::size_t stride = (static_cast<std::size_t>(width) + 3) & ~std::size_t{3};
    const std::size_t maskStride = (static_cast<std::size_t>(width) + 31) / 32 * 4;
    ZeroedBuffer indices(stride * static_cast<std::size_t>(height));
    ZeroedBuffer mask(maskStride * static_cast<std::size_t>(height));
    RasterTarget target{width, height, interlaced, indices.data(), stride, nullptr, maskStride, 0, {}};
    if (transparentIndex) {
        target.Mask = mask.data();
        target.TransparentIndex = *transparentIndex;
    }
    Decoded d;
    EXPECT_EQ(DecodeRaster(data, d.readPos, target), RasterResult::Decoded);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            d.pixels.push_back(indices.data()[static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x)]);
            d.mask.push_back((mask.data()[static_cast<std::size_t>(y) * maskStride + static_cast<std::size_t>(x) / 8] &
                              (0x80 >> (x % 8))) != 0);
        }
        for (std::size_t x = static_cast<std::size_t>(width); x < stride; ++x)
            d.padding.push_back(indices.data()[static_cast<std::size_t>(y) * stride + x]);
    }
    return d;
}

Bytes Codes(int minCodeSize, std::initializer_list<std::pair<int, int>> codes, std::size_t blockSize = 255)
{
    CodePacker packer;
    for (const auto &[code, width] : codes)
        packer.Put(code, width);
    return packer.ImageData(minCodeSize, blockSize);
}

Bytes Concat(Bytes a, const Bytes &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

using Pixels = std::vector<std::uint8_t>;

TEST(LzwDecoder, DecodesTheSmallestTextbookStream)
{
    const Bytes data = {0x02, 0x03, 0x04, 0x02, 0x05, 0x00};
    const Decoded d = Decode(Concat(data, {0x3B}), 4, 1);
    EXPECT_EQ(d.pixels, (Pixels{0, 0, 1, 0}));
    EXPECT_EQ(d.readPos, data.size());
}

TEST(LzwDecoder, ToleratesDamagedCodeStreams)
{
    struct Case {
        const char *what;
        Bytes data;
        int width;
        Pixels pixels;
    } cases[] = {
        {"clear codes before the first index are skipped", Codes(2, {{4, 3}, {4, 3}, {4, 3}, {2, 3}, {5, 3}}), 2, {2, 0}},
        {"first index without a clear code", Codes(2, {{3, 3}, {1, 3}, {5, 3}}), 2, {3, 1}},
        {"code beyond the table repeats the previous string", Codes(2, {{4, 3}, {1, 3}, {7, 3}, {7, 3}, {5, 4}}), 6,
         {1, 1, 1, 0, 0, 1}},
        {"first code above the colours is taken as it stands", Codes(2, {{4, 3}, {6, 3}, {1, 3}, {5, 3}}), 3, {6, 1, 0}},
        {"end code as first code ends the image", Codes(2, {{4, 3}, {5, 3}, {2, 3}, {5, 3}}), 3, {0, 0, 0}},
        {"only a clear and the end code", Codes(8, {{256, 9}, {257, 9}}), 16, Pixels(16, 0)},
        {"end code right after a clear mid-stream", Codes(2, {{4, 3}, {1, 3}, {4, 3}, {5, 3}}), 3, {1, 0, 0}},
        {"two clears in a row are one reset", Codes(2, {{4, 3}, {0, 3}, {4, 3}, {4, 3}, {1, 3}, {2, 3}, {3, 3}, {5, 4}}),
         4, {0, 1, 2, 3}},
        {"two clears in a row after damaged data", Codes(2, {{4, 3}, {6, 3}, {4, 3}, {4, 3}, {1, 3}, {2, 3}, {5, 3}}),
         3, {6, 1, 2}},
        {"end code early leaves index 0", Codes(2, {{4, 3}, {3, 3}, {3, 3}, {5, 3}, {1, 3}, {1, 3}}), 5,
         {3, 3, 0, 0, 0}},
        {"data ending without end code leaves index 0", Codes(2, {{4, 3}, {2, 3}, {2, 3}}), 4, {2, 2, 0, 0}},
        {"a code cut off by the end of the data is not decoded", Codes(8, {{256, 9}, {9, 9}, {63, 6}}), 3, {9, 0, 0}},
        {"cyclic prefix chain stops the image", Codes(2, {{4, 3}, {1, 3}, {7, 3}, {6, 3}, {7, 4}, {2, 4}, {5, 4}}), 8,
         {1, 1, 1, 1, 1, 0, 0, 0}},
        {"no data at all", Bytes{2, 0}, 2, {0, 0}},
        {"minimum code size 12 is refused", Codes(12, {{4096, 13}, {1, 13}, {4097, 13}}), 2, {0, 0}},
        {"minimum code size 11", Codes(11, {{2048, 12}, {7, 12}, {300, 12}, {2049, 12}}), 3, {7, 44, 0}},
        {"minimum code size 0", Codes(0, {{1, 1}, {0, 1}, {0, 1}, {3, 2}, {2, 2}}), 5, {0, 0, 0, 0, 0}},
    };
    for (const Case &c : cases) {
        const Decoded d = Decode(Concat(c.data, {0x3B}), c.width, 1);
        EXPECT_EQ(d.pixels, c.pixels) << c.what;
        EXPECT_EQ(d.readPos, c.data.size()) << c.what << ": read position must be after the terminator";
    }
}

TEST(LzwDecoder, SurplusCodesAndSubBlocksAreConsumed)
{
    const Bytes data = Concat(Codes(2, {{4, 3}, {1, 3}, {2, 3}, {3, 3}, {1, 3}, {5, 4}}), {});
    Bytes withExtraBlocks = data;
    withExtraBlocks.pop_back();  // the terminator, moved behind two more sub-blocks
    withExtraBlocks.insert(withExtraBlocks.end(), {2, 0xAA, 0xBB, 1, 0xCC, 0});
    for (const Bytes &d : {data, withExtraBlocks}) {
        const Decoded out = Decode(Concat(d, {0x3B}), 2, 1);
        EXPECT_EQ(out.pixels, (Pixels{1, 2}));
        EXPECT_EQ(out.readPos, d.size());
    }
}

TEST(LzwDecoder, FullTableWithoutClearGoesOnWithTwelveBitCodes)
{
    Pixels indices(6000);
    for (std::size_t i = 0; i < indices.size(); ++i)
        indices[i] = static_cast<std::uint8_t>((i * 7 + i / 13) & 3);
    const Decoded d = Decode(RootCodeImageData(2, indices), 100, 60);
    EXPECT_EQ(d.pixels, indices);
}

TEST(LzwDecoder, ReadsCodesAcrossOneByteSubBlocks)
{
    Pixels indices(700);
    for (std::size_t i = 0; i < indices.size(); ++i)
        indices[i] = static_cast<std::uint8_t>(i % 251);
    const Bytes data = RootCodeImageData(8, indices, true, 1);
    const Decoded d = Decode(data, 7, 100);
    EXPECT_EQ(d.pixels, indices);
    EXPECT_EQ(d.readPos, data.size());
}

TEST(LzwDecoder, CompressedRunsDecodeToTheRun)
{
    // A run of one colour as an LZW encoder sends it: every code one longer than the last.
    CodePacker packer;
    packer.Put(4, 3);
    int next = 6, width = 3, total = 0;
    packer.Put(1, 3);
    total = 1;
    while (total + (next - 4) <= 3000) {
        packer.Put(next, width);  // the string being defined: previous plus its first index
        total += next - 4;
        if (++next == (1 << width) && width < 12)
            ++width;
    }
    packer.Put(5, width);
    const Decoded d = Decode(packer.ImageData(2), 3000, 1);
    EXPECT_EQ(std::count(d.pixels.begin(), d.pixels.end(), 1), total);
    EXPECT_TRUE(std::all_of(d.pixels.begin() + total, d.pixels.end(), [](auto p) { return p == 0; }));
}

TEST(LzwDecoder, MaskMarksPlacedPixelsOfTheTransparentIndexOnly)
{
    struct Case {
        const char *what;
        Bytes data;
        std::uint8_t transparent;
        std::vector<bool> mask;
    } cases[] = {
        {"index 0 transparent, pixels the data never reaches stay opaque", Codes(2, {{4, 3}, {0, 3}, {1, 3}, {0, 3}, {5, 3}}), 0,
         {true, false, true, false, false}},
        {"a wide code whose low byte matches is not the transparent index",
         Codes(9, {{512, 10}, {44, 10}, {300, 10}, {44, 10}, {513, 10}}), 44, {true, false, true, false, false}},
    };
    for (const Case &c : cases) {
        const Decoded d = Decode(c.data, 5, 1, false, c.transparent);
        EXPECT_EQ(d.mask, c.mask) << c.what;
    }
}

TEST(LzwDecoder, DataCutShortEndsAtTheEndOfTheFile)
{
    const Bytes whole = RootCodeImageData(2, Pixels(40, 3));
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        const Bytes data(whole.begin(), whole.begin() + static_cast<long>(cut));
        const Decoded d = Decode(data, 8, 5);
        EXPECT_EQ(d.readPos, data.size());
        const auto placed = std::find(d.pixels.begin(), d.pixels.end(), 0) - d.pixels.begin();
        EXPECT_TRUE(std::all_of(d.pixels.begin() + placed, d.pixels.end(), [](auto p) { return p == 0; }));
    }
}

} // namespace
} // namespace kaptiv::gif::test
