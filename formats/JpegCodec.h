#pragma once
// JPEG (JFIF) files through libjpeg: read into a 24-bit picture, written at a quality of 1 to 100,
// in colour or as one grey channel, baseline or progressive.

#include "formats/BmpCodec.h"
#include "platform/pixels/Bitmap.h"

#include <QByteArray>
#include <QString>

namespace kaptiv {

struct JpegOptions {
    int quality = 75;         // 1 (smallest file) to 100 (best picture)
    bool grayscale = false;   // one grey channel instead of three colour channels
    bool progressive = false; // a coarse picture first, refined by later scans
};

// Raises std::invalid_argument for a quality outside 1..100, EOutOfMemory when memory runs out and
// EOpenFile when libjpeg refuses the picture (a side longer than 65500 pixels).
QByteArray encodeJpeg(const Bitmap &bitmap, const JpegOptions &options = {});
// Writes through the one file writer; raises as encodeJpeg, and EOpenFile naming the file.
void saveJpeg(const Bitmap &bitmap, const QString &path, const JpegOptions &options = {});

// Decodes colour, grey and CMYK JPEG files, baseline or progressive, into a 24-bit picture. A file
// cut short gives what it holds, the rest grey, as other viewers show it. Raises EOpenFile "JPEG
// image is not valid (<why>)." when libjpeg refuses the bytes or the picture has more than
// `maxPixels` pixels, EOutOfMemory when the picture does not fit in memory.
Bitmap decodeJpeg(const QByteArray &bytes, std::uint64_t maxPixels = MaxPicturePixels);
// Reads the file through the one file reader (a regular file of at most 1 GiB beginning FF D8 FF);
// every message names the file.
Bitmap loadJpeg(const QString &path);

} // namespace kaptiv
