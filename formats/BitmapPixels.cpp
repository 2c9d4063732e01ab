#include "formats/BitmapPixels.h"

#include <memory>

namespace kaptiv {

namespace {

PixelFormat pixelFormatOf(QImage::Format format)
{
    switch (format) {
    case QImage::Format_Indexed8: return PixelFormat::Index8;
    case QImage::Format_RGB16: return PixelFormat::Rgb565;
    case QImage::Format_RGB555: return PixelFormat::Rgb555;
    case QImage::Format_ARGB32: return PixelFormat::Argb32;
    default: return PixelFormat::Xrgb32;
    }
}

QImage::Format imageFormatOf(PixelFormat format)
{
    switch (format) {
    case PixelFormat::Index8: return QImage::Format_Indexed8;
    case PixelFormat::Rgb565: return QImage::Format_RGB16;
    case PixelFormat::Rgb555: return QImage::Format_RGB555;
    case PixelFormat::Argb32: return QImage::Format_ARGB32;
    case PixelFormat::Bgr24:
    case PixelFormat::Xrgb32: break;
    }
    return QImage::Format_RGB32;
}

} // namespace

PixelBuffer pixelsOf(const Bitmap &bitmap)
{
    QImage image = bitmap.image();
    if (image.format() == QImage::Format_ARGB32_Premultiplied)
        image = convertImage(image, QImage::Format_ARGB32);
    const QVector<QRgb> table = image.colorTable();
    auto owner = std::make_shared<const QImage>(std::move(image)); // shares the pixels, copies none
    return PixelBuffer::wrap(const_cast<std::uint8_t *>(owner->constBits()), owner->width(), owner->height(),
                             owner->bytesPerLine(), pixelFormatOf(owner->format()), bitmap.depth(),
                             std::vector<std::uint32_t>(table.begin(), table.end()), owner);
}

Bitmap bitmapOf(const PixelBuffer &pixels)
{
    if (pixels.isNull())
        return Bitmap(QImage(), pixels.depth());
    if (pixels.format() == PixelFormat::Bgr24) { // a bitmap keeps 24 bits in 32-bit words
        QImage image = allocateImage(pixels.width(), pixels.height(), QImage::Format_RGB32);
        for (int y = 0; y < pixels.height(); ++y)
            pixels.rowAsXrgb32(y, reinterpret_cast<std::uint32_t *>(image.scanLine(y)));
        return Bitmap(std::move(image), 24);
    }
    using Owner = std::shared_ptr<const void>;
    auto *owner = new Owner(pixels.owner());
    QImage image(const_cast<uchar *>(pixels.bits()), pixels.width(), pixels.height(), pixels.stride(),
                 imageFormatOf(pixels.format()), [](void *held) { delete static_cast<Owner *>(held); }, owner);
    if (pixels.format() == PixelFormat::Index8)
        image.setColorTable(QVector<QRgb>(pixels.colorTable().begin(), pixels.colorTable().end()));
    return Bitmap(std::move(image), pixels.depth());
}

} // namespace kaptiv
