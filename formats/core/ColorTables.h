#pragma once
// The colour tables a picture can be reduced to and the nearest-colour rules, without Qt: one rule
// for both programs (platform/pixels/PixelFormats.h gives them to the windowed program's bitmaps).
// Conversions go through precomputed tables: no per-pixel search.

#include "formats/core/PixelBuffer.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace kaptiv {

// Black, then white.
const std::vector<std::uint32_t> &monochromeTable();
// The 16 standard VGA colours in colour-table order: black, maroon, green, olive, navy, purple,
// teal, grey, silver, red, lime, yellow, blue, fuchsia, aqua, white.
const std::vector<std::uint32_t> &vgaTable();
// Our fixed 256-colour halftone table:
//   0..215  the 6 x 6 x 6 colour cube with levels 0, 51, 102, 153, 204, 255;
//           index = 36 * red level + 6 * green level + blue level;
//   216..255 forty greys between the cube's greys: 51 * k + round(51 * j / 9), k = 0..4, j = 1..8.
const std::vector<std::uint32_t> &halftoneTable();

// Finds the nearest table colour (squared RGB distance; on a tie the lower index) without a
// search per pixel: the RGB cube is cut into 32768 cells of 8 x 8 x 8 and each cell keeps the few
// table colours that can be nearest to some point in it, worked out the first time it is used.
class NearestColorMap {
public:
    explicit NearestColorMap(std::vector<std::uint32_t> table);
    std::uint8_t indexOf(std::uint32_t rgb) const
    {
        const unsigned cell = ((rgb >> 9) & 0x7C00) | ((rgb >> 6) & 0x03E0) | ((rgb >> 3) & 0x001F);
        const Cell &c = cells_[cell];
        if (c.count == 1)
            return candidates_[c.first];
        return indexInCell(rgb, cell);
    }
    const std::vector<std::uint32_t> &table() const { return table_; }

private:
    struct Cell {
        std::uint32_t first = 0;
        std::uint16_t count = 0; // 0: not worked out yet
    };
    std::uint8_t indexInCell(std::uint32_t rgb, unsigned cell) const;
    void buildCell(unsigned cell) const;

    std::vector<std::uint32_t> table_;
    mutable std::vector<Cell> cells_;
    mutable std::vector<std::uint8_t> candidates_;
};

// The halftone table is a cube plus greys, so its nearest colour is found by arithmetic: the
// nearest cube colour channel by channel, the nearest grey from the sum of the channels, and the
// nearer of the two (the lower index on a tie).
class HalftoneColorMap {
public:
    HalftoneColorMap();
    std::uint8_t indexOf(std::uint32_t rgb) const
    {
        // Both squared distances share the sum of the squared channels; compare what differs.
        const int r = int(rgb >> 16) & 0xFF, g = int(rgb >> 8) & 0xFF, b = int(rgb) & 0xFF;
        const int cube = 36 * level_[r] + 6 * level_[g] + level_[b];
        const int cubeScore = levelScore_[r] + levelScore_[g] + levelScore_[b];
        const int sum = r + g + b;
        const int greyScore = greyScore_[sum];
        if (greyScore != cubeScore)
            return std::uint8_t(greyScore < cubeScore ? greyIndex_[sum] : cube);
        return std::uint8_t(std::min<int>(cube, greyIndex_[sum]));
    }
    const std::vector<std::uint32_t> &table() const { return halftoneTable(); }

private:
    std::uint8_t level_[256];     // nearest cube level L of a channel value c
    int levelScore_[256];         // (51L)^2 - 2c(51L): its squared error less c^2
    int greyScore_[766];          // 3k^2 - 2ks for the nearest grey k of a channel sum s
    std::uint8_t greyIndex_[766]; // and that grey's table index
};

const NearestColorMap &vgaColorMap();
const HalftoneColorMap &halftoneColorMap();

// Maps rows of 32-bit 0xXXRRGGBB words to indices into `table` by the rule that reduces a picture
// to it: for monochrome (depth 1 with the monochrome table) a pixel that is exactly white is white
// and every other black; otherwise the nearest table colour, without dithering.
void mapToTable(const std::uint8_t *rows, std::ptrdiff_t stride, int width, int height, std::uint8_t *out,
                std::ptrdiff_t outStride, int depth, const std::vector<std::uint32_t> &table);

enum class IndexedColors { Monochrome, Colors16, Colors256 };

// The picture reduced to 1 bit black and white, 4 bits of the VGA colours or 8 bits of the
// halftone table, from its colours (PixelBuffer::rowAsXrgb32); raises CodecError (OutOfMemory).
PixelBuffer toIndexedColors(const PixelBuffer &picture, IndexedColors colors);

// The picture with at most 256 colours, 8 bits: its own colours when they are that few, else a
// table chosen for it by the GIF engine's colour reducer (gif/core/ColorReducer.h), dithered when
// asked. Raises CodecError (OutOfMemory).
PixelBuffer toAdaptiveColors(const PixelBuffer &picture, bool dither);

} // namespace kaptiv
