#include "formats/PngCodec.h"

#include "formats/BitmapPixels.h"
#include "formats/ImageFileIo.h"
#include "formats/core/PictureFile.h"
#include "formats/core/PngFile.h"

namespace kaptiv {

QByteArray encodePng(const Bitmap &bitmap)
{
    const std::vector<std::uint8_t> bytes = reportingCodecErrors([&] { return encodePngFile(pixelsOf(bitmap)); });
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
}

void savePng(const Bitmap &bitmap, const QString &path)
{
    writeImageFile(path, [&] { return encodePng(bitmap); });
}

Bitmap decodePng(const QByteArray &bytes, std::uint64_t maxPixels)
{
    return bitmapOf(reportingCodecErrors([&] { return decodePngFile(bytesOf(bytes), maxPixels); }));
}

Bitmap loadPng(const QString &path)
{
    return bitmapOf(reportingCodecErrors([&] { return loadPngFile(encodeNativeName(path)); }));
}

} // namespace kaptiv
