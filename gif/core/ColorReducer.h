#pragma once
// Colour reduction: an adaptive table of at most 256 colours for one picture or for many frames,
// and the mapping of pixels to it, with an ordered dithering that depends only on a pixel's colour
// and position, so that a pixel that did not change between two frames keeps its index.
//
// Use: add the pixels of one picture, of the first frames, or of all frames (a first pass) to a
// ColorHistogram; ChoosePalette; then map each frame with a PaletteMapper as it comes.

#include "gif/core/ColorMapper.h"
#include "gif/core/GifTypes.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace kaptiv::gif {

// Pixel counts on a grid of 64 levels per channel, each cell with the sums of its pixels'
// colours, so a palette entry is the exact mean of the pixels it stands for.
class ColorHistogram {
public:
    static constexpr int LevelBits = 6;
    static constexpr int Levels = 1 << LevelBits;

    ColorHistogram();
    ~ColorHistogram();
    ColorHistogram(ColorHistogram &&) noexcept;
    ColorHistogram &operator=(ColorHistogram &&) noexcept;

    // Counts every pixel, except those of `skipRgb` (0xRRGGBB) when given: a transparent colour
    // that keeps an entry of its own.
    void Add(const BgrxPixels &pixels, std::optional<std::uint32_t> skipRgb = std::nullopt);
    void Clear();
    std::uint64_t PixelCount() const { return pixels_; }

    struct Cell {
        std::uint64_t Count = 0;
        std::uint64_t Red = 0, Green = 0, Blue = 0; // sums
    };
    // Cell of red level r, green g, blue b at (r * Levels + g) * Levels + b.
    std::span<const Cell> Cells() const;

private:
    std::vector<Cell> cells_;
    std::uint64_t pixels_ = 0;
};

struct Palette {
    ColorTable Colors{}; // red, green, blue of entry 0 upwards
    int Count = 0;
    // An entry that only pixels of exactly its colour take (a transparent colour), or -1.
    int Kept = -1;

    std::uint32_t Rgb(int index) const
    {
        return std::uint32_t(Colors[3 * index]) << 16 | std::uint32_t(Colors[3 * index + 1]) << 8
            | Colors[3 * index + 2];
    }
};

// At most `maxColors` (1 to 256) colours for the counted pixels: Wu's variance-minimising cuts of
// the colour cube, then `refinePasses` k-means passes that move each colour to the mean of the
// pixels nearest to it. `keepRgb`, when given, becomes the last entry exactly, beyond the others
// (so they are at most maxColors - 1). No pixels and no `keepRgb` give a table of one black entry.
Palette ChoosePalette(const ColorHistogram &histogram, int maxColors = 256, int refinePasses = 3,
                      std::optional<std::uint32_t> keepRgb = std::nullopt);

// Nearest palette colours, found from lists of the entries that can be nearest within each cell
// of a 32-level grid, made when a cell is first met.
class PaletteMapper {
public:
    explicit PaletteMapper(const Palette &palette);
    ~PaletteMapper();
    PaletteMapper(const PaletteMapper &) = delete;
    PaletteMapper &operator=(const PaletteMapper &) = delete;

    const Palette &Table() const { return palette_; }

    // The entry nearest to a colour (squared distance in red, green, blue).
    int Nearest(int red, int green, int blue);

    // Writes one index per pixel, rows `indexStride` bytes apart. With `dither`, a pixel between
    // two entries takes one or the other by an 8 x 8 threshold pattern anchored at the screen's
    // top left (`left`, `top` are the pixels' screen position), in the proportion that makes the
    // area's mean colour; a colour that is an entry is never dithered. Either way a pixel's index
    // depends only on its colour and its screen position.
    void Map(const BgrxPixels &pixels, bool dither, std::uint8_t *indices, std::ptrdiff_t indexStride, int left = 0,
             int top = 0);

    // As Map, but writes the entries' colours in place of the pixels (the spare byte is kept).
    void Reduce(const BgrxPixels &pixels, bool dither, std::uint8_t *output, std::ptrdiff_t outputStride,
                int left = 0, int top = 0);

private:
    struct Grid;
    template <typename Store>
    void MapRows(const BgrxPixels &pixels, bool dither, int left, int top, Store store);

    Palette palette_;
    std::unique_ptr<Grid> grid_;
};

// Whether the pixels have at most 256 colours, each of them in `palette` (a PaletteBuilder that
// may take new colours: it gains those the pixels bring while there is room).
bool FitsColors(const BgrxPixels &pixels, PaletteBuilder &palette);

} // namespace kaptiv::gif
