#include "capture/CaptureOverlay.h"

#include "capture/InvertedOutline.h"
#include "platform/desktop/DevicePixels.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

namespace kaptiv {

namespace {

TCapturefrm::Mode modeOf(const CaptureHost &host)
{
    if (host.customRegionMode())
        return TCapturefrm::Mode::CustomRegion;
    if (host.rectangleMode())
        return TCapturefrm::Mode::Rectangle;
    return TCapturefrm::Mode::WindowPicking;
}

QString pointText(QPoint p) { return QStringLiteral("x - %1, y - %2").arg(p.x()).arg(p.y()); }

} // namespace

TCapturefrm::TCapturefrm(CaptureHost &host, Desktop &desktop, WindowLookup &lookup)
    : QDialog(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                  | Qt::X11BypassWindowManagerHint),
      Hint(new QLabel(this)),
      host_(host),
      desktop_(desktop),
      lookup_(lookup),
      mode_(modeOf(host)),
      screen_(desktop.screenSize()),
      ratio_(devicePixelRatioF())
{
    setObjectName(QStringLiteral("Capturefrm"));
    // Painting covers every pixel with the frozen copy: nothing is erased underneath first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setCursor(mode_ == Mode::WindowPicking ? Qt::PointingHandCursor : Qt::CrossCursor);
    // Everything here is in the screen's own pixels; only the window's place is in Qt's scaled ones.
    setGeometry(QRect(QPoint(0, 0), coveringIndependentPixels(screen_, ratio_)));
    // A Wayland program cannot place its windows: asking for the whole output is the way to cover it.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        setWindowState(Qt::WindowFullScreen);

    Hint->setObjectName(QStringLiteral("Hint"));
    Hint->setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    Hint->setAutoFillBackground(true);
    QPalette palette = Hint->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    Hint->setPalette(palette);
    Hint->setAttribute(Qt::WA_TransparentForMouseEvents);
    Hint->setVisible(mode_ == Mode::Rectangle && host.showCoordinates());
    const QPoint cursor = desktop.cursorPos();
    showHintText(pointText(cursor), cursor + QPoint(1, 1));

    // Last, while the overlay is not on the screen: the frozen copy must not contain it.
    host.captureBitmap() = CaptureScreen(desktop, host.captureOptions());
    shown_ = host.captureBitmap()->toRgb32();
    shown_.setDevicePixelRatio(ratio_); // one pixel of the copy on each pixel of the screen
}

TCapturefrm::~TCapturefrm() = default; // the confinement, if any, is released with its holder

void TCapturefrm::done(int result)
{
    // Hiding gives up activation, which must not turn an OK into a Cancel.
    if (ended_)
        return;
    ended_ = true;
    if (inputTaken_) {
        releaseMouse();
        releaseKeyboard();
    }
    confinement_.reset();
    QDialog::done(result);
}

void TCapturefrm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    raise();
    activateWindow();
}

void TCapturefrm::paintEvent(QPaintEvent *event)
{
    if (!placed_) {
        placed_ = true;
        placeFirstFrame();
    }
    QPainter painter(this);
    for (const QRect &r : event->region()) {
        const QPoint from = toDevicePixels(r.topLeft(), ratio_);
        const QPoint to = toDevicePixels(r.topLeft() + QPoint(r.width(), r.height()), ratio_);
        const QRect pixels(from, QSize(to.x() - from.x(), to.y() - from.y()));
        painter.drawImage(QRectF(QPointF(pixels.topLeft()) / ratio_, QSizeF(pixels.size()) / ratio_), shown_, pixels);
    }
}

void TCapturefrm::placeFirstFrame()
{
    // Painted, so on the screen: a window must be viewable to take the keyboard and the pointer.
    // A custom region's confinement takes the pointer again, kept inside its area.
    if (host_.takesInput()) {
        inputTaken_ = true;
        grabKeyboard();
        grabMouse();
    }
    const QPoint cursor = desktop_.cursorPos();
    if (mode_ == Mode::CustomRegion) {
        placeCustomRegion(cursor);
    } else if (mode_ == Mode::WindowPicking) {
        PickedWindow = lookup_.WindowAtPoint(desktop_, cursor);
        Selection = windowFrameOf(PickedWindow);
        showFrame(Selection);
    }
    // Switching to another window or application from now on cancels.
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive && deactivationArmed_)
            FormDeactivate();
    });
}

// The region starts at the cursor; the cursor is then brought to where the whole region fits on
// the screen and kept in that area while the user moves it.
void TCapturefrm::placeCustomRegion(QPoint cursor)
{
    const QSize size = host_.customRegionSize();
    const int maxX = screen_.width() - size.width(), maxY = screen_.height() - size.height();
    Origin = cursor;
    const QPoint inside(std::min(cursor.x(), maxX), std::min(cursor.y(), maxY));
    if (inside != cursor)
        desktop_.setCursorPos(inside);
    confinement_ = desktop_.confinePointer({0, 0, maxX + 1, maxY + 1}, windowId());
    Selection = {cursor.x(), cursor.y(), cursor.x() + size.width(), cursor.y() + size.height()};
    showFrame(Selection);
}

ScreenRect TCapturefrm::windowFrameOf(WindowId window) const
{
    if (!window)
        return {};
    return host_.wholeWindow() ? desktop_.windowRect(window) : GetClientRectEx(desktop_, window);
}

void TCapturefrm::mousePressEvent(QMouseEvent *event)
{
    FormMouseDown(event->button(), toDevicePixels(event->position(), ratio_));
}

void TCapturefrm::mouseMoveEvent(QMouseEvent *event) { FormMouseMove(toDevicePixels(event->position(), ratio_)); }

void TCapturefrm::mouseReleaseEvent(QMouseEvent *event)
{
    FormMouseUp(toDevicePixels(event->position(), ratio_));
}

void TCapturefrm::FormMouseDown(Qt::MouseButton button, QPoint point)
{
    if (button != Qt::LeftButton || mode_ != Mode::Rectangle)
        return;
    Dragging = true;
    Origin = point;
    Selection = {point.x(), point.y(), 0, 0};
}

void TCapturefrm::FormMouseMove(QPoint point)
{
    const QString text = pointText(point);
    if (Dragging) {
        const int x = point.x(), y = point.y(), ox = Origin.x(), oy = Origin.y();
        Selection = {std::min(x, ox), std::min(y, oy), std::max(x, ox), std::max(y, oy)};
        showHintText(text + QStringLiteral(" height - %1, width - %2").arg(Selection.height()).arg(Selection.width()),
                     Origin);
        showFrame(Selection);
        return;
    }
    showHintText(text, point + QPoint(1, 1));
    if (mode_ == Mode::CustomRegion) {
        const QSize size = host_.customRegionSize();
        // Where the desktop cannot hold the pointer in place, the region is held on the screen instead.
        if (!confinement_)
            point = {std::clamp(point.x(), 0, std::max(screen_.width() - size.width(), 0)),
                     std::clamp(point.y(), 0, std::max(screen_.height() - size.height(), 0))};
        Selection = {point.x(), point.y(), point.x() + size.width(), point.y() + size.height()};
        showFrame(Selection);
    } else if (mode_ == Mode::WindowPicking) {
        const WindowId window = lookup_.WindowAtPoint(desktop_, point);
        if (window == PickedWindow)
            return;
        PickedWindow = window;
        Selection = windowFrameOf(window);
        showFrame(Selection);
    }
}

void TCapturefrm::FormMouseUp(QPoint point)
{
    if (Dragging) {
        Dragging = false;
        if (point == Origin) {
            Selection = {0, 0, screen_.width(), screen_.height()};
            ClickedAt = point;
        }
        eraseFrame();
    }
    done(1);
}

void TCapturefrm::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() != QEvent::ActivationChange)
        return;
    if (isActiveWindow())
        deactivationArmed_ = true;
    else if (deactivationArmed_)
        FormDeactivate();
}

void TCapturefrm::FormDeactivate() { done(2); }

// One frame on the picture at a time: the previous one is inverted away first.
void TCapturefrm::showFrame(const ScreenRect &rect)
{
    eraseFrame();
    if (rect == ScreenRect{})
        return;
    invertFrame(rect);
    drawnFrame_ = rect;
}

void TCapturefrm::eraseFrame()
{
    if (!drawnFrame_)
        return;
    invertFrame(*drawnFrame_);
    drawnFrame_.reset();
}

void TCapturefrm::invertFrame(const ScreenRect &rect)
{
    const QRegion outline = outlineRegion(rect, penWidth());
    invertRegion(shown_, outline);
    QRegion repaint;
    for (const QRect &r : outline)
        repaint += coveringIndependentPixels(r, ratio_);
    update(repaint);
}

void TCapturefrm::showHintText(const QString &text, QPoint at)
{
    Hint->setText(text);
    Hint->adjustSize();
    // Kept on the screen near the right and bottom edges, so that it can always be read.
    const QPoint place = coveringIndependentPixels(QRect(at, QSize(1, 1)), ratio_).topLeft();
    Hint->move(std::clamp(place.x(), 0, std::max(width() - Hint->width(), 0)),
               std::clamp(place.y(), 0, std::max(height() - Hint->height(), 0)));
}

} // namespace kaptiv
