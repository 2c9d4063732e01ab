#pragma once
// JPEG (JFIF) files through libjpeg, on pixel buffers and without Qt: read into 24-bit pixels,
// written at a quality of 1 to 100, in colour or as one grey channel, baseline or progressive.

#include "formats/core/BmpFile.h"
#include "formats/core/PixelBuffer.h"

#include <cstdint>
#include <span>
#include <vector>

namespace kaptiv {

struct JpegOptions {
    int quality = 75;         // 1 (smallest file) to 100 (best picture)
    bool grayscale = false;   // one grey channel instead of three colour channels
    bool progressive = false; // a coarse picture first, refined by later scans
};

// Pixels of any format, as their colours (PixelBuffer::rowAsXrgb32). Raises std::invalid_argument
// for a quality outside 1..100, CodecError (OutOfMemory) when memory runs out and CodecError when
// libjpeg refuses the picture ("The picture cannot be written as JPEG (<why>).", a side longer
// than 65500 pixels).
std::vector<std::uint8_t> encodeJpegFile(const PixelBuffer &pixels, const JpegOptions &options = {});

// Decodes colour, grey and CMYK JPEG files, baseline or progressive, into Xrgb32 pixels of depth
// 24. A file cut short gives what it holds, the rest grey, as other viewers show it. Raises
// CodecError "JPEG image is not valid (<why>)." when libjpeg refuses the bytes or the picture has
// more than `maxPixels` pixels, CodecError (OutOfMemory) when the picture does not fit in memory.
PixelBuffer decodeJpegFile(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels = MaxPicturePixels);

} // namespace kaptiv
