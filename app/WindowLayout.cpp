#include "app/WindowLayout.h"

#include <algorithm>
#include <cstdlib>

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

QList<QRect> tiledPlaces(const QRect &area, int count, QSize least)
{
    if (count <= 0)
        return {};
    if (area.height() / count >= least.height())
        return stackedRows(area, count);
    // The grid nearest a square whose cells hold the smallest window; without one, the square grid
    // itself, its cells made that size.
    auto fits = [&](int columns) {
        const int rows = (count + columns - 1) / columns;
        return area.width() / columns >= least.width() && area.height() / rows >= least.height();
    };
    int columns = 1;
    while (columns * columns < count)
        ++columns;
    auto unevenness = [count](int c) { return std::abs(c - (count + c - 1) / c); };
    for (int c = 1; c <= count; ++c)
        if (fits(c) && (!fits(columns) || unevenness(c) < unevenness(columns)))
            columns = c;
    const int rows = (count + columns - 1) / columns;
    // Each band of the grid, or `least` where the area is too small for that.
    auto bands = [](int start, int length, int parts, int smallest) {
        QList<int> edges;
        for (int i = 0; i <= parts; ++i)
            edges.append(length / parts >= smallest ? start + int(qint64(length) * i / parts) : start + i * smallest);
        return edges;
    };
    const QList<int> top = bands(area.top(), area.height(), rows, least.height());
    QList<QRect> places;
    for (int row = 0; row < rows; ++row) {
        const int inRow = std::min(columns, count - row * columns);
        const QList<int> left = bands(area.left(), area.width(), inRow, least.width());
        for (int column = 0; column < inRow; ++column)
            places.append(QRect(left[column], top[row], left[column + 1] - left[column], top[row + 1] - top[row]));
    }
    return places;
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
