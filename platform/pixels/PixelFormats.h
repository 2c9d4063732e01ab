#pragma once
// The colour depths a capture or a duplicate can be made at, their colour tables, and the pixel
// conversions every command shares. Conversions go through precomputed tables: no per-pixel search.

#include "platform/pixels/Bitmap.h"
#include "platform/pixels/DisplayPixels.h"
#include "formats/core/ColorTables.h"

#include <QVector>
#include <cstdint>

namespace kaptiv {

enum class CaptureColors { Monochrome, Colors16, Colors256, Highest };

// The tables of formats/core/ColorTables.h as the program's colour tables (the nearest-colour maps
// vgaColorMap() and halftoneColorMap() are the core's).
const QVector<QRgb> &monochromeColors();
const QVector<QRgb> &vgaColors();
const QVector<QRgb> &halftoneColors();

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
