// The controls of "Create GIF Animation", their texts, defaults and places.
#include "animation/GIFSnap.h"

#include "animation/AnimationRecord.h"
#include "platform/ui/Dialogs.h"
#include "platform/desktop/WindowPlacement.h"
#include "settings/GifOptions.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace kaptiv {

namespace {

// The largest values the file's 16-bit fields take: the boxes refuse more rather than have the
// writer change what the user typed.
constexpr int MaxDelay = 655350; // milliseconds; the file counts hundredths of a second
constexpr int MaxSpeed = 9999;   // per cent

QSpinBox *spinBox(const char *name, int minimum, int maximum, int value)
{
    auto *box = new QSpinBox;
    box->setObjectName(QLatin1String(name));
    box->setRange(minimum, maximum);
    box->setValue(value);
    return box;
}

QLineEdit *readOnlyBox(const char *name)
{
    auto *box = new QLineEdit(QStringLiteral("0"));
    box->setObjectName(QLatin1String(name));
    box->setReadOnly(true);
    QPalette grey = box->palette();
    grey.setColor(QPalette::Base, grey.color(QPalette::Window));
    box->setPalette(grey);
    return box;
}

QLabel *captionFor(const QString &text, QWidget *buddy)
{
    auto *label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

} // namespace

TAnimationfrm::TAnimationfrm(Links links, QWidget *parent)
    : QDialog(parent),
      Label12(new QLabel(QStringLiteral("Note that GIF images are limited to a maximum of 256 colors.  If you try to "
                                        "view or save an animation that contains an image which does not follow "
                                        "this rule, it will fail."))),
      GroupBox1(new QGroupBox(QStringLiteral("Images to Assemble"))),
      ImageLB(new FrameListBox),
      Remove(new QPushButton(QStringLiteral("Remove"))),
      Label6(new QLabel(QStringLiteral("Properties of currently selected frame:"))),
      DispOptions(new QGroupBox(QStringLiteral("Display Options"))),
      interlacedcb(new QCheckBox(QStringLiteral("Interlaced"))),
      transparentcb(new QCheckBox(QStringLiteral("Transparent"))),
      Colorb(new QPushButton(QStringLiteral("Color..."))),
      Commentb(new QPushButton(QStringLiteral("Comment..."))),
      heightb(readOnlyBox("heightb")),
      widthb(readOnlyBox("widthb")),
      leftb(spinBox("leftb", 0, MaxGifExtent, 0)),
      topb(spinBox("topb", 0, MaxGifExtent, 0)),
      FrameAnim(new QGroupBox(QStringLiteral("Frame Animation"))),
      delayv(spinBox("delayv", 0, MaxDelay, 0)),
      DCombo(new QComboBox),
      ApplyToAllb(new QPushButton(QStringLiteral("Apply properties to ALL"))),
      AnimProps(new QGroupBox(QStringLiteral("Animation Properties"))),
      Speedv(spinBox("Speedv", 1, MaxSpeed, 100)),
      LoopAnim(new QCheckBox(QStringLiteral("Loop Animation"))),
      NumLoop(spinBox("NumLoop", 1, MaxLoopCount, 1)),
      ReduceColorscb(new QCheckBox(QStringLiteral("Reduce colors to fit"))),
      Optimizecb(new QCheckBox(QStringLiteral("Optimize file size"))),
      ViewAnimb(new QPushButton(QStringLiteral("View Animation"))),
      SaveAnimb(new QPushButton(QStringLiteral("Save..."))),
      Close(new QPushButton(QStringLiteral("Close"))),
      GIFPB(new QProgressBar),
      links_(std::move(links))
{
    setObjectName(QStringLiteral("Animationfrm"));
    setWindowTitle(QStringLiteral("Create GIF Animation"));
    Save.kind = FileDialog::Save;
    Save.Filter = QStringLiteral("GIF File (*.gif)|*.gif");
    Save.DefaultExt = QStringLiteral("gif");

    Label12->setObjectName(QStringLiteral("Label12"));
    Label12->setWordWrap(true);
    GIFPB->setObjectName(QStringLiteral("GIFPB"));
    GIFPB->setRange(0, 100);
    GIFPB->setValue(0);
    QSizePolicy keepRoom = GIFPB->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    GIFPB->setSizePolicy(keepRoom);
    GIFPB->hide();
    for (auto [button, name] : {std::pair{ViewAnimb, "ViewAnimb"}, {SaveAnimb, "SaveAnimb"}, {Close, "Close"}})
        button->setObjectName(QLatin1String(name));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(GIFPB, 1);
    buttons->addWidget(ViewAnimb);
    buttons->addWidget(SaveAnimb);
    buttons->addWidget(Close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label12);
    layout->addWidget(imagesGroup());
    layout->addWidget(animationPropertiesGroup());
    layout->addLayout(buttons);

    // A fixed size that holds every control at the font in use; the notice wraps to that width.
    ensurePolished();
    const int width = layout->sizeHint().width();
    setFixedSize(width, layout->hasHeightForWidth() ? layout->totalHeightForWidth(width) : layout->sizeHint().height());
    // Return ends typing in a box; no button takes it, so it never closes the builder or removes
    // a frame by surprise.
    for (QPushButton *button : findChildren<QPushButton *>())
        button->setAutoDefault(false);
    connectHandlers();
    keepFrameInFreeArea(*this, FrameFit::Move); // a large font or scale must not put its title bar out of reach
}

QWidget *TAnimationfrm::imagesGroup()
{
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    ImageLB->setObjectName(QStringLiteral("ImageLB"));
    Remove->setObjectName(QStringLiteral("Remove"));
    Label6->setObjectName(QStringLiteral("Label6"));
    auto *list = new QVBoxLayout;
    list->addWidget(captionFor(QStringLiteral("Images (in animation frame order)"), ImageLB));
    list->addWidget(ImageLB, 1);
    auto *remove = new QHBoxLayout;
    remove->addWidget(Remove);
    remove->addStretch();
    list->addLayout(remove);

    auto *properties = new QGridLayout;
    properties->addWidget(Label6, 0, 0, 1, 2);
    properties->addWidget(displayOptionsGroup(), 1, 0);
    properties->addWidget(frameAnimationGroup(), 1, 1);
    properties->setRowStretch(2, 1);

    auto *layout = new QHBoxLayout(GroupBox1);
    layout->addLayout(list, 1);
    layout->addLayout(properties);
    return GroupBox1;
}

QWidget *TAnimationfrm::displayOptionsGroup()
{
    DispOptions->setObjectName(QStringLiteral("DispOptions"));
    interlacedcb->setObjectName(QStringLiteral("interlacedcb"));
    transparentcb->setObjectName(QStringLiteral("transparentcb"));
    Colorb->setObjectName(QStringLiteral("Colorb"));
    Commentb->setObjectName(QStringLiteral("Commentb"));
    Colorb->setEnabled(false);

    auto *layout = new QGridLayout(DispOptions);
    layout->addWidget(interlacedcb, 0, 0, 1, 2);
    layout->addWidget(Commentb, 0, 2, 1, 2);
    layout->addWidget(transparentcb, 1, 0, 1, 2);
    layout->addWidget(Colorb, 1, 2, 1, 2);
    layout->addWidget(captionFor(QStringLiteral("Width:"), widthb), 2, 0);
    layout->addWidget(widthb, 2, 1);
    layout->addWidget(captionFor(QStringLiteral("Height:"), heightb), 2, 2);
    layout->addWidget(heightb, 2, 3);
    layout->addWidget(captionFor(QStringLiteral("Left:"), leftb), 3, 0);
    layout->addWidget(leftb, 3, 1);
    layout->addWidget(captionFor(QStringLiteral("Top:"), topb), 3, 2);
    layout->addWidget(topb, 3, 3);
    layout->setRowStretch(4, 1);
    for (QLineEdit *box : {widthb, heightb})
        box->setMaximumWidth(leftb->sizeHint().width());
    return DispOptions;
}

QWidget *TAnimationfrm::frameAnimationGroup()
{
    FrameAnim->setObjectName(QStringLiteral("FrameAnim"));
    DCombo->setObjectName(QStringLiteral("DCombo"));
    ApplyToAllb->setObjectName(QStringLiteral("ApplyToAllb"));
    delayv->setSingleStep(100);
    DCombo->addItems({QStringLiteral("None"), QStringLiteral("Do Nothing"), QStringLiteral("Replace Background"),
                      QStringLiteral("Restore Frame")});

    auto *delay = new QHBoxLayout;
    delay->addWidget(delayv);
    delay->addWidget(new QLabel(QStringLiteral("(milli seconds)")));
    delay->addStretch();
    auto *layout = new QVBoxLayout(FrameAnim);
    layout->addWidget(captionFor(QStringLiteral("Delay before drawing next image"), delayv));
    layout->addLayout(delay);
    layout->addWidget(captionFor(QStringLiteral("Disposal method"), DCombo));
    layout->addWidget(DCombo);
    layout->addWidget(new QLabel(QStringLiteral("before drawing the next image")));
    layout->addStretch();
    layout->addWidget(ApplyToAllb);
    return FrameAnim;
}

QWidget *TAnimationfrm::animationPropertiesGroup()
{
    AnimProps->setObjectName(QStringLiteral("AnimProps"));
    LoopAnim->setObjectName(QStringLiteral("LoopAnim"));
    LoopAnim->setChecked(true);
    NumLoop->setEnabled(false);
    auto *layout = new QHBoxLayout(AnimProps);
    layout->addWidget(captionFor(QStringLiteral("Speed:"), Speedv));
    layout->addWidget(Speedv);
    layout->addSpacing(20);
    layout->addWidget(LoopAnim);
    layout->addWidget(NumLoop);
    layout->addSpacing(20);
    ReduceColorscb->setObjectName(QStringLiteral("ReduceColorscb"));
    ReduceColorscb->setToolTip(QStringLiteral("Images of more than 256 colors get 256 colors chosen for the animation"));
    ReduceColorscb->setChecked(LoadGifOptions().AnimationReduceColors);
    layout->addWidget(ReduceColorscb);
    Optimizecb->setObjectName(QStringLiteral("Optimizecb"));
    Optimizecb->setToolTip(QStringLiteral("Each frame keeps only what changes on screen; the animation looks the same"));
    Optimizecb->setChecked(LoadGifOptions().AnimationOptimize);
    layout->addWidget(Optimizecb);
    layout->addStretch();
    return AnimProps;
}

void TAnimationfrm::connectHandlers()
{
    connect(ImageLB, &QListWidget::currentRowChanged, this, asCommand([this] { ImageLBClick(); }));
    connect(ImageLB, &FrameListBox::dropped, this, asCommand([this] { ImageLBClick(); }));
    connect(interlacedcb, &QCheckBox::toggled, this, asCommand([this] { interlacedcbClick(); }));
    connect(transparentcb, &QCheckBox::toggled, this, asCommand([this] { transparentcbClick(); }));
    connect(leftb, &QSpinBox::valueChanged, this, asCommand([this] { leftbChange(); }));
    connect(topb, &QSpinBox::valueChanged, this, asCommand([this] { topbChange(); }));
    connect(delayv, &QSpinBox::valueChanged, this, asCommand([this] { delayvChange(); }));
    connect(DCombo, &QComboBox::currentIndexChanged, this, asCommand([this] { DComboChange(); }));
    connect(Commentb, &QPushButton::clicked, this, asCommand([this] { CommentbClick(); }));
    connect(Colorb, &QPushButton::clicked, this, asCommand([this] { ColorbClick(); }));
    connect(ApplyToAllb, &QPushButton::clicked, this, asCommand([this] { ApplyToAllbClick(); }));
    connect(Remove, &QPushButton::clicked, this, asCommand([this] { RemoveClick(); }));
    connect(LoopAnim, &QCheckBox::toggled, this, asCommand([this] { LoopAnimClick(); }));
    connect(ViewAnimb, &QPushButton::clicked, this, asCommand([this] { ViewAnimbClick(); }));
    connect(SaveAnimb, &QPushButton::clicked, this, asCommand([this] { SaveAnimbClick(); }));
    connect(Close, &QPushButton::clicked, this, asCommand([this] { CloseClick(); }));
}

} // namespace kaptiv
