#include "document/TranspSnap.h"

#include "platform/ui/Dialogs.h"
#include "platform/desktop/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>

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
    // Where the window is wider than the picture (for its title bar), the picture stands in the
    // middle of a plain grey that takes no clicks.
    scroller_->setAlignment(Qt::AlignCenter);
    QPalette surround = scroller_->viewport()->palette();
    surround.setColor(QPalette::Window, QColor(128, 128, 128));
    scroller_->viewport()->setPalette(surround);
    scroller_->viewport()->setAutoFillBackground(true);
    scroller_->setWidget(Img);
    auto *layout = new QVBoxLayout(this); // the scroller follows the window if it must be made smaller
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroller_);
    connect(Img, &TImage::mouseReleased, this, &TTransparentfrm::ImgMouseUp);
    FormCreate();
    keepFrameInFreeArea(*this, FrameFit::MoveAndShrink);
}

void TTransparentfrm::FormCreate() { PickedColor = NoColor; }

void TTransparentfrm::showEvent(QShowEvent *event)
{
    FormShow();
    QDialog::showEvent(event);
}

// The picture at its own size, or as much of it as the screen has room for, with scroll bars; never
// narrower than its title bar needs, so that a small picture's caption and close button show.
void TTransparentfrm::FormShow()
{
    const QSize picture = Img->size();
    QSize size = picture.expandedTo(QSize(titleBarRoom(*this), 0));
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QSize room = screen->availableGeometry().size() - QSize(FrameAllowance, 2 * FrameAllowance);
        const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        if (picture.width() > room.width())
            size.rheight() += bar; // the scroll bar across the bottom
        if (picture.height() > room.height())
            size.rwidth() += bar;
        size = size.boundedTo(room);
    }
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
