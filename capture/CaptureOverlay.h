#pragma once
// TCapturefrm: the full-screen selection overlay. It freezes the screen while it is built, shows
// the frozen copy, and lets the user drag a rectangle, point at a window (or its client area), or
// move a region of fixed size; the chosen rectangle is its `Selection`. Frames are inverted into
// the picture and only the outlines that change are repainted, so the picture never flickers.

#include "capture/CaptureHost.h"
#include "capture/WndFromPt.h"
#include "platform/desktop/Desktop.h"

#include <QDialog>
#include <QImage>
#include <QLabel>
#include <memory>
#include <optional>

namespace kaptiv {

class TCapturefrm : public QDialog {
    Q_OBJECT
public:
    enum class Mode { CustomRegion, Rectangle, WindowPicking };

    // Waits the refresh delay and freezes the screen into the host's CaptureBitmap. When that
    // fails (a delay that is no number) the error propagates and no overlay exists.
    TCapturefrm(CaptureHost &host, Desktop &desktop, WindowLookup &lookup = windowLookup());
    ~TCapturefrm() override;

    Mode mode() const { return mode_; }
    int penWidth() const { return mode_ == Mode::WindowPicking ? 4 : 1; }
    // The overlay's own window, left out of the window list.
    WindowId windowId() { return WindowId(winId()); }
    // What the overlay shows: the frozen copy with the current frame inverted into it.
    const QImage &shownPicture() const { return shown_; }

    QLabel *Hint; // the coordinate read-out
    // The choice, in screen coordinates, right and bottom exclusive. All zero until something is chosen.
    ScreenRect Selection;
    // In rectangle mode, where a click without a drag ended it (Selection is then the whole screen).
    std::optional<QPoint> ClickedAt;

    void done(int result) override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *) override {} // no keyboard: Esc does nothing
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void FormMouseDown(Qt::MouseButton button, QPoint point);
    void FormMouseMove(QPoint point);
    void FormMouseUp(QPoint point);
    void FormDeactivate();
    void placeFirstFrame();
    void placeCustomRegion(QPoint cursor);
    void showFrame(const ScreenRect &rect);
    void eraseFrame();
    void invertFrame(const ScreenRect &rect);
    ScreenRect windowFrameOf(WindowId window) const;
    void showHintText(const QString &text, QPoint at);

    CaptureHost &host_;
    Desktop &desktop_;
    WindowLookup &lookup_;
    Mode mode_;
    QSize screen_;           // in the screen's own pixels, like every point and rectangle here
    qreal ratio_;            // screen pixels per pixel of Qt's layout
    QImage shown_;
    std::optional<ScreenRect> drawnFrame_; // the frame inverted into the picture now
    bool Dragging = false;
    QPoint Origin;
    WindowId PickedWindow = 0;
    bool placed_ = false;             // the first paint has placed the first frame
    bool deactivationArmed_ = false;  // the overlay has been active, so losing that cancels
    bool ended_ = false;              // the modal result is decided
    bool inputTaken_ = false;         // the keyboard and the pointer are the overlay's
    std::unique_ptr<PointerConfinement> confinement_;
};

} // namespace kaptiv
