#pragma once
// Windows bitmap files: 1, 4 and 8 bits with a colour table, 16 bits as 5-6-5 with bit masks,
// 24 and 32 bits; rows bottom-up, each padded to 4 bytes.

#include "platform/Bitmap.h"

#include <QByteArray>
#include <QString>

namespace kaptiv {

// Raises EOpenFile for a picture too large for the format (a file of 4 GiB or more).
QByteArray encodeBmp(const Bitmap &bitmap);
// Writes through the one file writer (platform/FileAccess.h); raises EOpenFile naming the file.
void saveBmp(const Bitmap &bitmap, const QString &path);

// Reads an uncompressed bitmap file (colour table, bit masks, top-down or bottom-up) of any of the
// depths above; raises EOpenFile "Bitmap image is not valid." when the bytes are not a bitmap this
// program can read, and EOutOfMemory when its picture does not fit in memory.
Bitmap decodeBmp(const QByteArray &bytes);
// Reads the file through the one file reader (a regular file of at most 1 GiB that begins "BM");
// every message names the file.
Bitmap loadBmp(const QString &path);

} // namespace kaptiv
