#pragma once
// TAnimfrm, "Animation Preview": plays the animation the builder would save, as the file would
// show it. The animation is written to memory, never to a file, and loaded into the player from
// there. Created once at start-up and shown modally by the builder's "View Animation".

#include "gif/GIFImage.h"

#include <QDialog>
#include <functional>

namespace kaptiv {

class TAnimationfrm;

class TAnimfrm : public QDialog {
    Q_OBJECT
public:
    static constexpr QSize SmallestClientSize{200, 165};

    // `builder` gives the builder whose list, speed and loop boxes are previewed.
    explicit TAnimfrm(std::function<TAnimationfrm &()> builder, QWidget *parent = nullptr);

    TGIFImage *aGif;

    void FormShow();
    void FormHide() { aGif->setAnimate(false); }
    void aGifProgress(QObject *sender, int32_t bytesProcessed, int32_t bytesToProcess, int32_t percentageProcessed,
                      bool &keepOnProcessing);
    // The width at which the title bar shows the whole caption beside its icon and buttons.
    int captionRoom() const;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    // The client area: at least SmallestClientSize and captionRoom, and large enough for every
    // frame of aGif as far as the screen has room.
    QSize sizeForFrames() const;
    // The title bar and borders around the client area, width and height together.
    QSize decoration() const;

    std::function<TAnimationfrm &()> builder_;
};

} // namespace kaptiv
