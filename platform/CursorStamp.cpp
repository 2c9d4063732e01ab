#include "platform/CursorStamp.h"

#include "platform/PixelFormats.h"

#include <QPainter>

namespace kaptiv {

void stampCursor(Bitmap &bitmap, const CursorImage &cursor, QPoint topLeft)
{
    if (cursor.image.isNull() || bitmap.isNull())
        return;
    const QRect area = QRect(topLeft, cursor.image.size()).intersected(bitmap.image().rect());
    if (area.isEmpty())
        return;
    if (!bitmap.isIndexed()) {
        QPainter painter(&bitmap.image());
        painter.drawImage(topLeft, cursor.image);
        return;
    }
    // Indexed pixels cannot be painted on: draw over a 32-bit copy of the covered area, then map back.
    QImage covered = bitmap.image().copy(area).convertToFormat(QImage::Format_RGB32);
    {
        QPainter painter(&covered);
        painter.drawImage(topLeft - area.topLeft(), cursor.image);
    }
    remapIntoIndexed(bitmap, covered, area.x(), area.y());
}

} // namespace kaptiv
