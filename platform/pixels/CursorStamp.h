#pragma once

#include "platform/pixels/Bitmap.h"
#include "platform/desktop/Desktop.h"

namespace kaptiv {

// Draws a cursor into a bitmap with the cursor's top-left corner at `topLeft` (the hot spot is not
// subtracted), clipped at the bitmap's edges: each colour channel becomes
// (cursor * alpha + picture * (255 - alpha) + 127) / 255, then the cursor's inverting pixels are
// XORed in. An indexed bitmap takes the drawn pixels back through its own colour rule.
void stampCursor(Bitmap &bitmap, const CursorImage &cursor, QPoint topLeft);

} // namespace kaptiv
