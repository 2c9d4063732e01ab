#include "settings/ConfigSnap.h"

#include <QFormLayout>
#include <QVBoxLayout>

namespace kaptiv {

TConfigfrm::TConfigfrm(QWidget *parent)
    : QDialog(parent),
      hideprog(new QCheckBox(QStringLiteral("Hide program during captures."))),
      confirm(new QCheckBox(QStringLiteral("Confirm closing of images."))),
      coords(new QCheckBox(QStringLiteral("Show coordinates on capture."))),
      Delay(new QLineEdit(QStringLiteral("1500")))
{
    setWindowTitle(QStringLiteral("Program Configuration"));
    hideprog->setChecked(true);
    confirm->setChecked(false);
    coords->setChecked(true);
    Delay->setMaxLength(5);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(hideprog);
    layout->addWidget(confirm);
    layout->addWidget(coords);
    auto *delayRow = new QFormLayout;
    delayRow->addRow(QStringLiteral("Delay to refresh screen:"), Delay);
    layout->addLayout(delayRow);
}

} // namespace kaptiv
