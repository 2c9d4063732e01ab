#pragma once
// JPEG (JFIF) files for the windowed program: the codec core's (formats/core/JpegFile.h) on its
// bitmaps.

#include "formats/BmpCodec.h"
#include "formats/core/JpegFile.h"
#include "platform/pixels/Bitmap.h"

#include <QByteArray>
#include <QString>

namespace kaptiv {

// Raises std::invalid_argument for a quality outside 1..100, EOutOfMemory when memory runs out and
// EOpenFile when libjpeg refuses the picture (a side longer than 65500 pixels).
QByteArray encodeJpeg(const Bitmap &bitmap, const JpegOptions &options = {});
// Writes through the one file writer; raises as encodeJpeg, and EOpenFile naming the file.
void saveJpeg(const Bitmap &bitmap, const QString &path, const JpegOptions &options = {});

// Decodes colour, grey and CMYK JPEG files into a 24-bit picture (formats/core/JpegFile.h); raises
// EOpenFile "JPEG image is not valid (<why>).", EOutOfMemory when the picture does not fit in memory.
Bitmap decodeJpeg(const QByteArray &bytes, std::uint64_t maxPixels = MaxPicturePixels);
// Reads the file through the one file reader (a regular file of at most 1 GiB beginning FF D8 FF);
// every message names the file.
Bitmap loadJpeg(const QString &path);

} // namespace kaptiv
