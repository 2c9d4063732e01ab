#include "document/CaptionStyle.h"

#include <QApplication>
#include <QMdiSubWindow>
#include <QStyleOptionTitleBar>

namespace kaptiv {

namespace {

QFont captionFont()
{
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    return font;
}

// The wider of the fonts a caption may be measured or drawn in: the frame measures it in the title
// bar's font, a style may draw it in the window's own.
QFontMetrics widestCaptionMetrics(const QWidget &window)
{
    QFont own = window.font();
    own.setBold(true);
    const QFontMetrics a(captionFont()), b(own);
    return a.height() >= b.height() ? a : b;
}

} // namespace

QRect CaptionAtLeftStyle::subControlRect(ComplexControl control, const QStyleOptionComplex *option, SubControl part,
                                         const QWidget *widget) const
{
    QRect rect = QProxyStyle::subControlRect(control, option, part, widget);
    const auto *titleBar = qstyleoption_cast<const QStyleOptionTitleBar *>(option);
    if (control != CC_TitleBar || part != SC_TitleBarLabel || !titleBar)
        return rect;
    // The label narrowed to its text (the active window's bold caption) and the margins styles
    // keep around it, so that a style centring it in the label draws it at the left.
    const QFont font = captionFont();
    const int needed = QFontMetrics(font).horizontalAdvance(titleBar->text) + 2 * QFontMetrics(font).height();
    rect.setWidth(std::min(rect.width(), needed));
    return rect;
}

int captionRoom(const QMdiSubWindow &window)
{
    // As the frame lays out its title bar: a border of 4 pixels around it. Styles keep a margin
    // beside the caption too (the toolkit's default style 7 pixels a side): a line's height, and
    // never less than 16 pixels, covers it.
    constexpr int Border = 4;
    const QStyle *style = window.style();
    if (const auto *proxy = qobject_cast<const QProxyStyle *>(style))
        style = proxy->baseStyle(); // the label's whole room, not narrowed to a text
    QStyleOptionTitleBar option;
    option.initFrom(&window);
    option.subControls = QStyle::SC_All;
    option.titleBarFlags = window.windowFlags();
    option.titleBarState = int(window.windowState());
    option.icon = window.windowIcon();
    option.rect = QRect(Border, Border, window.width() - 2 * Border,
                        style->pixelMetric(QStyle::PM_TitleBarHeight, &option, &window) - Border);
    return style->subControlRect(QStyle::CC_TitleBar, &option, QStyle::SC_TitleBarLabel, &window).width()
        - std::max(widestCaptionMetrics(window).height(), 16);
}

QString captionEndingIn(const QMdiSubWindow &window, const QString &caption, const QString &tail)
{
    const QFontMetrics metrics = widestCaptionMetrics(window);
    const int room = captionRoom(window) - metrics.horizontalAdvance(tail);
    if (metrics.horizontalAdvance(caption) <= room)
        return caption + tail;
    return metrics.elidedText(caption, Qt::ElideMiddle, std::max(room, 0)) + tail;
}

} // namespace kaptiv
