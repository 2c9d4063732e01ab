#pragma once
// TTransparentfrm, the transparent-colour picker: shows a picture at its own size, scrolled when the
// screen has no room for it; a left click makes the colour of the picture's own pixel there (not of
// what is drawn) the transparent one, any other button undoes. The callers set the picture and its transparent display before showing
// it, and read the display and PickedColor after it closes. Created once and kept, so both persist
// from one use to the next.

#include "document/ChldSnap.h"

#include <QDialog>

class QScrollArea;

namespace kaptiv {

class TTransparentfrm : public QDialog {
    Q_OBJECT
public:
    explicit TTransparentfrm(QWidget *parent = nullptr);

    TImage *Img;
    uint32_t PickedColor = NoColor; // colour value (red in the low byte) of the last left click

    void ImgMouseUp(Qt::MouseButton button, int x, int y);

protected:
    void showEvent(QShowEvent *event) override;

private:
    // Room left around the picker for the window manager's frame and title bar.
    static constexpr int FrameAllowance = 32;

    QScrollArea *scroller_;

    void FormCreate();
    void FormShow();
};

} // namespace kaptiv
