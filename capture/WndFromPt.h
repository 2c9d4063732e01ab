#pragma once
// Which window lies under a screen point while the selection overlay covers the whole screen. The
// toolkit's own lookup would only find the overlay, so a snapshot of the visible windows is taken
// before the overlay shows and every mouse move is answered from it.

#include "platform/desktop/Desktop.h"

#include <QPoint>
#include <vector>

namespace kaptiv {

// One window of the snapshot and its outer rectangle when the snapshot was taken, with the
// top-level window it belongs to (itself for a top-level window).
struct WindowEntry {
    WindowId Handle = 0;
    int Left = 0, Right = 0, Top = 0, Bottom = 0;
    WindowId TopLevel = 0;
    int width() const { return Right - Left; }
    int height() const { return Bottom - Top; }
};

// The windows a user can point at, in the desktop's order (top-level windows from the top of the
// stacking order down, each followed by its descendants). Left out, each with all its descendants:
// hidden and minimised windows and `exclude` (with the window manager's frame around it, if any).
// Under a window manager's frame only the client window and what lies inside it are kept: the
// frame's own decorations are part of the window the user sees, which the frame's entry stands for.
std::vector<WindowEntry> pointableWindows(const std::vector<DesktopWindow> &windows, WindowId exclude);

class WindowLookup {
public:
    // Takes a fresh snapshot of the desktop's windows, leaving out `exclude` (the overlay).
    void ListWindows(Desktop &desktop, WindowId exclude);

    // The window for `point`. Only the top-level window in front at the point and the windows
    // inside it take part: one covered there by another top-level window is not what the user
    // points at. Of those whose snapshot rectangle strictly contains the point, scanning from the
    // bottom of the list up, a window replaces the best so far when it is narrower or shorter than
    // the best one's live rectangle (so a control is chosen over the window around it). When none
    // contains the point the previous answer stands, as long as that window still exists; a
    // destroyed one is forgotten (answer 0).
    WindowId WindowAtPoint(Desktop &desktop, QPoint point);

    // Discards the snapshot; the last answer is kept for the next capture.
    void FreeWindowList();

    const std::vector<WindowEntry> &entries() const { return entries_; }
    WindowId lastResult() const { return lastResult_; }

private:
    std::vector<WindowEntry> entries_;
    WindowId lastResult_ = 0;
};

// The program's one lookup: its last answer carries over from one capture to the next.
WindowLookup &windowLookup();

// Takes the snapshot for one window-picking capture and releases it however the capture ends.
class WindowListHeld {
public:
    WindowListHeld(WindowLookup &lookup, Desktop &desktop, WindowId exclude) : lookup_(lookup)
    {
        lookup_.ListWindows(desktop, exclude);
    }
    ~WindowListHeld() { lookup_.FreeWindowList(); }
    WindowListHeld(const WindowListHeld &) = delete;
    WindowListHeld &operator=(const WindowListHeld &) = delete;

private:
    WindowLookup &lookup_;
};

} // namespace kaptiv
