#include "document/RadioGroup.h"

#include <QVBoxLayout>

namespace kaptiv {

RadioGroup::RadioGroup(const QString &title, const QStringList &items, int selected, QWidget *parent)
    : QGroupBox(title, parent), group_(new QButtonGroup(this))
{
    auto *layout = new QVBoxLayout(this);
    for (int i = 0; i < items.size(); ++i) {
        auto *button = new QRadioButton(items[i]);
        group_->addButton(button, i);
        layout->addWidget(button);
    }
    setItemIndex(selected);
}

} // namespace kaptiv
