#include "document/CaptionStyle.h"

#include <QApplication>
#include <QStyleOptionTitleBar>

namespace kaptiv {

QRect CaptionAtLeftStyle::subControlRect(ComplexControl control, const QStyleOptionComplex *option, SubControl part,
                                         const QWidget *widget) const
{
    QRect rect = QProxyStyle::subControlRect(control, option, part, widget);
    const auto *titleBar = qstyleoption_cast<const QStyleOptionTitleBar *>(option);
    if (control != CC_TitleBar || part != SC_TitleBarLabel || !titleBar)
        return rect;
    // The label narrowed to its text (the active window's bold caption) and the margins styles
    // keep around it, so that a style centring it in the label draws it at the left.
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    const int needed = QFontMetrics(font).horizontalAdvance(titleBar->text) + 2 * QFontMetrics(font).height();
    rect.setWidth(std::min(rect.width(), needed));
    return rect;
}

} // namespace kaptiv
