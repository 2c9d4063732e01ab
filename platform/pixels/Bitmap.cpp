#include "platform/pixels/Bitmap.h"

#include "platform/ui/Errors.h"

#include <stdexcept>

namespace kaptiv {

namespace {

bool storageMatches(const QImage &image, int depth)
{
    switch (depth) {
    case 1: case 4: case 8: return image.format() == QImage::Format_Indexed8;
    case 16: return image.format() == QImage::Format_RGB16 || image.format() == QImage::Format_RGB555;
    case 24: case 32:
        return image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
            || image.format() == QImage::Format_ARGB32_Premultiplied;
    default: return false;
    }
}

[[noreturn]] void outOfMemory(int width, int height)
{
    throw EOutOfMemory(QStringLiteral("Not enough memory for a picture of %1 x %2 pixels.").arg(width).arg(height));
}

} // namespace

QImage allocateImage(int width, int height, QImage::Format format)
{
    QImage image(width, height, format);
    if (image.isNull() && width > 0 && height > 0)
        outOfMemory(width, height);
    return image;
}

QImage convertImage(const QImage &image, QImage::Format format)
{
    QImage converted = image.convertToFormat(format);
    if (converted.isNull() && !image.isNull())
        outOfMemory(image.width(), image.height());
    return converted;
}

Bitmap::Bitmap(QImage image, int depth) : image_(std::move(image)), depth_(depth)
{
    if (!image_.isNull() && !storageMatches(image_, depth))
        throw std::invalid_argument("Bitmap: image format does not match the declared depth");
}

Bitmap Bitmap::create(int width, int height, int depth, const QVector<QRgb> &colorTable)
{
    QImage::Format format = QImage::Format_RGB32;
    if (depth <= 8)
        format = QImage::Format_Indexed8;
    else if (depth == 16)
        format = QImage::Format_RGB16;
    QImage image = allocateImage(width, height, format);
    if (depth <= 8)
        image.setColorTable(colorTable);
    image.fill(0);
    return Bitmap(std::move(image), depth);
}

Bitmap Bitmap::fromImage(const QImage &image)
{
    switch (image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8: {
        const int colors = image.colorCount();
        const int depth = colors <= 2 ? 1 : colors <= 16 ? 4 : 8;
        return Bitmap(convertImage(image, QImage::Format_Indexed8), depth);
    }
    case QImage::Format_RGB16:
    case QImage::Format_RGB555:
        return Bitmap(image, 16);
    case QImage::Format_RGB32:
        return Bitmap(image, 24);
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        return Bitmap(image, 32);
    default:
        return Bitmap(convertImage(image, image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32),
                      image.hasAlphaChannel() ? 32 : 24);
    }
}

QImage Bitmap::toRgb32() const
{
    if (image_.format() == QImage::Format_RGB32)
        return image_;
    return convertImage(image_, QImage::Format_RGB32);
}

int colorCountOfDepth(int depth)
{
    if (depth <= 0)
        return 0;
    if (depth >= 24)
        return 1 << 24;
    return 1 << depth;
}

} // namespace kaptiv
