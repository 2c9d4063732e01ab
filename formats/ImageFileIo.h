#pragma once
// What every codec does around its bytes: get them through the one file reader and put them down
// through the one file writer, with messages that name the file.

#include "platform/pixels/Bitmap.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <span>
#include <string_view>

namespace kaptiv {

// Reads `path` (a regular file of at most 1 GiB) and decodes it. A file that begins with none of
// `signatures` raises EOpenFile with `notValid`; an EOpenFile or EOutOfMemory raised by `decode`
// comes out with the file's name before its message, since one command may read several files.
Bitmap readImageFile(const QString &path, std::span<const std::string_view> signatures, const QString &notValid,
                     const std::function<Bitmap(const QByteArray &)> &decode);

// Checks that `path` can be written, then writes what `encode` makes; raises EOpenFile naming the
// file, or whatever `encode` raises. A failure leaves any old file as it was.
void writeImageFile(const QString &path, const std::function<QByteArray()> &encode);

} // namespace kaptiv
