#include "capture/CustSnap.h"

#include "platform/ui/Dialogs.h"

#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QScreen>
#include <QVBoxLayout>

namespace kaptiv {

TCustfrm::TCustfrm(QWidget *parent)
    : QDialog(parent),
      GroupBox1(new QGroupBox(QStringLiteral("Defined Pixel Region"))),
      heightb(new SpinEdit(4)),
      widthb(new SpinEdit(4)),
      area(new QGroupBox(QStringLiteral("Area Type"))),
      areaIcon(new QRadioButton(QStringLiteral("Icon (32x32)"))),
      areaOther(new QRadioButton(QStringLiteral("Other"))),
      Square(new QCheckBox(QStringLiteral("Square Area"))),
      ok(new QPushButton(QStringLiteral("&Capture Area"))),
      Button1(new QPushButton(QStringLiteral("&Cancel")))
{
    setObjectName(QStringLiteral("Custfrm"));
    setWindowTitle(QStringLiteral("Define Custom Region"));
    heightb->setObjectName(QStringLiteral("heightb"));
    widthb->setObjectName(QStringLiteral("widthb"));
    Square->setObjectName(QStringLiteral("Square"));
    ok->setObjectName(QStringLiteral("ok"));
    Button1->setObjectName(QStringLiteral("Button1"));

    auto *sizes = new QFormLayout(GroupBox1);
    sizes->addRow(QStringLiteral("Height:"), heightb);
    sizes->addRow(QStringLiteral("Width:"), widthb);
    auto *group = new QButtonGroup(this);
    group->addButton(areaIcon, 0);
    group->addButton(areaOther, 1);
    auto *items = new QVBoxLayout(area);
    items->addWidget(areaIcon);
    items->addWidget(areaOther);

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(Button1);
    buttons->addStretch();
    auto *top = new QHBoxLayout;
    top->addWidget(GroupBox1);
    top->addWidget(area);
    top->addLayout(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(Square);
    // 256 x 152 where the texts fit; larger where the font needs more, never clipping them.
    ensurePolished();
    setFixedSize(minimumSizeHint().expandedTo(QSize(256, 152)));

    setTabOrder(areaIcon, widthb);
    setTabOrder(widthb, heightb);
    setTabOrder(heightb, ok);
    setTabOrder(ok, Button1);
    setTabOrder(Button1, Square);
    ok->setDefault(true);

    heightb->setValue(32);
    widthb->setValue(32);
    areaIcon->setChecked(true);
    FormCreate();

    connect(heightb, &QSpinBox::valueChanged, this, [this] { heightbChange(heightb); });
    connect(widthb, &QSpinBox::valueChanged, this, [this] { heightbChange(widthb); });
    connect(Square, &QCheckBox::clicked, this, [this] { SquareClick(); });
    connect(group, &QButtonGroup::idClicked, this, [this] { areaClick(); });
    connect(ok, &QPushButton::clicked, this, asCommand([this] { okClick(); }));
    connect(Button1, &QPushButton::clicked, this, asCommand([this] { Button1Click(); }));
}

void TCustfrm::FormCreate()
{
    // In the screen's own pixels, which Qt's scale factor makes more than its layout's.
    const QScreen *screen = QGuiApplication::primaryScreen();
    setScreenSize(screen ? screen->geometry().size() * screen->devicePixelRatio() : QSize(641, 481));
}

void TCustfrm::setScreenSize(QSize screen)
{
    heightb->setRange(0, std::max(screen.height() - 1, 0));
    widthb->setRange(0, std::max(screen.width() - 1, 0));
}

void TCustfrm::heightbChange(QObject *sender)
{
    if (Square->isChecked()) {
        if (sender == heightb)
            widthb->setValue(heightb->value());
        else
            heightb->setValue(widthb->value());
    }
    selectAreaItem(heightb->value() == 32 && widthb->value() == 32 ? 0 : 1);
}

void TCustfrm::SquareClick() { widthb->setValue(heightb->value()); }

void TCustfrm::areaClick()
{
    if (areaItemIndex() != 0)
        return;
    heightb->setValue(32);
    widthb->setValue(32);
}

void TCustfrm::selectAreaItem(int index) { (index == 0 ? areaIcon : areaOther)->setChecked(true); }

} // namespace kaptiv
