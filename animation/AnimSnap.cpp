#include "animation/AnimSnap.h"

#include "animation/AnimationRecord.h"
#include "animation/GIFSnap.h"
#include "platform/ui/Dialogs.h"
#include "platform/desktop/WindowPlacement.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

namespace kaptiv {

TAnimfrm::TAnimfrm(std::function<TAnimationfrm &()> builder, QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      aGif(new TGIFImage),
      builder_(std::move(builder))
{
    setObjectName(QStringLiteral("Animfrm"));
    setWindowTitle(QStringLiteral("Animation Preview"));
    aGif->setObjectName(QStringLiteral("aGif"));
    aGif->setCenter(true);
    aGif->setDecodeAsShown(true); // it plays: frames are decoded as shown
    aGif->OnProgress = [this](QObject *sender, int32_t processed, int32_t toProcess, int32_t percentage, bool &keepOn) {
        aGifProgress(sender, processed, toProcess, percentage, keepOn);
    };
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(aGif);
    resize(SmallestClientSize);
    // Centred by its size before the window manager has framed it: a preview of full-screen frames
    // would have its title bar above the screen.
    keepFrameInFreeArea(*this, FrameFit::MoveAndShrink);
}

void TAnimfrm::showEvent(QShowEvent *event)
{
    // A refused animation is reported and the window opens all the same, without it.
    if (!event->spontaneous())
        runCommand([this] { FormShow(); });
    QDialog::showEvent(event);
}

void TAnimfrm::hideEvent(QHideEvent *event)
{
    if (!event->spontaneous())
        FormHide();
    QDialog::hideEvent(event);
}

void TAnimfrm::FormShow()
{
    TAnimationfrm &builder = builder_();
    const ProgressShown progress(*builder.GIFPB);
    setWindowTitle(QStringLiteral("[%1 Frames] [%2 Speed]").arg(builder.ImageLB->count()).arg(builder.Speedv->value()));
    aGif->Clear(); // an earlier animation is not shown in place of one that cannot be made
    resize(sizeForFrames());
    centreOnScreen(*this);
    TGIFSaveInfo info = builder.AnimationInfo();
    aGif->setSpeed(builder.Speedv->value());
    const std::vector<uint8_t> bytes = EncodeAnimation(info);
    QByteArray data(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
    QBuffer file(&data);
    file.open(QIODevice::ReadOnly);
    aGif->LoadGIFStream(file);
    resize(sizeForFrames());
    centreOnScreen(*this);
    aGif->setAnimate(true);
}

int TAnimfrm::captionRoom() const { return titleBarRoom(*this); }

QSize TAnimfrm::sizeForFrames() const
{
    QSize client = SmallestClientSize.expandedTo(QSize(captionRoom(), 0));
    for (int n = 1; n <= aGif->FrameCount(); ++n) {
        const gif::FrameFacts &frame = aGif->Animation().Facts(n);
        client = client.expandedTo(QSize(frame.Left + frame.Width, frame.Top + frame.Height));
    }
    // A frame placed far out would make a window wider than the screen, its close button out of
    // reach; the player then shows the middle of the animation instead.
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        client = client.boundedTo(screen->availableGeometry().size() - decoration());
    return client.expandedTo(SmallestClientSize);
}

QSize TAnimfrm::decoration() const
{
    const QSize own = frameGeometry().size() - size();
    if (own != QSize(0, 0))
        return own;
    // Not shown yet: the window manager has not said. The builder is shown and framed alike.
    const TAnimationfrm &builder = builder_();
    return builder.frameGeometry().size() - builder.size();
}

void TAnimfrm::aGifProgress(QObject *, int32_t, int32_t, int32_t percentageProcessed, bool &keepOnProcessing)
{
    builder_().GIFPB->setValue(percentageProcessed);
    keepOnProcessing = true;
}

} // namespace kaptiv
