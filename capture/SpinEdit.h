#pragma once
// An integer field with up/down buttons that lets the user type any digits (up to its length) and
// clamps them into its range when the field is left, rather than refusing the keystroke.

#include <QSpinBox>

namespace kaptiv {

class SpinEdit : public QSpinBox {
    Q_OBJECT
public:
    explicit SpinEdit(int maxLength, QWidget *parent = nullptr);
    // Wide enough to show as many digits as may be typed, whatever the range allows now.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    QValidator::State validate(QString &text, int &position) const override;
    void fixup(QString &text) const override;
    int valueFromText(const QString &text) const override;

private:
    QSize widenedToMaxLength(QSize hint) const;

    int maxLength_;
};

} // namespace kaptiv
