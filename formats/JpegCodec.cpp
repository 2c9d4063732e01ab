#include "formats/JpegCodec.h"

#include "formats/BitmapPixels.h"
#include "formats/ImageFileIo.h"
#include "formats/core/PictureFile.h"

namespace kaptiv {

QByteArray encodeJpeg(const Bitmap &bitmap, const JpegOptions &options)
{
    const std::vector<std::uint8_t> bytes = reportingCodecErrors([&] { return encodeJpegFile(pixelsOf(bitmap), options); });
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
}

void saveJpeg(const Bitmap &bitmap, const QString &path, const JpegOptions &options)
{
    writeImageFile(path, [&] { return encodeJpeg(bitmap, options); });
}

Bitmap decodeJpeg(const QByteArray &bytes, std::uint64_t maxPixels)
{
    return bitmapOf(reportingCodecErrors([&] { return decodeJpegFile(bytesOf(bytes), maxPixels); }));
}

Bitmap loadJpeg(const QString &path)
{
    return bitmapOf(reportingCodecErrors([&] { return loadJpegFile(encodeNativeName(path)); }));
}

} // namespace kaptiv
