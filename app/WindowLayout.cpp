#include "app/WindowLayout.h"

#include <algorithm>

namespace kaptiv {

QList<QRect> stackedRows(const QRect &area, int count)
{
    QList<QRect> rows;
    for (int i = 0; i < count; ++i) {
        const int top = area.top() + int(qint64(area.height()) * i / count);
        const int bottom = area.top() + int(qint64(area.height()) * (i + 1) / count);
        rows.append(QRect(area.left(), top, area.width(), bottom - top));
    }
    return rows;
}

QList<QRect> cascadePlaces(const QRect &area, int count, int step)
{
    QList<QRect> places;
    if (count <= 0)
        return places;
    step = std::max(step, 1);
    const int perRun = std::clamp(std::min(area.width(), area.height()) / 3 / step, 1, count);
    const QSize size(std::max(area.width() - (perRun - 1) * step, 1), std::max(area.height() - (perRun - 1) * step, 1));
    for (int i = 0; i < count; ++i)
        places.append(QRect(area.topLeft() + QPoint(i % perRun, i % perRun) * step, size));
    return places;
}

QList<QPoint> iconRowPlaces(const QRect &area, const QList<QSize> &sizes)
{
    QList<QPoint> places;
    int x = area.left();
    int rowBottom = area.top() + area.height(); // one past the row's last line
    int rowHeight = 0;
    for (const QSize &size : sizes) {
        if (x > area.left() && x + size.width() > area.left() + area.width()) {
            x = area.left();
            rowBottom -= rowHeight;
            rowHeight = 0;
        }
        places.append(QPoint(x, rowBottom - size.height()));
        x += size.width();
        rowHeight = std::max(rowHeight, size.height());
    }
    return places;
}

} // namespace kaptiv
