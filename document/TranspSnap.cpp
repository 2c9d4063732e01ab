#include "document/TranspSnap.h"

#include "platform/Dialogs.h"

namespace kaptiv {

TTransparentfrm::TTransparentfrm(QWidget *parent) : QDialog(parent), Img(new TImage(this))
{
    setObjectName(QStringLiteral("Transparentfrm"));
    setWindowFlag(Qt::Tool);
    setWindowTitle(QStringLiteral("Right click to undo"));
    const QString hint = QStringLiteral("Left click on color to be transparent, right click to undo");
    setToolTip(hint);
    Img->setObjectName(QStringLiteral("Img"));
    Img->setToolTip(hint);
    Img->move(0, 0);
    connect(Img, &TImage::mouseReleased, this, &TTransparentfrm::ImgMouseUp);
    FormCreate();
}

void TTransparentfrm::FormCreate() { PickedColor = NoColor; }

void TTransparentfrm::showEvent(QShowEvent *event)
{
    FormShow();
    QDialog::showEvent(event);
}

void TTransparentfrm::FormShow()
{
    setFixedSize(Img->size());
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
