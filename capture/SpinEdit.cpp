#include "capture/SpinEdit.h"

#include <QLineEdit>
#include <algorithm>

namespace kaptiv {

SpinEdit::SpinEdit(int maxLength, QWidget *parent) : QSpinBox(parent), maxLength_(maxLength)
{
    lineEdit()->setMaxLength(maxLength);
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
}

QSize SpinEdit::sizeHint() const { return widenedToMaxLength(QSpinBox::sizeHint()); }

QSize SpinEdit::minimumSizeHint() const { return widenedToMaxLength(QSpinBox::minimumSizeHint()); }

QSize SpinEdit::widenedToMaxLength(QSize hint) const
{
    const QFontMetrics metrics = fontMetrics();
    const int shown = std::max(metrics.horizontalAdvance(QString::number(minimum())),
                               metrics.horizontalAdvance(QString::number(maximum())));
    const int typed = metrics.horizontalAdvance(QString(maxLength_, QLatin1Char('8')));
    return {hint.width() + std::max(typed - shown, 0), hint.height()};
}

QValidator::State SpinEdit::validate(QString &text, int &) const
{
    if (text.size() > maxLength_)
        return QValidator::Invalid;
    for (QChar c : text)
        if (!c.isDigit())
            return QValidator::Invalid;
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= minimum() && value <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
}

void SpinEdit::fixup(QString &text) const
{
    text = QString::number(valueFromText(text));
}

// Text that is no number reads as the minimum; numbers beyond the range are held inside it.
int SpinEdit::valueFromText(const QString &text) const
{
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok)
        return minimum();
    return int(std::clamp<qlonglong>(value, minimum(), maximum()));
}

} // namespace kaptiv
