#pragma once
// TImgFormat, "Image Format Options": how the next Save As writes an image, whatever image is
// active then. Created once at start-up and kept, so the options keep their last values.

#include "document/RadioGroup.h"
#include "gif/FrameInfo.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <functional>

namespace kaptiv {

class TImagefrm;
class TTransparentfrm;

class TImgFormat : public QDialog {
    Q_OBJECT
public:
    // `activeImage` gives the active image window (null when none is open) and `picker` the
    // colour picker, both looked up when a button needs them.
    TImgFormat(std::function<TImagefrm *()> activeImage, std::function<TTransparentfrm &()> picker,
               QWidget *parent = nullptr);

    QTabWidget *GIFOptions;
    QWidget *TabSheet2, *JPGOptions, *BMPOptions;
    // "GIF"
    QGroupBox *Trans;
    QCheckBox *Interlaced;
    QCheckBox *Transp;
    QPushButton *Colorb;
    QLabel *clabel;
    QPushButton *Commentb;
    QCheckBox *ReduceColors; // "Reduce colors to fit"; kept in the GIF options' settings group
    // "JPEG"
    QSpinBox *CQ;
    RadioGroup *ColorGrp; // 0 "Color mode", 1 "Grayscale mode"
    QCheckBox *PE;
    // "BMP"
    RadioGroup *ColorGroup; // 0 Monochrome, 1 16, 2 256 colours, 3 16-bit, 4 as is
    QPushButton *Button1;

    // The colour value (red in the low byte) GIF saves make transparent; NoColor for none.
    uint32_t TransColor = NoColor;

    void TranspClick();
    void ColorbClick();
    void CommentbClick();
    void Button1Click();

protected:
    void reject() override { done(2); } // the close box and Esc

private:
    void FormCreate();
    QWidget *gifPage();
    QWidget *jpegPage();
    QWidget *bmpPage();

    std::function<TImagefrm *()> activeImage_;
    std::function<TTransparentfrm &()> picker_;
};

} // namespace kaptiv
