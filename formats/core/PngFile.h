#pragma once
// PNG files of pixel buffers, without Qt, through the one PNG encoder (formats/core/PngEncoder.h):
// 1-, 4- and 8-bit pictures as palette images at their depth, 32-bit words with alpha as RGBA,
// everything else as 8-bit RGB (5- and 6-bit channels widened, losing nothing).

#include "formats/core/PixelBuffer.h"

#include "formats/core/BmpFile.h"

#include <cstdint>
#include <span>
#include <vector>

namespace kaptiv {

// Raises CodecError "The picture cannot be written as PNG (<why>)." when libpng refuses it (a
// picture without pixels), CodecError (OutOfMemory) when memory runs out.
std::vector<std::uint8_t> encodePngFile(const PixelBuffer &pixels);

// Reads a PNG file through libpng as the program has always shown PNG pictures: a palette picture
// as indices into its palette (depth 1, 4 or 8 by the palette's size; indices past it become 0),
// 1-bit grey as white and black, 2- and 4-bit grey (and 8-bit grey with a transparent grey) as
// indices into an even ramp of greys, 8-bit grey as 256 greys, 16-bit grey and colour as 24 bits,
// anything with alpha or a transparent colour as 32 bits; 16-bit channels round to 8 bits. Raises
// CodecError "PNG image is not valid." for bytes that are not a whole PNG picture (its end chunk
// included) or have more than `maxPixels` pixels, CodecError (OutOfMemory) when the picture does
// not fit in memory.
PixelBuffer decodePngFile(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels = MaxPicturePixels);

} // namespace kaptiv
