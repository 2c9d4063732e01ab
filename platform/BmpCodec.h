#pragma once
// Windows bitmap files: 1, 4 and 8 bits with a colour table, 16 bits as 5-6-5 with bit masks,
// 24 and 32 bits; rows bottom-up, each padded to 4 bytes.

#include "platform/Bitmap.h"

#include <QByteArray>
#include <QString>

namespace kaptiv {

QByteArray encodeBmp(const Bitmap &bitmap);
// Writes beside `path` and renames over it only when the whole file is written; raises EOpenFile.
void saveBmp(const Bitmap &bitmap, const QString &path);

// Reads an uncompressed bitmap file (colour table, bit masks, top-down or bottom-up) of any of the
// depths above; raises EOpenFile when the bytes are not a bitmap this program can read.
Bitmap decodeBmp(const QByteArray &bytes);
Bitmap loadBmp(const QString &path);

} // namespace kaptiv
