#pragma once
// Qt lays windows out in device-independent pixels, which a scale factor (QT_SCALE_FACTOR, or a
// screen's own) makes larger than the screen's pixels. Pictures of the screen are in the screen's
// own, device pixels; these convert between the two for a window of a given device pixel ratio.

#include <QPointF>
#include <QRect>
#include <QSize>
#include <cmath>

namespace kaptiv {

// The device pixel under a point given in device-independent pixels.
inline QPoint toDevicePixels(QPointF point, qreal ratio)
{
    return {qRound(point.x() * ratio), qRound(point.y() * ratio)};
}

// The smallest rectangle of device-independent pixels that covers `rect` of device pixels.
inline QRect coveringIndependentPixels(const QRect &rect, qreal ratio)
{
    const int left = int(std::floor(rect.left() / ratio)), top = int(std::floor(rect.top() / ratio));
    const int right = int(std::ceil((rect.right() + 1) / ratio)), bottom = int(std::ceil((rect.bottom() + 1) / ratio));
    return {left, top, right - left, bottom - top};
}

inline QSize coveringIndependentPixels(QSize size, qreal ratio)
{
    return coveringIndependentPixels(QRect(QPoint(0, 0), size), ratio).size();
}

} // namespace kaptiv
