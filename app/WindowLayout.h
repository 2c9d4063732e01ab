#pragma once
// Where Tile and Arrange Icons put the image windows inside the document area.

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace kaptiv {

// `count` rows, one above another, each the area's full width; together they cover the area
// exactly (the rows' heights differ by one pixel at most).
QList<QRect> stackedRows(const QRect &area, int count);

// Places for `count` windows that cover the area without overlapping: full-width rows as
// stackedRows makes them while a row keeps at least `least`'s height; otherwise the grid nearest a
// square (as many columns as rows) whose cells keep `least`, read row by row, its last row's
// windows sharing the whole width. Only when no grid's cells can keep `least` does the square grid
// reach past the area, its cells made `least`'s size.
QList<QRect> tiledPlaces(const QRect &area, int count, QSize least);

// `count` windows of one size, each `step` pixels right of and below the one before; the windows
// are as large as the area allows while a run of them keeps at least two thirds of its height and
// width, and a new run starts at the top-left corner when one is full.
QList<QRect> cascadePlaces(const QRect &area, int count, int step);

// Minimised windows of the given sizes lined up along the area's bottom edge from the left, a new
// row above the last one whenever a window would cross the right edge.
QList<QPoint> iconRowPlaces(const QRect &area, const QList<QSize> &sizes);

} // namespace kaptiv
