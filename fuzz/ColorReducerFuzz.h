#pragma once
// What the colour reducer fuzzer checks, also replayed by the unit tests over its seeds and every
// input that ever failed. The bytes choose a small picture (of a few colours from the bytes, or
// of colours taken straight from them), a palette size, a colour to keep, dithering and the
// picture's screen position; the reducer must then give a palette that fits, with every entry
// among the colours of the picture, and map each pixel as it promises.
//
// Layout: width, height, palette size - 1, flags (1 dither, 6 refine passes, 8 keep a colour,
// 16 pixels from a table of up to 16 colours), the kept colour (3 bytes), left, top, then the
// pixels: a byte with the table size and the table (3 bytes a colour) and a half byte a pixel,
// or 3 bytes a pixel; pixels past the end of the bytes start them again.

#include "gif/core/ColorReducer.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kaptiv::gif::fuzz {

struct ReducerInput {
    int Width = 0, Height = 0, MaxColors = 256, Passes = 0, Left = 0, Top = 0;
    bool Dither = false;
    std::optional<std::uint32_t> Keep;
    std::vector<std::uint8_t> Bgrx;

    BgrxPixels Pixels() const { return {Bgrx.data(), Width, Height, 4 * std::ptrdiff_t(Width)}; }
    std::uint32_t At(int x, int y) const { return BgrxColor(&Bgrx[4 * (std::size_t(y) * std::size_t(Width) + std::size_t(x))]); }
};

inline std::optional<ReducerInput> ReadReducerInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 10)
        return std::nullopt;
    ReducerInput in;
    in.Width = data[0] % 40 + 1;
    in.Height = data[1] % 40 + 1;
    in.MaxColors = data[2] + 1;
    in.Dither = data[3] & 1;
    in.Passes = (data[3] >> 1) & 3;
    if (data[3] & 8)
        in.Keep = std::uint32_t(data[4]) << 16 | std::uint32_t(data[5]) << 8 | data[6];
    in.Left = data[7];
    in.Top = data[8];
    const std::uint8_t *p = data + 9, *const end = data + size;
    std::vector<std::uint32_t> table;
    if (data[3] & 16) {
        const int count = *p++ % 16 + 1;
        for (int i = 0; i < count; ++i, p += 3)
            table.push_back(p + 2 < end ? std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2] : 0);
        p = std::min(p, end);
    }
    const std::uint8_t *const pixels = p;
    const std::size_t left = std::size_t(end - pixels);
    std::size_t at = 0;
    const auto next = [&] { return left == 0 ? std::uint8_t(0) : pixels[at++ % left]; };
    in.Bgrx.resize(4 * std::size_t(in.Width) * std::size_t(in.Height));
    for (std::size_t i = 0; i < in.Bgrx.size(); i += 4) {
        std::uint32_t rgb;
        if (!table.empty()) {
            const std::uint8_t pick = next();
            rgb = table[std::size_t(pick & 15) % table.size()];
        } else {
            const std::uint8_t r = next(), g = next(), b = next();
            rgb = std::uint32_t(r) << 16 | std::uint32_t(g) << 8 | b;
        }
        in.Bgrx[i] = std::uint8_t(rgb);
        in.Bgrx[i + 1] = std::uint8_t(rgb >> 8);
        in.Bgrx[i + 2] = std::uint8_t(rgb >> 16);
        in.Bgrx[i + 3] = 0x5A;  // the spare byte, which Reduce must keep
    }
    return in;
}

inline int Distance(std::uint32_t a, std::uint32_t b)
{
    const int dr = int(a >> 16) - int(b >> 16), dg = int((a >> 8) & 0xFF) - int((b >> 8) & 0xFF),
              db = int(a & 0xFF) - int(b & 0xFF);
    return dr * dr + dg * dg + db * db;
}

// What is wrong with the reduction of the picture the bytes describe; empty when nothing is.
inline std::string CheckColorReduction(const std::uint8_t *data, std::size_t size)
{
    const std::optional<ReducerInput> read = ReadReducerInput(data, size);
    if (!read)
        return {};
    const ReducerInput &in = *read;
    ColorHistogram histogram;
    histogram.Add(in.Pixels(), in.Keep);
    const Palette palette = ChoosePalette(histogram, in.MaxColors, in.Passes, in.Keep);

    // The palette's size, and the kept colour last, exactly.
    if (palette.Count < 1 || palette.Count > in.MaxColors)
        return "palette of " + std::to_string(palette.Count) + " colours for at most " + std::to_string(in.MaxColors);
    if (in.Keep && (palette.Kept != palette.Count - 1 || palette.Rgb(palette.Kept) != *in.Keep))
        return "the kept colour is not the last entry";
    if (!in.Keep && palette.Kept != -1)
        return "an entry is kept without a colour to keep";
    // Every other entry is a mean of pixels: inside the box of the picture's colours (one level
    // of leeway for the entry moved off the kept colour).
    int lows[3] = {255, 255, 255}, highs[3] = {0, 0, 0};
    std::set<std::uint32_t> colours;
    for (int y = 0; y < in.Height; ++y)
        for (int x = 0; x < in.Width; ++x) {
            const std::uint32_t rgb = in.At(x, y);
            colours.insert(rgb);
            if (in.Keep && rgb == *in.Keep)
                continue;
            for (int c = 0; c < 3; ++c) {
                const int v = int(rgb >> (16 - 8 * c)) & 0xFF;
                lows[c] = std::min(lows[c], v);
                highs[c] = std::max(highs[c], v);
            }
        }
    const int others = in.Keep ? palette.Count - 1 : palette.Count;
    if (histogram.PixelCount() > 0)
        for (int i = 0; i < others; ++i)
            for (int c = 0; c < 3; ++c) {
                const int v = palette.Colors[std::size_t(3 * i + c)];
                if (v < lows[c] - 1 || v > highs[c] + 1)
                    return "entry " + std::to_string(i) + " lies outside the picture's colours";
            }

    PaletteMapper mapper(palette);
    const std::size_t pixels = std::size_t(in.Width) * std::size_t(in.Height);
    std::vector<std::uint8_t> indices(pixels), shifted(pixels);
    mapper.Map(in.Pixels(), in.Dither, indices.data(), in.Width, in.Left, in.Top);
    std::vector<std::uint8_t> reduced = in.Bgrx;  // its spare bytes must stay
    mapper.Reduce(in.Pixels(), in.Dither, reduced.data(), 4 * std::ptrdiff_t(in.Width), in.Left, in.Top);
    for (int y = 0; y < in.Height; ++y)
        for (int x = 0; x < in.Width; ++x) {
            const std::size_t n = std::size_t(y) * std::size_t(in.Width) + std::size_t(x);
            const int index = indices[n];
            const std::uint32_t rgb = in.At(x, y);
            const std::string where = " at " + std::to_string(x) + ", " + std::to_string(y);
            if (index >= palette.Count)
                return "index " + std::to_string(index) + " past the palette" + where;
            const std::uint8_t *q = &reduced[4 * n];
            if (BgrxColor(q) != palette.Rgb(index) || q[3] != 0x5A)
                return "Reduce wrote another colour than Map's entry" + where;
            const bool kept = in.Keep && rgb == *in.Keep;
            if (kept != (index == palette.Kept) && others > 0)
                return std::string(kept ? "the kept colour maps elsewhere" : "another colour maps to the kept entry") +
                       where;
            if (kept)
                continue;
            int best = 1 << 30, mine = Distance(rgb, palette.Rgb(index));
            for (int i = 0; i < others; ++i)
                best = std::min(best, Distance(rgb, palette.Rgb(i)));
            if (best == 0 && mine != 0)
                return "a colour that is an entry is dithered" + where;
            if (!in.Dither && mine != best && others > 0)
                return "not the nearest entry" + where;
        }

    // A pixel's index depends on its colour and screen position only: the picture without its
    // first row and column, one pixel further on, maps alike.
    if (in.Width > 1 && in.Height > 1) {
        const BgrxPixels inner{in.Bgrx.data() + 4 * (std::size_t(in.Width) + 1), in.Width - 1, in.Height - 1,
                               4 * std::ptrdiff_t(in.Width)};
        mapper.Map(inner, in.Dither, shifted.data(), in.Width, in.Left + 1, in.Top + 1);
        for (int y = 1; y < in.Height; ++y)
            for (int x = 1; x < in.Width; ++x)
                if (shifted[std::size_t(y - 1) * std::size_t(in.Width) + std::size_t(x - 1)] !=
                    indices[std::size_t(y) * std::size_t(in.Width) + std::size_t(x)])
                    return "the index changed with the part of the picture mapped";
    }

    // At most 256 colours fit, each found in the table they were put in.
    PaletteBuilder exact;
    if (FitsColors(in.Pixels(), exact) != (colours.size() <= 256))
        return "FitsColors misjudged " + std::to_string(colours.size()) + " colours";
    return {};
}

} // namespace kaptiv::gif::fuzz
