#pragma once
// Frames on the frozen picture are drawn by inverting the pixels under a rectangle's outline and
// erased by inverting the same pixels again, so nothing but the outline is ever touched.

#include "platform/desktop/Desktop.h"

#include <QImage>
#include <QRegion>

namespace kaptiv {

// The pixels a pen of `penWidth` covers when it outlines `rect` (right and bottom exclusive): a
// band centred on the outermost rows and columns of the rectangle. A rectangle of no width or no
// height still shows as a line, so that a drag along one row or column can be seen.
QRegion outlineRegion(const ScreenRect &rect, int penWidth);

// Inverts every pixel of `region` once (RGB32 pixels; what lies outside the image is skipped).
void invertRegion(QImage &image, const QRegion &region);

} // namespace kaptiv
