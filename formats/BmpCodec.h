#pragma once
// Windows bitmap files: 1, 4 and 8 bits with a colour table, 16 bits as 5-6-5 with bit masks,
// 24 and 32 bits; rows bottom-up, each padded to 4 bytes. Read also: 4- and 8-bit run lengths.

#include "platform/pixels/Bitmap.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>

namespace kaptiv {

// Raises EOpenFile for a picture too large for the format (a file of 4 GiB or more).
QByteArray encodeBmp(const Bitmap &bitmap);
// Writes through the one file writer (platform/files/FileAccess.h); raises EOpenFile naming the file.
void saveBmp(const Bitmap &bitmap, const QString &path);

// The most pixels a reader makes a picture of (16384 x 16384, 1 GiB at 32 bits).
inline constexpr std::uint64_t MaxPicturePixels = std::uint64_t(1) << 28;

// Reads a bitmap file (colour table, bit masks, run lengths, top-down or bottom-up) of any of the
// depths above; raises EOpenFile "Bitmap image is not valid." when the bytes are not a bitmap this
// program can read or its picture has more than `maxPixels` pixels, and EOutOfMemory when its
// picture does not fit in memory.
Bitmap decodeBmp(const QByteArray &bytes, std::uint64_t maxPixels = MaxPicturePixels);

// Where the parts of a device-independent bitmap lie, read once from its header: the bitmap file
// and the icon file readers both take their offsets from here.
struct DibLayout {
    int width = 0, height = 0; // of the picture: an icon's colour rows, not its mask rows
    int depth = 0;
    bool topDown = false;
    bool runLengths = false;          // 4- or 8-bit run lengths
    std::array<quint32, 3> masks{};   // red, green, blue of a 16- or 32-bit picture
    qint64 tableOffset = 0;
    int tableEntries = 0;             // colour table entries stored (1 to 2^depth; none above 8 bits)
    qint64 pixelsOffset = 0;
    qint64 rowBytes = 0;              // a stored row, padded to 4 bytes
    qint64 maskOffset = 0, maskRowBytes = 0; // an icon's mask rows, right after the colour rows
};

// The layout of the device-independent bitmap whose header starts at `headerOffset`, its pixels
// at `pixelsOffset` or, when that is negative, right after its colour table. With `withIconMask`
// the header's height counts the colour rows and the mask rows of an icon. The header, the colour
// table and (unless run-length coded) the pixels lie within `bytes`; the mask rows may not.
// Raises EOpenFile "Bitmap image is not valid." for a header this program cannot read or a picture
// of more than `maxPixels` pixels.
DibLayout readDibLayout(const QByteArray &bytes, qint64 headerOffset, qint64 pixelsOffset, bool withIconMask,
                        std::uint64_t maxPixels = MaxPicturePixels);
// The picture `layout` describes within `bytes`; raises EOpenFile as decodeBmp, EOutOfMemory when
// it does not fit in memory.
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
