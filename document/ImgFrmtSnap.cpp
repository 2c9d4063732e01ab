#include "document/ImgFrmtSnap.h"

#include "document/ChldSnap.h"
#include "document/TranspSnap.h"
#include "platform/ui/Dialogs.h"
#include "settings/GifOptions.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace kaptiv {

TImgFormat::TImgFormat(std::function<TImagefrm *()> activeImage, std::function<TTransparentfrm &()> picker,
                       QWidget *parent)
    : QDialog(parent),
      GIFOptions(new QTabWidget),
      Trans(new QGroupBox(QStringLiteral("GIF Options"))),
      Interlaced(new QCheckBox(QStringLiteral("Interlaced"))),
      Transp(new QCheckBox(QStringLiteral("Transparent"))),
      Colorb(new QPushButton(QStringLiteral("Color..."))),
      clabel(new QLabel(QStringLiteral("(Choose a color to be transparent)"))),
      Commentb(new QPushButton(QStringLiteral("Comment..."))),
      ReduceColors(new QCheckBox(QStringLiteral("Reduce colors to fit"))),
      CQ(new QSpinBox),
      ColorGrp(new RadioGroup(QStringLiteral("Colors"), {QStringLiteral("Color mode"), QStringLiteral("Grayscale mode")}, 0)),
      PE(new QCheckBox(QStringLiteral("Use Progressive Encoding"))),
      ColorGroup(new RadioGroup(QStringLiteral("Color Format"),
                                {QStringLiteral("Monochrome"), QStringLiteral("16 colors (4-bit)"),
                                 QStringLiteral("256 colors (8-bit)"), QStringLiteral("16 million colors (16-bit)"),
                                 QStringLiteral("Save as is")},
                                4)),
      Button1(new QPushButton(QStringLiteral("OK"))),
      activeImage_(std::move(activeImage)),
      picker_(std::move(picker))
{
    setObjectName(QStringLiteral("ImgFormat"));
    setWindowTitle(QStringLiteral("Image Format Options"));
    GIFOptions->setObjectName(QStringLiteral("GIFOptions"));
    TabSheet2 = gifPage();
    JPGOptions = jpegPage();
    BMPOptions = bmpPage();
    GIFOptions->addTab(TabSheet2, QStringLiteral("GIF"));
    GIFOptions->addTab(JPGOptions, QStringLiteral("JPEG"));
    GIFOptions->addTab(BMPOptions, QStringLiteral("BMP"));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(GIFOptions);
    layout->addLayout(buttons);
    Button1->setDefault(true);
    ensurePolished();
    setFixedSize(minimumSizeHint().expandedTo(QSize(290, 230)));

    connect(Transp, &QCheckBox::toggled, this, asCommand([this] { TranspClick(); }));
    connect(Colorb, &QPushButton::clicked, this, asCommand([this] { ColorbClick(); }));
    connect(Commentb, &QPushButton::clicked, this, asCommand([this] { CommentbClick(); }));
    connect(Button1, &QPushButton::clicked, this, asCommand([this] { Button1Click(); }));
    FormCreate();
}

// A control that comes and goes keeps its room, so the dialog's fixed size holds it when shown.
static void keepRoomWhenHidden(QWidget *widget)
{
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
    widget->hide();
}

QWidget *TImgFormat::gifPage()
{
    Interlaced->setObjectName(QStringLiteral("Interlaced"));
    Transp->setObjectName(QStringLiteral("Transp"));
    Colorb->setObjectName(QStringLiteral("Colorb"));
    clabel->setObjectName(QStringLiteral("clabel"));
    Commentb->setObjectName(QStringLiteral("Commentb"));
    ReduceColors->setObjectName(QStringLiteral("ReduceColors"));
    ReduceColors->setToolTip(QStringLiteral("A picture of more than 256 colors is saved with 256 colors chosen for it"));
    Interlaced->setChecked(true);
    Colorb->setEnabled(false);
    QPalette red = clabel->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    clabel->setPalette(red);
    keepRoomWhenHidden(clabel);
    // Comments are kept per image and written by the GIF save; the button stays out of view.
    keepRoomWhenHidden(Commentb);

    auto *transparent = new QHBoxLayout;
    transparent->addWidget(Transp);
    transparent->addWidget(Colorb);
    transparent->addStretch();
    auto *options = new QVBoxLayout(Trans);
    options->addWidget(Interlaced);
    options->addLayout(transparent);
    options->addWidget(clabel);
    options->addWidget(ReduceColors);
    auto *comment = new QHBoxLayout;
    comment->addStretch();
    comment->addWidget(Commentb);
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(Trans);
    layout->addLayout(comment);
    layout->addStretch();
    return page;
}

QWidget *TImgFormat::jpegPage()
{
    CQ->setObjectName(QStringLiteral("CQ"));
    ColorGrp->setObjectName(QStringLiteral("ColorGrp"));
    PE->setObjectName(QStringLiteral("PE"));
    CQ->setRange(1, 100);
    CQ->setValue(75);
    auto *quality = new QHBoxLayout;
    auto *caption = new QLabel(QStringLiteral("Compression Quality:"));
    caption->setBuddy(CQ);
    quality->addWidget(caption);
    quality->addWidget(CQ);
    quality->addWidget(new QLabel(QStringLiteral("%")));
    quality->addStretch();
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->addLayout(quality);
    layout->addWidget(ColorGrp);
    layout->addWidget(PE);
    layout->addStretch();
    return page;
}

QWidget *TImgFormat::bmpPage()
{
    ColorGroup->setObjectName(QStringLiteral("ColorGroup"));
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(ColorGroup);
    layout->addStretch();
    return page;
}

void TImgFormat::FormCreate()
{
    TransColor = NoColor;
    ReduceColors->setChecked(LoadGifOptions().ReduceColors);
}

void TImgFormat::Button1Click()
{
    done(1); // closed even when the settings file cannot take the choice, which is then reported
    GifOptions stored = LoadGifOptions(); // values of the group this dialog does not show stay
    stored.ReduceColors = ReduceColors->isChecked();
    SaveGifOptions(stored);
}

void TImgFormat::TranspClick()
{
    Colorb->setEnabled(Transp->isChecked());
    if (!Transp->isChecked()) {
        TransColor = NoColor;
        clabel->hide();
        return;
    }
    if (TransColor == NoColor) {
        picker_().Img->setTransparent(false);
        clabel->show();
    }
}

void TImgFormat::ColorbClick()
{
    TImagefrm *image = activeImage_();
    if (!image) { // nothing to pick a colour on
        dialogs().beep();
        return;
    }
    TTransparentfrm &picker = picker_();
    picker.Img->setPicture(image->Image->picture());
    picker.Img->setTransparentColor(TransColor);
    dialogs().execModal(picker);
    if (picker.Img->Transparent())
        TransColor = picker.PickedColor;
    else
        Transp->setChecked(false); // which forgets the colour
    clabel->hide();
}

void TImgFormat::CommentbClick()
{
    TImagefrm *image = activeImage_();
    if (!image) {
        dialogs().beep();
        return;
    }
    QString comment = image->Comment;
    if (dialogs().inputQuery(this, QStringLiteral("Edit GIF Comment"), QStringLiteral("Enter GIF comment for current image:"),
                             comment))
        image->Comment = comment;
}

} // namespace kaptiv
