#include "document/ChldSnap.h"

#include "document/CaptionStyle.h"
#include "document/ImageHost.h"
#include "platform/pixels/CursorStamp.h"
#include "platform/desktop/DevicePixels.h"
#include "platform/ui/Dialogs.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMouseEvent>
#include <QStyle>

namespace kaptiv {

TImage::TImage(QWidget *parent) : QLabel(parent)
{
    setMouseTracking(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void TImage::setPicture(Bitmap bitmap, QSize size)
{
    picture_ = std::move(bitmap);
    size_ = size.isValid() ? size : QSize(picture_.width(), picture_.height());
    refresh();
}

void TImage::setTransparent(bool on)
{
    transparent_ = on;
    refresh();
}

void TImage::setTransparentColor(uint32_t color)
{
    transparentColor_ = color;
    if (transparent_)
        refresh();
}

QPixmap TImage::shownPixmap() const
{
    if (picture_.isNull())
        return {};
    if (!transparent_)
        return QPixmap::fromImage(picture_.image());
    QImage shown = convertImage(picture_.image(), QImage::Format_ARGB32);
    const QRgb clear = rgbOfColorValue(transparentColor_) | 0xFF000000u;
    for (int y = 0; y < shown.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(shown.scanLine(y));
        for (int x = 0; x < shown.width(); ++x)
            if ((row[x] | 0xFF000000u) == clear)
                row[x] = 0;
    }
    return QPixmap::fromImage(shown);
}

void TImage::refresh()
{
    const qreal ratio = devicePixelRatioF();
    QPixmap pixmap = shownPixmap();
    pixmap.setDevicePixelRatio(ratio);
    setPixmap(pixmap);
    setFixedSize(coveringIndependentPixels(size_, ratio));
}

QPoint TImage::picturePoint(const QMouseEvent &event) const
{
    return toDevicePixels(event.position(), devicePixelRatioF());
}

void TImage::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint p = picturePoint(*event);
    emit mouseMoved(p.x(), p.y());
    QLabel::mouseMoveEvent(event);
}

void TImage::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint p = picturePoint(*event);
    emit mouseReleased(event->button(), p.x(), p.y());
    QLabel::mouseReleaseEvent(event);
}

TImagefrm::TImagefrm(ImageHost &host, QWidget *parent)
    : QMdiSubWindow(parent), Image(new TImage), host_(host), scroller_(new QScrollArea)
{
    setAttribute(Qt::WA_DeleteOnClose);
    auto *captionStyle = new CaptionAtLeftStyle;
    captionStyle->setParent(this);
    setStyle(captionStyle);
    setWindowTitle(QStringLiteral("Untitled"));
    resize(260, 212);
    scroller_->setWidget(Image);
    scroller_->setWidgetResizable(false);
    scroller_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    scroller_->setFrameShape(QFrame::NoFrame);
    // The scroll area on its own would keep room for two whole scroll bars, and a window could not
    // be made lower than its title bar and 70 pixels: Tile could then fit only six windows in a main
    // window of the default size. A strip as high as a scroll bar still shows the picture.
    const int strip = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroller_);
    scroller_->setMinimumSize(strip, strip);
    setWidget(scroller_);
    connect(Image, &TImage::mouseMoved, this, &TImagefrm::ImageMouseMove);
    connect(Image, &TImage::mouseReleased, this, &TImagefrm::ImageMouseUp);
    FormCreate();
}

TImagefrm::~TImagefrm() { FormDestroy(); }

TGIFImage &TImagefrm::gif()
{
    if (!gif_) {
        gif_ = new TGIFImage(this);
        gif_->setObjectName(QStringLiteral("gif"));
        gif_->setGeometry(0, 0, 1, 1);
        gif_->hide();
    }
    return *gif_;
}

void TImagefrm::setHint(const QString &hint)
{
    hint_ = hint;
    Image->setToolTip(hint);
    Image->setStatusTip(hint);
    scroller_->setStatusTip(hint);
    host_.hintChanged(this, hint);
}

bool TImagefrm::isUnsaved() const
{
    const QString title = caption();
    return title.startsWith(QLatin1String("Untitled"), Qt::CaseSensitive) || title.contains(QLatin1Char('['));
}

// Only "/" separates folders here: ":" and "\\" are ordinary characters of a file name.
QString fileNamePartOf(const QString &caption) { return caption.mid(caption.lastIndexOf(QLatin1Char('/')) + 1); }

QString TImagefrm::fileNamePart() const { return fileNamePartOf(caption()); }

void TImagefrm::FormCreate() { host_.setCopyEnabled(true); }

void TImagefrm::FormDestroy()
{
    if (!host_.anyOtherImageWindow(this))
        host_.setCopyEnabled(false);
}

void TImagefrm::FormClose()
{
    host_.setStatusPanel(0, QString());
    host_.setStatusPanel(1, QString());
}

void TImagefrm::FormCloseQuery(bool &canClose)
{
    canClose = true;
    if (!isUnsaved())
        return;
    if (host_.confirmClosing() && !host_.closingAll())
        canClose = askConfirmation(this, QStringLiteral("Are you sure you want to close without saving?"));
}

void TImagefrm::closeEvent(QCloseEvent *event)
{
    bool canClose = true;
    FormCloseQuery(canClose);
    if (!canClose) {
        event->ignore();
        return;
    }
    FormClose();
    QMdiSubWindow::closeEvent(event);
}

void TImagefrm::changeEvent(QEvent *event)
{
    QMdiSubWindow::changeEvent(event);
    switch (event->type()) {
    case QEvent::WindowTitleChange:
    case QEvent::FontChange:
    case QEvent::StyleChange:
    case QEvent::WindowStateChange:
        keepTitleBarShown();
        break;
    default:
        break;
    }
}

void TImagefrm::keepTitleBarShown()
{
    // A minimised window has its own size, and the coordinates shown while a cursor is being placed
    // come and go with the mouse: neither should move the window's edges.
    if (isMinimized() || host_.placingCursorIn(this))
        return;
    QFont title = QApplication::font("QMdiSubWindowTitleBar");
    title.setBold(true); // the active window's caption is the wider one
    const QSize least = QMdiSubWindow::minimumSizeHint();
    setMinimumSize(least.width() + QFontMetrics(title).horizontalAdvance(fileNamePart()), least.height());
}

void TImagefrm::ImageMouseMove(int x, int y)
{
    if (host_.placingCursorIn(this)) {
        // In a window as narrow as its picture the name gives way: the point is what the user needs.
        setCaption(captionEndingIn(*this, SavedCaption, QStringLiteral(": [%1,%2]").arg(x).arg(y)));
        return;
    }
    SavedCaption = caption();
    if (!FromGif) {
        host_.setStatusPanel(1, QString());
        return;
    }
    QString facts;
    if (GifInfo.Interlaced)
        facts += QStringLiteral("Interlaced - ");
    if (GifInfo.Transparent)
        facts += QStringLiteral(" Transparent - ");
    facts += QStringLiteral("%1x%2").arg(GifInfo.Width).arg(GifInfo.Height);
    host_.setStatusPanel(1, facts);
}

void TImagefrm::ImageMouseUp(Qt::MouseButton, int x, int y)
{
    // A button pressed on the picture is released here wherever the pointer has gone since; only a
    // release over the picture stamps and ends the placement.
    if (!host_.placingCursorIn(this) || !QRect(QPoint(0, 0), Image->pictureSize()).contains(x, y))
        return;
    kaptiv::stampCursor(Image->picture(), host_.stampCursor(), QPoint(x, y));
    Image->refresh();
    host_.releaseStampCursor();
    setCaption(SavedCaption);
    Image->setToolTip(hint_);
    host_.endPlacingCursor();
}

} // namespace kaptiv
