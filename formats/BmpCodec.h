#pragma once
// Windows bitmap files: 1, 4 and 8 bits with a colour table, 16 bits as 5-6-5 with bit masks,
// 24 and 32 bits; rows bottom-up, each padded to 4 bytes. Read also: 4- and 8-bit run lengths.

#include "platform/Bitmap.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace kaptiv {

// Raises EOpenFile for a picture too large for the format (a file of 4 GiB or more).
QByteArray encodeBmp(const Bitmap &bitmap);
// Writes through the one file writer (platform/FileAccess.h); raises EOpenFile naming the file.
void saveBmp(const Bitmap &bitmap, const QString &path);

// The most pixels a reader makes a picture of (16384 x 16384, 1 GiB at 32 bits).
inline constexpr std::uint64_t MaxPicturePixels = std::uint64_t(1) << 28;

// Reads a bitmap file (colour table, bit masks, run lengths, top-down or bottom-up) of any of the
// depths above; raises EOpenFile "Bitmap image is not valid." when the bytes are not a bitmap this
// program can read or its picture has more than `maxPixels` pixels, and EOutOfMemory when its
// picture does not fit in memory.
Bitmap decodeBmp(const QByteArray &bytes, std::uint64_t maxPixels = MaxPicturePixels);

// The device-independent bitmap whose header starts at `headerOffset`, its pixels at `pixelsOffset`
// or, when that is negative, right after its colour table. With `withIconMask` the header's height
// counts the colour rows and the mask rows of an icon, and the picture is the colour rows. Raises
// as decodeBmp.
Bitmap decodeDib(const QByteArray &bytes, qint64 headerOffset, qint64 pixelsOffset, bool withIconMask,
                 std::uint64_t maxPixels = MaxPicturePixels);
// Reads the file through the one file reader (a regular file of at most 1 GiB that begins "BM");
// every message names the file.
Bitmap loadBmp(const QString &path);

// The colour formats a bitmap file can be saved in: 1 bit black and white, 4 bits with the 16 VGA
// colours, 8 bits with the halftone table, 16 bits 5-6-5, or the picture's own.
enum class BmpColorFormat { Monochrome, Colors16, Colors256, Bits16, AsIs };
// The picture converted to `format` by the conversions every command shares; raises EOutOfMemory.
Bitmap bitmapInColorFormat(const Bitmap &picture, BmpColorFormat format);

} // namespace kaptiv
