#include "capture/InvertedOutline.h"

#include <algorithm>

namespace kaptiv {

QRegion outlineRegion(const ScreenRect &rect, int penWidth)
{
    const int before = penWidth / 2, after = (penWidth - 1) / 2;
    const int right = std::max(rect.Left, rect.Right - 1), bottom = std::max(rect.Top, rect.Bottom - 1);
    const QRect outer(QPoint(rect.Left - before, rect.Top - before), QPoint(right + after, bottom + after));
    const QRect inner(QPoint(rect.Left + after + 1, rect.Top + after + 1),
                      QPoint(right - before - 1, bottom - before - 1));
    QRegion region(outer);
    if (inner.isValid())
        region -= QRegion(inner);
    return region;
}

void invertRegion(QImage &image, const QRegion &region)
{
    // QRegion keeps its rectangles disjoint, so no pixel is inverted twice.
    for (const QRect &r : region) {
        const QRect clipped = r & image.rect();
        for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
            QRgb *row = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = clipped.left(); x <= clipped.right(); ++x)
                row[x] ^= 0x00FFFFFFu;
        }
    }
}

} // namespace kaptiv
