#pragma once
// Windows bitmap files for the windowed program: the codec core's (formats/core/BmpFile.h) on its
// bitmaps, and the colour formats a bitmap file can be saved in.

#include "formats/core/BmpFile.h"
#include "platform/pixels/Bitmap.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace kaptiv {

// Raises EOpenFile for a picture too large for the format (a file of 4 GiB or more).
QByteArray encodeBmp(const Bitmap &bitmap);
// Writes through the one file writer (platform/files/FileAccess.h); raises EOpenFile naming the file.
void saveBmp(const Bitmap &bitmap, const QString &path);

// Reads a bitmap file (colour table, bit masks, run lengths, top-down or bottom-up) of any of the
// depths above; raises EOpenFile "Bitmap image is not valid." when the bytes are not a bitmap this
// program can read or its picture has more than `maxPixels` pixels, and EOutOfMemory when its
// picture does not fit in memory.
Bitmap decodeBmp(const QByteArray &bytes, std::uint64_t maxPixels = MaxPicturePixels);

// readDibLayout and decodeDib of formats/core/BmpFile.h on the program's byte arrays and bitmaps,
// raising EOpenFile and EOutOfMemory.
DibLayout readDibLayout(const QByteArray &bytes, qint64 headerOffset, qint64 pixelsOffset, bool withIconMask,
                        std::uint64_t maxPixels = MaxPicturePixels);
Bitmap decodeDib(const QByteArray &bytes, const DibLayout &layout);
// Reads the file through the one file reader (a regular file of at most 1 GiB that begins "BM");
// every message names the file.
Bitmap loadBmp(const QString &path);

// The colour formats a bitmap file can be saved in: 1 bit black and white, 4 bits with the 16 VGA
// colours, 8 bits with the halftone table, 16 bits 5-6-5, or the picture's own.
enum class BmpColorFormat { Monochrome, Colors16, Colors256, Bits16, AsIs };
// The picture converted to `format` by the conversions every command shares; raises EOutOfMemory.
Bitmap bitmapInColorFormat(const Bitmap &picture, BmpColorFormat format);

} // namespace kaptiv
