#include "platform/pixels/CursorStamp.h"

#include "platform/pixels/PixelFormats.h"

#include <algorithm>
#include <cstring>

namespace kaptiv {

namespace {

// `covered` (Format_ARGB32, the picture's pixels under the cursor) with the cursor drawn on it;
// `offset` is where the covered area starts within the cursor.
void drawOver(QImage &covered, const CursorImage &cursor, QPoint offset)
{
    const QImage colour = convertImage(cursor.image, QImage::Format_ARGB32);
    const QImage invert = cursor.invert.isNull() ? QImage() : convertImage(cursor.invert, QImage::Format_RGB32);
    for (int y = 0; y < covered.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(covered.scanLine(y));
        const auto *in = reinterpret_cast<const QRgb *>(colour.constScanLine(y + offset.y())) + offset.x();
        for (int x = 0; x < covered.width(); ++x) {
            const int a = qAlpha(in[x]);
            const QRgb d = row[x];
            auto over = [a](int c, int under) { return (c * a + under * (255 - a) + 127) / 255; };
            row[x] = qRgba(over(qRed(in[x]), qRed(d)), over(qGreen(in[x]), qGreen(d)), over(qBlue(in[x]), qBlue(d)),
                           a + (qAlpha(d) * (255 - a) + 127) / 255);
        }
        if (invert.isNull() || y + offset.y() >= invert.height())
            continue;
        const auto *flip = reinterpret_cast<const QRgb *>(invert.constScanLine(y + offset.y())) + offset.x();
        const int flipped = std::min(covered.width(), invert.width() - offset.x());
        for (int x = 0; x < flipped; ++x)
            row[x] ^= flip[x] & 0x00FFFFFFu;
    }
}

// The pixels of `area` (within `image`) in the image's own format; EOutOfMemory, never a null
// image, when memory runs out.
QImage copyOf(const QImage &image, const QRect &area)
{
    QImage copy = allocateImage(area.width(), area.height(), image.format());
    copy.setColorTable(image.colorTable());
    const size_t pixelBytes = size_t(image.depth() / 8);
    for (int y = 0; y < area.height(); ++y)
        std::memcpy(copy.scanLine(y), image.constScanLine(area.y() + y) + size_t(area.x()) * pixelBytes,
                    size_t(area.width()) * pixelBytes);
    return copy;
}

} // namespace

void stampCursor(Bitmap &bitmap, const CursorImage &cursor, QPoint topLeft)
{
    if (cursor.image.isNull() || bitmap.isNull())
        return;
    const QRect area = QRect(topLeft, cursor.image.size()).intersected(bitmap.image().rect());
    if (area.isEmpty())
        return;
    QImage covered = convertImage(copyOf(bitmap.image(), area), QImage::Format_ARGB32);
    drawOver(covered, cursor, area.topLeft() - topLeft);
    if (bitmap.isIndexed()) {
        remapIntoIndexed(bitmap, convertImage(covered, QImage::Format_RGB32), area.x(), area.y());
        return;
    }
    const QImage drawn = convertImage(covered, bitmap.image().format());
    const size_t pixelBytes = size_t(bitmap.image().depth() / 8);
    for (int y = 0; y < area.height(); ++y)
        std::memcpy(bitmap.image().scanLine(area.y() + y) + size_t(area.x()) * pixelBytes, drawn.constScanLine(y),
                    size_t(area.width()) * pixelBytes);
}

} // namespace kaptiv
