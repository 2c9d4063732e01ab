#include "GifBuilder.h"
#include "Sha256.h"
#include "TestPixels.h"

#include "gif/core/LzwDecoder.h"
#include "gif/core/LzwEncoder.h"
#include "gif/core/RowOrder.h"
#include "gif/core/ZeroedBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <numeric>
#include <random>
#include <utility>

namespace kaptiv::gif::test {
namespace {

struct Code {
    int value, width;
    bool operator==(const Code &) const = default;
};

// The codes of one image's data, with the widths a decoder reads them at; `fromFull` counts the
// codes read while the string table was full (a decoder adds nothing for them).
std::vector<Code> CodesOf(const Bytes &data, std::size_t *fromFull = nullptr)
{
    Bytes packed;
    std::size_t pos = 1;
    while (data[pos] != 0) {
        packed.insert(packed.end(), data.begin() + static_cast<long>(pos + 1),
                      data.begin() + static_cast<long>(pos + 1 + data[pos]));
        pos += 1 + data[pos];
    }
    const int clear = 1 << data[0];
    int width = data[0] + 1, next = clear + 2;
    bool first = true;
    std::vector<Code> codes;
    for (std::size_t bit = 0; bit + static_cast<std::size_t>(width) <= 8 * packed.size();) {
        int value = 0;
        for (int k = 0; k < width; ++k, ++bit)
            value |= ((packed[bit / 8] >> (bit % 8)) & 1) << k;
        codes.push_back({value, width});
        if (value == clear + 1)
            break;
        if (value == clear) {
            width = data[0] + 1;
            next = clear + 2;
            first = true;
        } else if (first) {
            first = false;
        } else if (next == 4096 && fromFull) {
            ++*fromFull;
        } else if (next < 4096 && ++next == (1 << width) && width < 12) {
            ++width;
        }
    }
    return codes;
}

Bytes Compress(const std::vector<std::uint8_t> &indices, int colors)
{
    Bytes out;
    CompressFrame(indices, colors, out);
    return out;
}

TEST(LzwEncoder, WritesExactCodeStreams)
{
    struct Case {
        std::vector<std::uint8_t> indices;
        int colors;
        Bytes data;
    } cases[] = {
        {{0, 0, 1, 0}, 2, {0x02, 0x03, 0x04, 0x02, 0x05, 0x00}},
        {{0, 0, 0, 0, 0}, 2, {0x02, 0x02, 0x84, 0x5D, 0x00}},
        {{0}, 1, {0x02, 0x02, 0x44, 0x01, 0x00}},
        {{3, 3, 3}, 256, {0x08, 0x05, 0x00, 0x07, 0x08, 0x0C, 0x08, 0x00}},
        {{}, 2, {0x02, 0x01, 0x2C, 0x00}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Compress(c.indices, c.colors), c.data);
}

TEST(LzwEncoder, FullTableIsClearedAtTwelveBits)
{
    std::mt19937 random(7);
    std::vector<std::uint8_t> indices(20000);
    for (auto &i : indices)
        i = static_cast<std::uint8_t>(random() % 4);
    const auto codes = CodesOf(Compress(indices, 4));
    ASSERT_EQ(codes.front(), (Code{4, 3}));
    std::size_t clears = 0;
    for (std::size_t i = 1; i + 1 < codes.size(); ++i) {
        if (codes[i].value != 4)
            continue;
        ++clears;
        EXPECT_EQ(codes[i - 1].width, 12);
        EXPECT_EQ(codes[i].width, 12);
        EXPECT_EQ(codes[i + 1].width, 3) << "the code after a clear is at the initial width";
    }
    EXPECT_GE(clears, 1u);
    EXPECT_EQ(codes.back().value, 5);
}

TEST(LzwEncoder, OutputDecodesToTheInput)
{
    std::mt19937 random(11);
    struct Case {
        const char *what;
        int width, height, colors;
        bool interlaced;
        std::vector<std::uint8_t> indices;
    };
    std::vector<Case> cases;
    const auto add = [&](const char *what, int w, int h, int colors, bool interlaced, auto pixel) {
        std::vector<std::uint8_t> indices(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
        for (std::size_t i = 0; i < indices.size(); ++i)
            indices[i] = static_cast<std::uint8_t>(pixel(i) % static_cast<unsigned>(colors));
        cases.push_back({what, w, h, colors, interlaced, std::move(indices)});
    };
    add("noise", 257, 131, 256, false, [&](std::size_t) { return random(); });
    add("noise, interlaced", 99, 77, 16, true, [&](std::size_t) { return random(); });
    add("one colour", 1921, 17, 2, false, [](std::size_t) { return 1u; });
    add("long runs across odd rows", 333, 101, 7, false, [](std::size_t i) { return static_cast<unsigned>(i / 1000); });
    add("long runs, interlaced", 333, 101, 7, true, [](std::size_t i) { return static_cast<unsigned>(i / 700); });
    add("repeating pattern", 1023, 64, 5, false, [](std::size_t i) { return static_cast<unsigned>((i * i) % 13); });
    add("one column", 1, 5000, 3, true, [](std::size_t i) { return static_cast<unsigned>(i % 3); });
    add("zeros run into the (0, 0) pair", 64, 64, 2, false, [](std::size_t i) { return i % 97 == 0 ? 1u : 0u; });
    for (const Case &c : cases) {
        // The indices go in stored order; the decoder puts interlaced rows back in place.
        const Bytes data = Compress(c.indices, c.colors);
        const std::size_t stride = (static_cast<std::size_t>(c.width) + 3) & ~std::size_t{3};
        ZeroedBuffer out(stride * static_cast<std::size_t>(c.height));
        RasterTarget target{c.width, c.height, c.interlaced, out.data(), stride, nullptr, 0, 0, {}};
        std::size_t pos = 0;
        DecodeRaster(data, pos, target);
        EXPECT_EQ(pos, data.size()) << c.what;
        const RowOrder rows(c.height, c.interlaced);
        bool same = true;
        for (int n = 0; n < c.height && same; ++n)
            same = std::equal(c.indices.begin() + static_cast<long>(n) * c.width,
                              c.indices.begin() + static_cast<long>(n + 1) * c.width,
                              out.data() + static_cast<std::size_t>(rows.RowAt(n)) * stride) &&
                   std::all_of(out.data() + rows.RowAt(n) * stride + c.width, out.data() + (rows.RowAt(n) + 1) * stride,
                               [](std::uint8_t p) { return p == 0; });
        EXPECT_TRUE(same) << c.what;
    }
}

// The slower coders keep coding from a full table while that pays: smaller than clearing at once
// on a screen of text, the stream decodes to the same indices, and a picture whose table never
// fills is coded exactly as by the plain coder. The one look-ahead of the recorder's coder, whose
// stretches are written from their check, gets most of the three ways' gain.
TEST(LzwEncoder, SmallerCodersCodeFromAFullTableWhileThatPays)
{
    struct Case {
        const char *what;
        int width, height;
        std::vector<std::uint8_t> indices;
        bool fills;
    };
    std::mt19937 random(9);
    std::vector<std::uint8_t> noise(300 * 200);
    for (std::uint8_t &i : noise)
        i = static_cast<std::uint8_t>(random() % 16);
    std::vector<Case> cases = {
        {"screen of text", 800, 600, TextScreen(800, 600), true},
        {"noise", 300, 200, noise, true},
        {"small screen", 64, 40, TextScreen(64, 40), false},
    };
    for (const LzwCoding coding : {LzwCoding::Smallest, LzwCoding::Smaller})
        for (const Case &c : cases) {
            const std::string what = std::string(c.what) + (coding == LzwCoding::Smallest ? ", smallest" : ", smaller");
            const Bytes plain = Compress(c.indices, 16);
            Bytes smaller;
            CompressFrameWith(coding, c.indices, 16, smaller);
            std::size_t fromFull = 0;
            CodesOf(smaller, &fromFull);
            if (!c.fills) {
                EXPECT_EQ(smaller, plain) << what;
            } else {
                EXPECT_LE(smaller.size(), plain.size()) << what;
            }
            if (std::string_view(c.what) == "screen of text") {
                EXPECT_LT(smaller.size() * 100, plain.size() * 95) << what << ": at least 5% smaller";
                EXPECT_GT(fromFull, 1000u) << what << ": codes from the full table";
            }
            ZeroedBuffer out(c.indices.size());
            RasterTarget target{c.width, c.height, false, out.data(), static_cast<std::size_t>(c.width), nullptr, 0, 0, {}};
            std::size_t read = 0;
            DecodeRaster(smaller, read, target);
            EXPECT_EQ(read, smaller.size()) << what;
            EXPECT_TRUE(std::equal(c.indices.begin(), c.indices.end(), out.data())) << what;
        }
}

// The codes leave in 255-byte sub-blocks cut in bulk: whatever the length of the data (here
// swept across one block, the sixteen blocks cut at once and twice that), every sub-block but
// the last is full, the last is not empty, and the terminator follows it.
TEST(LzwEncoder, SubBlocksAreFullUpToTheLastOne)
{
    std::mt19937 random(3);
    std::vector<std::uint8_t> noise(6110);
    for (std::uint8_t &index : noise)
        index = static_cast<std::uint8_t>(random());
    int exactMultiples = 0;
    for (const std::size_t around : {std::size_t{215}, std::size_t{3010}, std::size_t{3185}, std::size_t{6050}})
        for (std::size_t n = around; n < around + 60; ++n) {
            const std::vector<std::uint8_t> indices(noise.begin(), noise.begin() + static_cast<long>(n));
            const Bytes data = Compress(indices, 256);
            std::vector<std::size_t> blocks;
            std::size_t pos = 1;
            while (pos < data.size() && data[pos] != 0) {
                blocks.push_back(data[pos]);
                pos += 1 + data[pos];
            }
            ASSERT_EQ(pos + 1, data.size()) << n << " indices: the terminator ends the data";
            ASSERT_FALSE(blocks.empty());
            const std::size_t packed = std::accumulate(blocks.begin(), blocks.end(), std::size_t{0});
            exactMultiples += packed % 255 == 0;
            EXPECT_TRUE(std::all_of(blocks.begin(), blocks.end() - 1, [](std::size_t b) { return b == 255; }))
                << n << " indices";

            const int width = static_cast<int>(n);
            ZeroedBuffer out(n + 4);
            RasterTarget target{width, 1, false, out.data(), n + 4, nullptr, 0, 0, {}};
            std::size_t read = 0;
            DecodeRaster(data, read, target);
            EXPECT_TRUE(std::equal(indices.begin(), indices.end(), out.data())) << n << " indices";
        }
    EXPECT_GE(exactMultiples, 2) << "the sweeps should meet data of whole sub-blocks";
}

// The exact files written for streams that fill the string table several times and meet empty
// slots in the middle of a probe. The hash, the probing and the moment the table is cleared decide
// every byte; a change to any of them still writes valid LZW, so only the bytes can tell.
TEST(LzwEncoder, GoldenFiles)
{
    std::mt19937 random(2024);
    const auto palette = [&](int colors) {
        std::vector<std::uint32_t> p(static_cast<std::size_t>(colors));
        for (auto &c : p)
            c = random() & 0xFFFFFF;
        return p;
    };
    struct Case {
        const char *what;
        int width, height, colors;
        bool interlaced;
        std::function<int(int x, int y)> index;
        const char *sha256;
    } cases[] = {
        {"256 colours of noise", 320, 240, 256, false, [&](int, int) { return int(random() % 256); },
         "45e48a2c737cbcb382fe29c86eeb147ec57cc48300e48e5dd81eb32049f6de4b"},
        {"4 colours of noise", 512, 384, 4, false, [&](int, int) { return int(random() % 4); },
         "acd1567ba27d1f2cd760e28d0bd13710ca3428bc3c4c4e05d9763e369038127c"},
        {"ones among zeros", 640, 480, 2, false, [&](int, int) { return random() % 5 == 0 ? 1 : 0; },
         "36ba46ba9d5f04e8a8b34309071cf92082dc72fce7ccf20d902604ebc98722f4"},
        {"16 colours, noisy gradients, interlaced", 333, 199, 16, true,
         [&](int x, int y) { return (x / 7 + y / 5 + (random() % 8 == 0 ? int(random() % 16) : 0)) % 16; },
         "a84ed51f3b847bea501644b4d4484a69f9e3d475af1175d69aebe4587af9d177"},
    };
    for (const Case &c : cases) {
        const std::vector<std::uint32_t> colors = palette(c.colors);
        std::vector<std::uint32_t> pixels;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                pixels.push_back(colors[static_cast<std::size_t>(c.index(x, y))]);
        const TestBitmap bitmap(c.width, c.height, pixels);
        GifSaveInfo info;
        info.Frames = {bitmap.Frame()};
        info.Frames[0].Interlaced = c.interlaced;
        Bytes file;
        ASSERT_TRUE(WriteGIFStream(info, file)) << c.what;

        const std::size_t imageData = 13 + (std::size_t{3} << ((file[10] & 7) + 1)) + 8 + 10;
        const auto codes = CodesOf(Bytes(file.begin() + static_cast<long>(imageData), file.end()));
        const auto clears = std::count(codes.begin() + 1, codes.end(), Code{1 << file[imageData], 12});
        EXPECT_GE(clears, 3) << c.what << ": the table must fill several times";
        EXPECT_EQ(Sha256Hex(file), c.sha256) << c.what;
    }
}

// Streams where the pair (0, 0) must go into a string table whose slot 0 the pair (16, 1) or a
// string with its home there already holds. From then on the table misses some strings it holds
// and overwrites that pair, and the bytes differ from those of a plain LZW dictionary: with one the
// hashes below do not come out.
TEST(LzwEncoder, GoldenStreamsWhereThePairOfZerosLeavesItsHomeSlot)
{
    struct Case {
        unsigned seed;
        int colors;
        const char *sha256;
    } cases[] = {
        {8, 256, "7e29dd2a7c17c02c8f9492d810a10a2ec4d6a8f899bada59c9c2e5cad225224c"},
        {6, 32, "9c23583046fc849839c91fe7c9294db0e805a9b60433ab99cd9653dde601addd"},
    };
    for (const Case &c : cases) {
        std::mt19937 random(c.seed);
        std::vector<std::uint8_t> indices(100000);
        for (std::uint8_t &i : indices) {
            const unsigned pick = random() % 6;
            i = static_cast<std::uint8_t>(pick == 0 ? 16 : pick == 1 ? 1 : pick < 4 ? 0 : random() % unsigned(c.colors));
        }
        EXPECT_EQ(Sha256Hex(Compress(indices, c.colors)), c.sha256) << "seed " << c.seed;
    }
}

} // namespace
} // namespace kaptiv::gif::test
