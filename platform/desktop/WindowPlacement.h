#pragma once
// Where the program's own windows really stand on the screen. Qt lays windows out in
// device-independent pixels and learns a window manager's frame only after the window is shown;
// what the user can reach is the frame, title bar included, in the screen's pixels.

#include <QMargins>
#include <QPoint>

class QWidget;

namespace kaptiv {

enum class FrameFit {
    Move,         // a window whose size is part of its layout: only moved
    MoveAndShrink // made smaller too when its frame is larger than the free area
};

// From now on, each time `window` (a top-level window) is shown, once it is on the screen and
// framed its whole frame is moved into the screen's free area (the screen less panels and docks),
// measured in the screen's pixels. A window already inside is left where its placement put it.
void keepFrameInFreeArea(QWidget &window, FrameFit fit);

// The frame around a shown top-level window as the window manager says it (_NET_FRAME_EXTENTS),
// in the screen's pixels; the toolkit's own measure where the window manager says nothing.
QMargins frameExtents(const QWidget &window);

// The screen pixel at `widget`'s top-left corner, exact even where the window stands at an odd
// pixel of a scaled screen (which device-independent coordinates cannot say).
QPoint screenPixelOrigin(const QWidget &widget);

// The width a title bar needs to show `window`'s whole caption beside its icon and buttons, in
// device-independent pixels.
int titleBarRoom(const QWidget &window);

} // namespace kaptiv
