#pragma once
// A titled group of radio buttons, one above the other, exactly one of them chosen: the chosen
// item's place in the list is its ItemIndex.

#include <QButtonGroup>
#include <QGroupBox>
#include <QRadioButton>
#include <QStringList>

namespace kaptiv {

class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    RadioGroup(const QString &title, const QStringList &items, int selected, QWidget *parent = nullptr);
    int ItemIndex() const { return group_->checkedId(); }
    void setItemIndex(int index) { item(index)->setChecked(true); }
    QRadioButton *item(int index) const { return static_cast<QRadioButton *>(group_->button(index)); }

private:
    QButtonGroup *group_;
};

} // namespace kaptiv
