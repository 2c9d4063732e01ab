#pragma once
// PNG files for the windowed program: the codec core's (formats/core/PngFile.h) on its bitmaps. A
// palette picture stays a palette picture at the depth its colour count needs (1, 4 or 8 bits), an
// 8-bit grey one becomes 8 bits with a grey table, colour 24 bits and colour with transparency 32
// bits.

#include "formats/BmpCodec.h"
#include "platform/pixels/Bitmap.h"

#include <QByteArray>
#include <QString>

namespace kaptiv {

// Writes 1-, 4- and 8-bit pictures as palette images, the others as 8-bit RGB (RGBA for a 32-bit
// picture with transparency); raises EOutOfMemory, or EOpenFile when the picture cannot be encoded.
QByteArray encodePng(const Bitmap &bitmap);
// Writes through the one file writer; raises as encodePng, and EOpenFile naming the file.
void savePng(const Bitmap &bitmap, const QString &path);

// Raises EOpenFile "PNG image is not valid." for bytes that are not a whole PNG picture or have
// more than `maxPixels` pixels, EOutOfMemory when the picture does not fit in memory.
Bitmap decodePng(const QByteArray &bytes, std::uint64_t maxPixels = MaxPicturePixels);
// Reads the file through the one file reader (a regular file of at most 1 GiB with the PNG
// signature); every message names the file.
Bitmap loadPng(const QString &path);

} // namespace kaptiv
