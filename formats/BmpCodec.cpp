#include "formats/BmpCodec.h"

#include "formats/BitmapPixels.h"
#include "formats/ImageFileIo.h"
#include "formats/core/PictureFile.h"
#include "platform/pixels/PixelFormats.h"

namespace kaptiv {

QByteArray encodeBmp(const Bitmap &bitmap)
{
    const std::vector<std::uint8_t> bytes = reportingCodecErrors([&] { return encodeBmpFile(pixelsOf(bitmap)); });
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
}

void saveBmp(const Bitmap &bitmap, const QString &path)
{
    writeImageFile(path, [&] { return encodeBmp(bitmap); });
}

DibLayout readDibLayout(const QByteArray &bytes, qint64 headerOffset, qint64 pixelsOffset, bool withIconMask,
                        std::uint64_t maxPixels)
{
    return reportingCodecErrors(
        [&] { return readDibLayout(bytesOf(bytes), headerOffset, pixelsOffset, withIconMask, maxPixels); });
}

Bitmap decodeDib(const QByteArray &bytes, const DibLayout &layout)
{
    return bitmapOf(reportingCodecErrors([&] { return decodeDib(bytesOf(bytes), layout); }));
}

Bitmap decodeBmp(const QByteArray &bytes, std::uint64_t maxPixels)
{
    return bitmapOf(reportingCodecErrors([&] { return decodeBmpFile(bytesOf(bytes), maxPixels); }));
}

Bitmap loadBmp(const QString &path)
{
    return bitmapOf(reportingCodecErrors([&] { return loadBmpFile(encodeNativeName(path)); }));
}

Bitmap bitmapInColorFormat(const Bitmap &picture, BmpColorFormat format)
{
    switch (format) {
    case BmpColorFormat::Monochrome: return convertToColors(picture.toRgb32(), 24, CaptureColors::Monochrome);
    case BmpColorFormat::Colors16: return convertToColors(picture.toRgb32(), 24, CaptureColors::Colors16);
    case BmpColorFormat::Colors256: return convertToColors(picture.toRgb32(), 24, CaptureColors::Colors256);
    case BmpColorFormat::Bits16: return Bitmap(convertImage(picture.toRgb32(), QImage::Format_RGB16), 16);
    case BmpColorFormat::AsIs: break;
    }
    return picture;
}

} // namespace kaptiv
