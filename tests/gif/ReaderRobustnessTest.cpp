#include "GifBuilder.h"
#include "TestFiles.h"
#include "TestPixels.h"

#include "gif/core/GifReader.h"
#include "gif/core/GifWriter.h"
#include "gif/core/LzwDecoder.h"
#include "gif/core/LzwEncoder.h"
#include "gif/core/ZeroedBuffer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <random>
#include <sstream>

namespace kaptiv::gif::test {
namespace {

Bytes SmallAnimation()
{
    const TestBitmap a(5, 3, {1, 2, 3, 4, 5, 1, 2, 3, 4, 5, 5, 5, 5, 5, 5});
    const TestBitmap b(2, 7, {9, 9, 8, 8, 9, 9, 8, 8, 7, 7, 9, 9, 8, 8});
    GifSaveInfo info;
    info.Loop = 3;
    info.Frames = {a.Frame(), b.Frame()};
    info.Frames[0].Comment = "first frame";
    info.Frames[1].Interlaced = true;
    info.Frames[1].Transparent = true;
    info.Frames[1].TransparentColor = 0x080000;
    info.Frames[1].Left = 4;
    Bytes file;
    EXPECT_TRUE(WriteGIFStream(info, file));
    return file;
}

// The file cut after every byte: no read outside the bytes (the copy is exactly that long, for
// the address sanitizer), the frames before the cut stay, and nothing is made up.
TEST(ReaderRobustness, FileCutShortAtEveryByte)
{
    std::vector<std::pair<std::string, Bytes>> files = {{"small animation", SmallAnimation()}};
    for (const char *name : {"pjw-thumbnail.gif", "hippopotamus.interlaced.gif"})
        files.emplace_back(name, ReadBytes(CorpusDir("real") / name));
    for (const auto &[name, whole] : files) {
        GifImage full;
        ASSERT_TRUE(ParseGIF(whole, full));
        const std::size_t headerAndTable = 13 + (whole[10] & 0x80 ? std::size_t{3} << ((whole[10] & 7) + 1) : 0);
        int lastCount = 0;
        for (std::size_t n = 0; n < whole.size(); ++n) {
            const std::unique_ptr<std::uint8_t[]> cut(new std::uint8_t[n]);
            std::copy_n(whole.begin(), n, cut.get());
            GifImage image;
            const bool read = ParseGIF({cut.get(), n}, image);
            ASSERT_EQ(read, n >= headerAndTable) << name << " cut at " << n;
            ASSERT_GE(image.FrameCount(), lastCount) << name << " cut at " << n;
            lastCount = image.FrameCount();
            for (int f = 0; f < image.FrameCount(); ++f) {
                const GifFrame &got = image.Frames[static_cast<std::size_t>(f)];
                const GifFrame &want = full.Frames[static_cast<std::size_t>(f)];
                ASSERT_EQ(got.Width, want.Width);
                ASSERT_EQ(got.Height, want.Height);
                for (int y = 0; y < got.Height; ++y)
                    for (int x = 0; x < got.Width; ++x)
                        ASSERT_TRUE(got.IndexAt(x, y) == want.IndexAt(x, y) || got.IndexAt(x, y) == 0)
                            << name << " cut at " << n;
            }
        }
        EXPECT_EQ(lastCount, full.FrameCount());
    }
}

std::map<std::string, std::string> Manifest()
{
    std::ifstream in(CorpusDir("hostile") / "gen" / "manifest.tsv");
    std::map<std::string, std::string> outcome;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string file, what, sane;
        std::getline(fields, file, '\t');
        std::getline(fields, what, '\t');
        std::getline(fields, sane, '\t');
        outcome[file] = sane;
    }
    return outcome;
}

// Damaged and unusual files, and every input the fuzzer ever had: read without a fault. Files
// a sane reader reads whole are read with at least one frame.
TEST(ReaderRobustness, HostileFilesAndFuzzInputs)
{
    const auto manifest = Manifest();
    ASSERT_FALSE(manifest.empty());
    std::vector<std::filesystem::path> files = FilesBelow(CorpusDir("hostile"));
    for (const char *dir : {"corpus/gif_reader", "crashers/gif_reader"}) {
        const auto more = FilesBelow(std::filesystem::path(KAPTIV_FUZZ_DIR) / dir);
        files.insert(files.end(), more.begin(), more.end());
    }
    ASSERT_GT(files.size(), 300u);
    for (const auto &file : files) {
        const Bytes bytes = ReadBytes(file);
        GifImage image;
        const bool read = ParseGIF(bytes, image);
        const auto sane = manifest.find(file.filename().string());
        if (sane != manifest.end() && sane->second == "ok") {
            EXPECT_TRUE(read) << file;
            EXPECT_GE(image.FrameCount(), 1) << file;
        }
    }
}

// What this reader decides for damaged files.
TEST(ReaderRobustness, ChosenOutcomesForDamagedFiles)
{
    struct Case {
        const char *file;
        ParseResult read;
        int frames;
    } cases[] = {
        {"huge_frame_tiny_data.gif", ParseResult::FrameTooLarge, 0},    // 65535 x 65535
        {"huge_canvas_1x1_frame.gif", ParseResult::Read, 1},
        {"bomb_4096sq_one_colour.gif", ParseResult::Read, 1},
        {"bad_mincode12.gif", ParseResult::Read, 1},             // kept, with index 0 everywhere
        {"bad_truncated_header.gif", ParseResult::NotAGif, 0},
        {"bad_truncated_color_table.gif", ParseResult::NotAGif, 0},
        {"bad_signature_GIF88a.gif", ParseResult::Read, 1},      // the version is not examined
        {"ok_zero_width_frame.gif", ParseResult::Read, 2},
        {"anim_10000_tiny_frames.gif", ParseResult::Read, 256},
    };
    for (const Case &c : cases) {
        GifImage image;
        EXPECT_EQ(ReadGIF(ReadBytes(CorpusDir("hostile") / "gen" / c.file), image), c.read) << c.file;
        EXPECT_EQ(image.FrameCount(), c.frames) << c.file;
    }
    GifImage image;
    ASSERT_TRUE(ParseGIF(ReadBytes(CorpusDir("hostile") / "gen" / "bad_mincode12.gif"), image));
    EXPECT_EQ(image.Frames[0].IndexAt(0, 0), 0);
    ASSERT_TRUE(ParseGIF(ReadBytes(CorpusDir("hostile") / "gen" / "ok_zero_width_frame.gif"), image));
    EXPECT_TRUE(image.Frames[0].Indices.empty());
}

TEST(ReaderRobustness, FilesPastAMemoryLimitAreRefusedNotCut)
{
    const Bytes file = GifBuilder(4, 4)
                           .SimpleImage(4, 4, std::vector<std::uint8_t>(16, 1))
                           .SimpleImage(3, 3, std::vector<std::uint8_t>(9, 2))
                           .SimpleImage(2, 2, std::vector<std::uint8_t>(4, 3))
                           .Trailer()
                           .Data();
    struct Case {
        std::uint64_t frame, total;
        ParseResult read;
    } cases[] = {
        {16, 29, ParseResult::Read},
        {15, 1000, ParseResult::FrameTooLarge},
        {16, 28, ParseResult::TooManyPixels},
        {9, 1000, ParseResult::FrameTooLarge},
    };
    for (const Case &c : cases) {
        ParseOptions options;
        options.Limits = {c.frame, c.total};
        GifImage image;
        EXPECT_EQ(ReadGIF(file, image, options), c.read) << c.frame << " " << c.total;
        EXPECT_EQ(image.FrameCount(), c.read == ParseResult::Read ? 3 : 0);
    }
}

// The default limits read the largest pictures people make: four frames of 16384 x 16384 are
// the most one file may hold.
TEST(ReaderRobustness, DefaultLimitsReadFramesOf16384Squared)
{
    const Bytes data = RootCodeImageData(2, {1, 2});
    struct Case {
        std::vector<std::pair<int, int>> frames;
        ParseResult read;
    } cases[] = {
        {{{16384, 16384}, {16384, 16384}, {16384, 16384}, {16384, 16384}}, ParseResult::Read},
        {{{16384, 16384}, {16384, 16384}, {16384, 16384}, {16384, 16384}, {1, 1}}, ParseResult::TooManyPixels},
        {{{16385, 16384}}, ParseResult::FrameTooLarge},
        {{{65535, 4096}}, ParseResult::Read},
    };
    for (const Case &c : cases) {
        GifBuilder builder(1, 1);
        for (const auto &[w, h] : c.frames)
            builder.Image(0, 0, w, h, data);
        GifImage image;
        ASSERT_EQ(ReadGIF(builder.Trailer().Data(), image), c.read) << c.frames.size();
        if (c.read == ParseResult::Read) {
            EXPECT_EQ(image.FrameCount(), static_cast<int>(c.frames.size()));
            EXPECT_EQ(image.Frames.back().IndexAt(1, 0), 2);
        }
    }
}

// The decoding rules written out the plain way: one index at a time through a stack.
struct ModelResult {
    std::vector<std::uint8_t> pixels;  // picture order
    std::vector<bool> mask;
    std::size_t readPos = 0;
};

ModelResult ModelDecode(const Bytes &data, int width, int height, bool interlaced, int transparent)
{
    ModelResult r;
    r.pixels.assign(static_cast<std::size_t>(width * height), 0);
    r.mask.assign(r.pixels.size(), false);
    if (data.empty())
        return r;
    std::size_t pos = 0;
    const int m = data[pos++];
    std::vector<std::uint8_t> bytes;  // every sub-block up to the terminator
    while (pos < data.size()) {
        const std::size_t count = data[pos++];
        if (count == 0)
            break;
        const std::size_t n = std::min(count, data.size() - pos);
        bytes.insert(bytes.end(), data.begin() + static_cast<long>(pos), data.begin() + static_cast<long>(pos + n));
        pos += n;
    }
    r.readPos = pos;
    if (m > 11)
        return r;
    std::size_t bit = 0;
    int size = m + 1;
    const auto getCode = [&] {
        if (bit + static_cast<std::size_t>(size) > 8 * bytes.size())
            return -1;
        int code = 0;
        for (int k = 0; k < size; ++k, ++bit)
            code |= ((bytes[bit / 8] >> (bit % 8)) & 1) << k;
        return code;
    };
    const int clear = 1 << m, end = clear + 1;
    int next = clear + 2, limit = 2 * clear, first = 0, old = 0;
    std::vector<int> prefix(4096, 0), suffix(4096, 0), stack;
    const auto reset = [&] {
        std::fill(prefix.begin(), prefix.end(), 0);
        std::fill(suffix.begin(), suffix.end(), 0);
        for (int i = 0; i < clear; ++i)
            suffix[static_cast<std::size_t>(i)] = i;
        stack.clear();
        size = m + 1;
        limit = 2 * clear;
        next = clear + 2;
    };
    reset();
    const auto nextIndex = [&]() -> int {
        if (!stack.empty()) {
            const int v = stack.back();
            stack.pop_back();
            return v;
        }
        int code = getCode();
        if (code < 0)
            return code;
        if (code == clear) {
            reset();
            do
                first = getCode();
            while (first == clear);
            old = first;
            return first == end ? -2 : first;
        }
        if (code == end)
            return -2;
        const int in = code;
        if (code >= next) {
            stack.push_back(first);
            code = old;
        }
        while (code >= clear) {
            if (stack.size() == 4096)
                return -3;
            stack.push_back(suffix[static_cast<std::size_t>(code)]);
            code = prefix[static_cast<std::size_t>(code)];
        }
        if (stack.size() == 4096)
            return -3;
        first = suffix[static_cast<std::size_t>(code)];
        stack.push_back(first);
        if (next < 4096) {
            suffix[static_cast<std::size_t>(next)] = first;
            prefix[static_cast<std::size_t>(next)] = old;
            if (++next >= limit && limit < 4096) {
                limit *= 2;
                ++size;
            }
        }
        old = in;
        const int v = stack.back();
        stack.pop_back();
        return v;
    };
    int index;
    do
        index = getCode();
    while (index == clear);
    first = old = index;
    if (index == end)
        index = -2;
    int x = 0, y = 0, pass = 0;
    while (index >= 0) {
        r.pixels[static_cast<std::size_t>(y * width + x)] = static_cast<std::uint8_t>(index);
        r.mask[static_cast<std::size_t>(y * width + x)] = index == transparent;
        if (++x == width) {
            x = 0;
            if (!interlaced) {
                ++y;
            } else {
                y += pass < 2 ? 8 : pass == 2 ? 4 : 2;
                while (y >= height && pass < 3) {
                    ++pass;
                    y = pass == 1 ? 4 : pass == 2 ? 2 : 1;
                }
            }
            if (y >= height)
                break;
        }
        index = nextIndex();
    }
    return r;
}

// The decoder's fast ways against the plain rules, on streams an encoder made and then damaged.
TEST(ReaderRobustness, DecoderAgreesWithThePlainRulesOnDamagedStreams)
{
    std::mt19937 random(3);
    int slowStreams = 0;
    LzwTables tables;
    for (int round = 0; round < 3000; ++round) {
        const int width = 1 + static_cast<int>(random() % 150), height = 1 + static_cast<int>(random() % 40);
        const int colors = 1 + static_cast<int>(random() % 256);
        const bool interlaced = random() % 2;
        std::vector<std::uint8_t> indices(static_cast<std::size_t>(width * height));
        std::uint8_t current = 0;
        for (auto &i : indices) {
            if (random() % 5 == 0)
                current = static_cast<std::uint8_t>(random() % static_cast<unsigned>(colors));
            i = current;
        }
        Bytes data;
        CompressFrame(indices, colors, data);
        const std::uint8_t minCodeSize = data[0];
        // Damage a few bytes of code data (and now and then the minimum code size).
        const int damage = static_cast<int>(random() % 4);
        for (int d = 0; d < damage; ++d) {
            const std::size_t at = 2 + random() % (data.size() - 2);
            if (data[at - 1] != 0 && at + 1 < data.size())
                data[at] ^= static_cast<std::uint8_t>(1 << (random() % 8));
        }
        if (random() % 50 == 0)
            data[0] = static_cast<std::uint8_t>(random() % 13);
        if (random() % 10 == 0)
            data.resize(random() % data.size());
        slowStreams += damage > 0;

        const int transparent = static_cast<int>(random() % 256);
        const ModelResult want = ModelDecode(data, width, height, interlaced, transparent);
        const std::size_t stride = (static_cast<std::size_t>(width) + 3) & ~std::size_t{3};
        const std::size_t maskStride = (static_cast<std::size_t>(width) + 31) / 32 * 4;
        // The mask given before decoding, or asked for only when needed (as the reader does); one
        // string table for every round, as for the frames of one file.
        for (const bool lazy : {false, true}) {
            ZeroedBuffer out(stride * static_cast<std::size_t>(height)), mask;
            RasterTarget target{width, height, interlaced, out.data(), stride, nullptr, maskStride,
                                static_cast<std::uint8_t>(transparent), {}};
            const auto newMask = [&] {
                mask = ZeroedBuffer(maskStride * static_cast<std::size_t>(height));
                return mask.data();
            };
            if (lazy)
                target.NewMask = newMask;
            else
                target.Mask = newMask();
            std::size_t pos = 0;
            DecodeRaster(data, pos, target, {}, &tables);
            ASSERT_EQ(pos, want.readPos) << "round " << round;
            const bool anyTransparent = std::find(want.mask.begin(), want.mask.end(), true) != want.mask.end();
            if (lazy && damage == 0 && !data.empty() && data[0] == minCodeSize) {
                ASSERT_EQ(mask.empty(), !anyTransparent) << "round " << round << ": a mask only where needed";
            }
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    const std::size_t at = static_cast<std::size_t>(y * width + x);
                    ASSERT_EQ(out.data()[static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x)], want.pixels[at])
                        << "round " << round << " at " << x << "," << y;
                    const int bit = mask.empty() ? 0
                                                 : (mask.data()[static_cast<std::size_t>(y) * maskStride + static_cast<std::size_t>(x) / 8] >> (7 - x % 8)) & 1;
                    ASSERT_EQ(bit, want.mask[at] ? 1 : 0) << "round " << round << " at " << x << "," << y << (lazy ? " (mask asked for)" : "");
                }
        }
    }
    EXPECT_GT(slowStreams, 1000);
}

} // namespace
} // namespace kaptiv::gif::test
