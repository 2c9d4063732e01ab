#pragma once
// The copies of the screen every capture command starts from.

#include "platform/pixels/Bitmap.h"
#include "platform/desktop/Desktop.h"
#include "platform/pixels/PixelFormats.h"

#include <QString>

namespace kaptiv {

struct CaptureOptions {
    QString refreshDelay = QStringLiteral("1500"); // milliseconds, as the user typed them
    CaptureColors colors = CaptureColors::Highest;
    bool includeCursor = false;
};

// Blocks for the refresh delay so that other programs can repaint what a hidden window uncovered.
// Raises EConvertError when the text is not a decimal number.
void waitRefreshDelay(const QString &delayText);

// The whole primary screen at the chosen colour depth, the cursor drawn in when asked for.
Bitmap CaptureScreen(Desktop &desktop, const CaptureOptions &options);

// What the active-window capture needs once it knows its window: the pixels of the window's outer
// rectangle (whole window) or of its client area, as the screen shows them, at the chosen depth,
// with the cursor drawn relative to that rectangle. `cursorPos` and `cursor` were read before.
// A window that has gone by then, or goes while it is read, raises ENoWindow like no window at all.
struct WindowCapture {
    Bitmap bitmap;
    ScreenRect rect;
};
WindowCapture captureWindowArea(Desktop &desktop, WindowId window, bool wholeWindow,
                                const CaptureOptions &options, QPoint cursorPos, const CursorImage &cursor);

// The client area of `window` in screen coordinates.
ScreenRect GetClientRectEx(Desktop &desktop, WindowId window);

// The part of a frozen copy under `area` (screen coordinates, which are the copy's own), at the
// copy's depth and with its colour table. What lies outside the copy is black: index 0 of every
// capture colour table, 0 in the 16-bit and 32-bit formats. An area of no width or no height gives
// a bitmap of that size without pixels.
Bitmap cropFrozenScreen(const Bitmap &frozen, const ScreenRect &area);

// Looks for the foreground window after the delay; raises ENoWindow with
// "There is currently no active window." when there is none.
WindowId requireForegroundWindow(Desktop &desktop);

} // namespace kaptiv
