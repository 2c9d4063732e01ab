#include "formats/PngCodec.h"

#include "formats/ImageFileIo.h"
#include "platform/ui/Errors.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QtEndian>

#include <cstring>

namespace kaptiv {

namespace {

constexpr char Signature[] = "\x89PNG\r\n\x1A\n";

[[noreturn]] void invalid() { throw EOpenFile(QStringLiteral("PNG image is not valid.")); }

// An 8-bit grey picture as an indexed one with a table of the 256 greys.
Bitmap greyToIndexed(const QImage &grey)
{
    QVector<QRgb> ramp(256);
    for (int i = 0; i < 256; ++i)
        ramp[i] = qRgb(i, i, i);
    Bitmap bitmap = Bitmap::create(grey.width(), grey.height(), 8, ramp);
    for (int y = 0; y < grey.height(); ++y)
        std::memcpy(bitmap.image().scanLine(y), grey.constScanLine(y), size_t(grey.width()));
    return bitmap;
}

} // namespace

QByteArray encodePng(const Bitmap &bitmap)
{
    QImage image = bitmap.image();
    if (!bitmap.isIndexed() && image.format() != QImage::Format_ARGB32)
        image = bitmap.toRgb32(); // 16-bit pixels widen to 8 bits a channel, losing nothing
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image)) {
        if (writer.error() == QImageWriter::UnknownError && !image.isNull())
            throw EOutOfMemory(outOfMemoryMessage());
        throw EOpenFile(QStringLiteral("The picture cannot be written as PNG (%1).").arg(writer.errorString()));
    }
    return bytes;
}

void savePng(const Bitmap &bitmap, const QString &path)
{
    writeImageFile(path, [&] { return encodePng(bitmap); });
}

Bitmap decodePng(const QByteArray &bytes, std::uint64_t maxPixels)
{
    // The size is in the header chunk right after the signature: look before Qt allocates.
    if (bytes.size() < 33 || std::memcmp(bytes.constData(), Signature, 8) != 0
        || std::memcmp(bytes.constData() + 12, "IHDR", 4) != 0)
        invalid();
    const quint32 width = qFromBigEndian<quint32>(bytes.constData() + 16);
    const quint32 height = qFromBigEndian<quint32>(bytes.constData() + 20);
    if (width == 0 || height == 0 || std::uint64_t(width) * height > maxPixels)
        invalid();

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    reader.setAutoTransform(false);
    // Qt's own cap is 256 MiB; ours is the pixel limit above.
    reader.setAllocationLimit(int(maxPixels * 8 / (1024 * 1024)) + 1);
    const QImage::Format format = reader.imageFormat();
    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        // Qt tells a picture it could not allocate from a damaged one only in a warning: if a
        // picture of the header's size and Qt's format does not fit either, memory ran out.
        if (format != QImage::Format_Invalid)
            allocateImage(int(width), int(height), format);
        invalid();
    }
    if (image.format() == QImage::Format_Grayscale8)
        return greyToIndexed(image);
    return Bitmap::fromImage(image);
}

Bitmap loadPng(const QString &path)
{
    static constexpr std::string_view Signatures[] = {std::string_view(Signature, 8)};
    return readImageFile(path, Signatures, QStringLiteral("PNG image is not valid."),
                         [](const QByteArray &bytes) { return decodePng(bytes); });
}

} // namespace kaptiv
