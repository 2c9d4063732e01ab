// The colour reducer: how close a reduced picture stays to the original, that dithering keeps
// still areas still, and that colours a table already holds come through exactly.
#include "TestFiles.h"

#include "fuzz/ColorReducerFuzz.h"
#include "gif/core/ColorReducer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace kaptiv::gif {
namespace {

struct Picture {
    int width, height;
    std::vector<std::uint8_t> bgrx;

    Picture(int w, int h) : width(w), height(h), bgrx(std::size_t(w) * std::size_t(h) * 4) {}
    BgrxPixels pixels() const { return {bgrx.data(), width, height, width * 4}; }
    std::uint8_t *at(int x, int y) { return &bgrx[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4]; }
    void set(int x, int y, int r, int g, int b)
    {
        std::uint8_t *p = at(x, y);
        p[0] = std::uint8_t(b), p[1] = std::uint8_t(g), p[2] = std::uint8_t(r);
    }
};

// A smooth full-colour picture like a photograph's sky and skin: overlapping waves in each
// channel, most of its pixels a colour of their own.
Picture plasma(int w, int h, double phase = 0)
{
    Picture p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double u = x / double(w), v = y / double(h);
            auto wave = [&](double a, double b, double c) {
                return 127.5 + 127.5 * std::sin(a * u + b * v + c + phase) * std::cos(b * u - a * v * 0.7 + c);
            };
            p.set(x, y, int(wave(5.1, 3.3, 0.2)), int(wave(2.7, 6.2, 1.9)), int(wave(7.4, 1.8, 4.1)));
        }
    return p;
}

double psnr(const Picture &a, const Picture &b)
{
    double sum = 0;
    std::size_t n = 0;
    for (std::size_t i = 0; i < a.bgrx.size(); i += 4)
        for (int c = 0; c < 3; ++c, ++n) {
            const double d = double(a.bgrx[i + std::size_t(c)]) - double(b.bgrx[i + std::size_t(c)]);
            sum += d * d;
        }
    return 10 * std::log10(255.0 * 255.0 / (sum / double(n)));
}

Picture reduced(const Picture &original, PaletteMapper &mapper, bool dither)
{
    Picture out = original;
    mapper.Reduce(original.pixels(), dither, out.bgrx.data(), out.width * 4);
    return out;
}

TEST(ColorReducer, SmoothFullColourPictureStaysCloseAndDitheringKeepsAreaMeans)
{
    const Picture original = plasma(512, 384);
    ColorHistogram histogram;
    histogram.Add(original.pixels());
    EXPECT_EQ(histogram.PixelCount(), 512u * 384u);
    const Palette palette = ChoosePalette(histogram);
    EXPECT_EQ(palette.Count, 256);
    PaletteMapper mapper(palette);
    const Picture plain = reduced(original, mapper, false);
    const Picture dithered = reduced(original, mapper, true);
    // On this picture ImageMagick's -colors 256 gives 29.8 dB undithered and 26.2 dithered,
    // FFmpeg's palettegen/paletteuse 30.0 and 27.0; the floors sit a few tenths under ours.
    EXPECT_GT(psnr(original, plain), 30.5);
    EXPECT_GT(psnr(original, dithered), 29.0);
    // Dithering is there to make the mean of an area the original's: over 8 x 8 blocks the
    // dithered picture's mean is closer to the original than the undithered one's.
    double plainError = 0, ditherError = 0;
    for (int by = 0; by < 384; by += 8)
        for (int bx = 0; bx < 512; bx += 8)
            for (int c = 0; c < 3; ++c) {
                double o = 0, p = 0, d = 0;
                for (int y = by; y < by + 8; ++y)
                    for (int x = bx; x < bx + 8; ++x) {
                        const std::size_t i = (std::size_t(y) * 512 + std::size_t(x)) * 4 + std::size_t(c);
                        o += original.bgrx[i], p += plain.bgrx[i], d += dithered.bgrx[i];
                    }
                plainError += (p - o) * (p - o) / 4096, ditherError += (d - o) * (d - o) / 4096;
            }
    EXPECT_LT(ditherError, plainError * 0.6);
}

TEST(ColorReducer, PixelsThatDidNotChangeKeepTheirIndicesAcrossFrames)
{
    // The second frame differs from the first in one small rectangle; both are mapped with the
    // palette of the first, dithered. Outside the rectangle every index must be the same.
    const Picture first = plasma(320, 240);
    Picture second = first;
    const Picture other = plasma(320, 240, 2.0);
    for (int y = 100; y < 130; ++y)
        for (int x = 50; x < 90; ++x)
            std::memcpy(second.at(x, y), &other.bgrx[(std::size_t(y) * 320 + std::size_t(x)) * 4], 4);
    ColorHistogram histogram;
    histogram.Add(first.pixels());
    PaletteMapper mapper(ChoosePalette(histogram));
    std::vector<std::uint8_t> a(320 * 240), b(320 * 240);
    mapper.Map(first.pixels(), true, a.data(), 320);
    mapper.Map(second.pixels(), true, b.data(), 320);
    int changedInside = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            const bool inside = x >= 50 && x < 90 && y >= 100 && y < 130;
            if (inside)
                changedInside += a[std::size_t(y) * 320 + std::size_t(x)] != b[std::size_t(y) * 320 + std::size_t(x)];
            else
                ASSERT_EQ(a[std::size_t(y) * 320 + std::size_t(x)], b[std::size_t(y) * 320 + std::size_t(x)])
                    << "at " << x << "," << y;
        }
    EXPECT_GT(changedInside, 600); // the rectangle itself did change
    // A frame placed elsewhere on the screen is dithered by screen position: the part of the
    // first frame at (16, 8) maps to the same indices as a frame of just that part placed there.
    Picture part(64, 32);
    for (int y = 0; y < 32; ++y)
        std::memcpy(part.at(0, y), &first.bgrx[(std::size_t(y + 8) * 320 + 16) * 4], 64 * 4);
    std::vector<std::uint8_t> c(64 * 32);
    mapper.Map(part.pixels(), true, c.data(), 64, 16, 8);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(c[std::size_t(y) * 64 + std::size_t(x)], a[std::size_t(y + 8) * 320 + std::size_t(x + 16)]);
}

TEST(ColorReducer, ColoursOfAFewColourPictureComeThroughExactlyEvenDithered)
{
    // 256 colours, each in a grid cell of its own, on a picture with anti-aliasing-like runs.
    Picture p(256, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 256; ++x)
            p.set(x, y, (x * 37) & 0xFF, (x * 91 + 13) & 0xFC, x);
    PaletteBuilder exact;
    ASSERT_TRUE(FitsColors(p.pixels(), exact));
    EXPECT_EQ(exact.Count(), 256);
    ColorHistogram histogram;
    histogram.Add(p.pixels());
    PaletteMapper mapper(ChoosePalette(histogram));
    EXPECT_EQ(psnr(p, reduced(p, mapper, true)), INFINITY);
    // A 257th colour does not fit.
    p.set(0, 0, 1, 2, 3);
    PaletteBuilder full;
    EXPECT_FALSE(FitsColors(p.pixels(), full));
}

TEST(ColorReducer, AKeptColourIsTakenOnlyByPixelsOfExactlyThatColour)
{
    // White is the transparent colour: the near-white pixels around it must not become white,
    // and white must stay white.
    Picture p = plasma(128, 96);
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 128; ++x)
            if ((x / 8 + y / 8) % 3 == 0)
                p.set(x, y, 255, 255, 255);
            else if ((x / 8 + y / 8) % 3 == 1)
                p.set(x, y, 254, 255, 255);
    ColorHistogram histogram;
    histogram.Add(p.pixels(), 0xFFFFFF);
    const Palette palette = ChoosePalette(histogram, 256, 3, 0xFFFFFF);
    ASSERT_EQ(palette.Kept, palette.Count - 1);
    EXPECT_EQ(palette.Rgb(palette.Kept), 0xFFFFFFu);
    PaletteMapper mapper(palette);
    for (const bool dither : {false, true}) {
        std::vector<std::uint8_t> indices(128 * 96);
        mapper.Map(p.pixels(), dither, indices.data(), 128);
        for (int y = 0; y < 96; ++y)
            for (int x = 0; x < 128; ++x)
                ASSERT_EQ(indices[std::size_t(y) * 128 + std::size_t(x)] == palette.Kept, (x / 8 + y / 8) % 3 == 0)
                    << x << "," << y << (dither ? " dithered" : "");
    }
}

TEST(ColorReducer, FewerColoursAndEmptyHistograms)
{
    const Picture original = plasma(64, 64);
    ColorHistogram histogram;
    EXPECT_EQ(ChoosePalette(histogram).Count, 1); // nothing counted: one black entry
    histogram.Add(original.pixels());
    for (const int colors : {1, 2, 16}) {
        const Palette palette = ChoosePalette(histogram, colors);
        EXPECT_EQ(palette.Count, colors);
        PaletteMapper mapper(palette);
        std::vector<std::uint8_t> indices(64 * 64);
        mapper.Map(original.pixels(), true, indices.data(), 64);
        for (const std::uint8_t i : indices)
            ASSERT_LT(i, colors);
    }
}

// The fuzzer's checks over its seeds and every input that ever failed them.
TEST(ColorReducer, FuzzerSeedsAndPastFindingsPassItsChecks)
{
    std::vector<std::filesystem::path> files;
    for (const char *dir : {"corpus/color_reducer", "crashers/color_reducer"}) {
        const auto more = test::FilesBelow(std::filesystem::path(KAPTIV_FUZZ_DIR) / dir);
        files.insert(files.end(), more.begin(), more.end());
    }
    ASSERT_GE(files.size(), 5u);
    for (const auto &file : files) {
        const std::vector<std::uint8_t> bytes = test::ReadBytes(file);
        EXPECT_EQ(fuzz::CheckColorReduction(bytes.data(), bytes.size()), "") << file.filename();
    }
}

} // namespace
} // namespace kaptiv::gif
