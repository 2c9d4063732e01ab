#pragma once
// Windows bitmap files on pixel buffers, without Qt: read at 1, 4 and 8 bits with a colour table
// (also 4- and 8-bit run lengths), 16 bits through bit masks, 24 and 32 bits, rows bottom-up or
// top-down; written as formats/core/BmpEncoder.h lays them out.

#include "formats/core/PixelBuffer.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace kaptiv {

// The most pixels a reader makes a picture of (16384 x 16384, 1 GiB at 32 bits).
inline constexpr std::uint64_t MaxPicturePixels = std::uint64_t(1) << 28;

// The whole file; raises CodecError "A picture of W x H pixels at D bits is too large for a bitmap
// file." for a file of 4 GiB or more.
std::vector<std::uint8_t> encodeBmpFile(const PixelBuffer &pixels);

// Reads a bitmap file; raises CodecError "Bitmap image is not valid." when the bytes are not a
// bitmap this program can read or its picture has more than `maxPixels` pixels, and CodecError
// (OutOfMemory) when its picture does not fit in memory. The pixels come as the file holds them:
// Index8 with the file's table (entries it lacks are black) at 1, 4 and 8 bits, Rgb565 or Rgb555
// for 16-bit words of those masks, other 16-bit masks widened to 8 bits a channel and stored as
// 5-6-5, Xrgb32 at 24 and 32 bits. Given the `owner` of the bytes, a 24-bit picture is the file's
// own rows (Bgr24), which stay alive with it.
PixelBuffer decodeBmpFile(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels = MaxPicturePixels,
                          std::shared_ptr<const void> owner = nullptr);

// Where the parts of a device-independent bitmap lie, read once from its header: the bitmap file
// and the icon file readers both take their offsets from here.
struct DibLayout {
    int width = 0, height = 0; // of the picture: an icon's colour rows, not its mask rows
    int depth = 0;
    bool topDown = false;
    bool runLengths = false;             // 4- or 8-bit run lengths
    std::array<std::uint32_t, 3> masks{}; // red, green, blue of a 16- or 32-bit picture
    std::int64_t tableOffset = 0;
    int tableEntries = 0;                // colour table entries stored (1 to 2^depth; none above 8 bits)
    std::int64_t pixelsOffset = 0;
    std::int64_t rowBytes = 0;           // a stored row, padded to 4 bytes
    std::int64_t maskOffset = 0, maskRowBytes = 0; // an icon's mask rows, right after the colour rows
};

// The layout of the device-independent bitmap whose header starts at `headerOffset`, its pixels
// at `pixelsOffset` or, when that is negative, right after its colour table. With `withIconMask`
// the header's height counts the colour rows and the mask rows of an icon. The header, the colour
// table and (unless run-length coded) the pixels lie within `bytes`; the mask rows may not.
// Raises CodecError "Bitmap image is not valid." for a header this program cannot read or a
// picture of more than `maxPixels` pixels.
DibLayout readDibLayout(std::span<const std::uint8_t> bytes, std::int64_t headerOffset, std::int64_t pixelsOffset,
                        bool withIconMask, std::uint64_t maxPixels = MaxPicturePixels);
// The picture `layout` describes within `bytes`, as decodeBmpFile gives it.
PixelBuffer decodeDib(std::span<const std::uint8_t> bytes, const DibLayout &layout, std::shared_ptr<const void> owner = nullptr);

} // namespace kaptiv
