#pragma once
// The bytes of a Windows bitmap file made from rows of pixels, with nothing but the standard
// library, so the program's bitmaps and the command-line front's screen grabs are written by one
// encoder: a 14-byte file header, a 40-byte information header, for 16 bits the three bit masks,
// for 1, 4 and 8 bits the colour table, then the rows bottom-up, each padded with zero bytes to a
// multiple of 4.

#include "formats/core/PixelBuffer.h"
#include "platform/pixels/DisplayPixels.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kaptiv::bmp {

// How the source pixels lie in memory: a byte a pixel holding a colour-table index; 16-bit words of
// 5-6-5 or 5-5-5; 32-bit words 0xXXRRGGBB whose top byte is spare or alpha; bytes blue, green, red
// (for 24 bits only). Words are in the machine's own byte order.
enum class SourcePixels { Index8, Words565, Words555, Xrgb32, Argb32, Bgr24 };

// The words of pixels kept in `words` (not Other, which is never kept as it comes).
SourcePixels sourcePixelsOf(PixelLayout words);
// The words of a pixel buffer's rows.
SourcePixels sourcePixelsOf(PixelFormat format);

struct SourceRows {
    const std::uint8_t *top = nullptr; // the first (top) row
    std::ptrdiff_t bytesPerLine = 0;
    int width = 0, height = 0;
    SourcePixels kind = SourcePixels::Xrgb32;
};

// 1, 4 or 8 bits from Index8 rows with `colorTable` (0xAARRGGBB; entries it lacks are black),
// 16 from 5-6-5 or 5-5-5 words, 24 or 32 from 32-bit words (32 keeps alpha, a spare byte is 0).
struct FileLayout {
    int depth = 24;
    std::span<const std::uint32_t> colorTable = {};
};

// The size of the file, or nothing when it would be 4 GiB or more (the header holds it in 32 bits).
std::optional<std::uint32_t> fileSize(int width, int height, int depth);

// Writes the whole file into `out`, which holds exactly fileSize(...) bytes; need not be zeroed.
void encode(const SourceRows &rows, const FileLayout &layout, std::span<std::uint8_t> out);

// The same in parts, for a file written while its pixels are still being read: the headers of a
// picture of `picture`'s size and kind (its rows are not looked at) take headersSize bytes, then
// the rows of each band of the picture, from the bottom band up, take rowSize bytes a row.
std::size_t headersSize(int depth);
std::size_t rowSize(int width, int depth);
void writeHeaders(const SourceRows &picture, const FileLayout &layout, std::uint8_t *out);
void writeRows(const SourceRows &band, int depth, std::uint8_t *out);

} // namespace kaptiv::bmp
