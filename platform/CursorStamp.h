#pragma once

#include "platform/Bitmap.h"
#include "platform/Desktop.h"

namespace kaptiv {

// Draws a cursor image into a bitmap with the image's top-left corner at `topLeft` (the hot spot is
// not subtracted), blending by the cursor's own transparency and clipping at the bitmap's edges.
// An indexed bitmap takes the drawn pixels back through its own colour rule.
void stampCursor(Bitmap &bitmap, const CursorImage &cursor, QPoint topLeft);

} // namespace kaptiv
