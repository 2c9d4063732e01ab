#pragma once
// The colour depths a capture or a duplicate can be made at, their colour tables, and the pixel
// conversions every command shares. Conversions go through precomputed tables: no per-pixel search.

#include "platform/pixels/Bitmap.h"
#include "platform/pixels/DisplayPixels.h"

#include <QVector>
#include <algorithm>
#include <cstdint>
#include <vector>

namespace kaptiv {

enum class CaptureColors { Monochrome, Colors16, Colors256, Highest };

// Black, then white.
const QVector<QRgb> &monochromeColors();
// The 16 standard VGA colours in colour-table order: black, maroon, green, olive, navy, purple,
// teal, grey, silver, red, lime, yellow, blue, fuchsia, aqua, white.
const QVector<QRgb> &vgaColors();
// Our fixed 256-colour halftone table:
//   0..215  the 6 x 6 x 6 colour cube with levels 0, 51, 102, 153, 204, 255;
//           index = 36 * red level + 6 * green level + blue level;
//   216..255 forty greys between the cube's greys: 51 * k + round(51 * j / 9), k = 0..4, j = 1..8.
const QVector<QRgb> &halftoneColors();

// Finds the nearest table colour (squared RGB distance; on a tie the lower index) without a
// search per pixel: the RGB cube is cut into 32768 cells of 8 x 8 x 8 and each cell keeps the few
// table colours that can be nearest to some point in it, worked out the first time it is used.
class NearestColorMap {
public:
    explicit NearestColorMap(const QVector<QRgb> &table);
    uint8_t indexOf(QRgb rgb) const
    {
        const unsigned cell = ((rgb >> 9) & 0x7C00) | ((rgb >> 6) & 0x03E0) | ((rgb >> 3) & 0x001F);
        const Cell &c = cells_[cell];
        if (c.count == 1)
            return candidates_[c.first];
        return indexInCell(rgb, cell);
    }
    const QVector<QRgb> &table() const { return table_; }

private:
    struct Cell {
        uint32_t first = 0;
        uint16_t count = 0; // 0: not worked out yet
    };
    uint8_t indexInCell(QRgb rgb, unsigned cell) const;
    void buildCell(unsigned cell) const;

    QVector<QRgb> table_;
    mutable std::vector<Cell> cells_;
    mutable std::vector<uint8_t> candidates_;
};

// The halftone table is a cube plus greys, so its nearest colour is found by arithmetic: the
// nearest cube colour channel by channel, the nearest grey from the sum of the channels, and the
// nearer of the two (the lower index on a tie).
class HalftoneColorMap {
public:
    HalftoneColorMap();
    uint8_t indexOf(QRgb rgb) const
    {
        // Both squared distances share the sum of the squared channels; compare what differs.
        const int r = qRed(rgb), g = qGreen(rgb), b = qBlue(rgb);
        const int cube = 36 * level_[r] + 6 * level_[g] + level_[b];
        const int cubeScore = levelScore_[r] + levelScore_[g] + levelScore_[b];
        const int sum = r + g + b;
        const int greyScore = greyScore_[sum];
        if (greyScore != cubeScore)
            return uint8_t(greyScore < cubeScore ? greyIndex_[sum] : cube);
        return uint8_t(std::min<int>(cube, greyIndex_[sum]));
    }
    const QVector<QRgb> &table() const { return halftoneColors(); }

private:
    uint8_t level_[256];    // nearest cube level L of a channel value c
    int levelScore_[256];   // (51L)^2 - 2c(51L): its squared error less c^2
    int greyScore_[766];    // 3k^2 - 2ks for the nearest grey k of a channel sum s
    uint8_t greyIndex_[766]; // and that grey's table index
};

const NearestColorMap &vgaColorMap();
const HalftoneColorMap &halftoneColorMap();

// Converts 32-bit or 16-bit pixels to a bitmap of the given colour depth. Monochrome keeps a pixel
// that is exactly white as white and makes every other pixel black; 16 and 256 colours take the
// nearest table colour, without dithering; Highest keeps the pixels as they are, at the depth the
// bitmap holds a display of `sourceDepth` bits at: 16 for 15 and 16 (5-5-5 or 5-6-5 as the display
// has them), 32 for 32, 24 for the rest (24, and 30 whose pixels arrive as 8-bit channels).
Bitmap convertToColors(const QImage &pixels, int sourceDepth, CaptureColors colors);

// Pixels of any format as a display of `displayDepth` bits holds them (what a picture drawn on the
// screen becomes): 5-5-5 or 5-6-5 at 15 and 16 bits, 32-bit colour at 32, 24-bit colour otherwise.
Bitmap inDisplayFormat(const QImage &pixels, int displayDepth);

// The image format that holds pixels stored in `words` (Format_Invalid for Other, which is never
// stored as it comes).
QImage::Format imageFormatOf(PixelLayout words);

// Maps 32-bit pixels back into an indexed bitmap's table after they were drawn on (for instance a
// cursor stamped in), by the same rule that made the bitmap.
void remapIntoIndexed(Bitmap &target, const QImage &rgb32, int x, int y);

} // namespace kaptiv
