#include "document/TranspSnap.h"

#include "platform/Dialogs.h"

#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>

namespace kaptiv {

TTransparentfrm::TTransparentfrm(QWidget *parent) : QDialog(parent), Img(new TImage), scroller_(new QScrollArea(this))
{
    setObjectName(QStringLiteral("Transparentfrm"));
    setWindowFlag(Qt::Tool);
    setWindowTitle(QStringLiteral("Right click to undo"));
    const QString hint = QStringLiteral("Left click on color to be transparent, right click to undo");
    setToolTip(hint);
    Img->setObjectName(QStringLiteral("Img"));
    Img->setToolTip(hint);
    scroller_->setFrameShape(QFrame::NoFrame);
    scroller_->setWidget(Img);
    connect(Img, &TImage::mouseReleased, this, &TTransparentfrm::ImgMouseUp);
    FormCreate();
}

void TTransparentfrm::FormCreate() { PickedColor = NoColor; }

void TTransparentfrm::showEvent(QShowEvent *event)
{
    FormShow();
    QDialog::showEvent(event);
}

// The picture at its own size, or as much of it as the screen has room for, with scroll bars.
void TTransparentfrm::FormShow()
{
    const QSize picture = Img->size();
    QSize size = picture;
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QSize room = screen->availableGeometry().size() - QSize(FrameAllowance, 2 * FrameAllowance);
        const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        if (picture.width() > room.width())
            size.rheight() += bar; // the scroll bar across the bottom
        if (picture.height() > room.height())
            size.rwidth() += bar;
        size = size.boundedTo(room);
    }
    scroller_->resize(size);
    setFixedSize(size);
    centreOnScreen(*this);
}

void TTransparentfrm::ImgMouseUp(Qt::MouseButton button, int x, int y)
{
    if (button != Qt::LeftButton) {
        PickedColor = NoColor;
        Img->setTransparent(false);
        return;
    }
    const QImage &pixels = Img->picture().image();
    if (!pixels.valid(x, y))
        return;
    PickedColor = colorValueOf(pixels.pixel(x, y));
    Img->setTransparentColor(PickedColor);
    Img->setTransparent(false);
    Img->setTransparent(true);
}

} // namespace kaptiv
