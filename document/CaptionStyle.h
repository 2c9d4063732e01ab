#pragma once
// The image windows' title bars with their caption at the left, beside the icon. A style that
// centres the caption puts it out of sight in a window wider than the document area (a large
// picture, autosized), and the window then looks untitled.

#include <QProxyStyle>

class QMdiSubWindow;

namespace kaptiv {

class CaptionAtLeftStyle : public QProxyStyle {
public:
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex *option, SubControl part,
                         const QWidget *widget) const override;
};

// The width `window`'s title bar has for the caption itself, beside its icon and buttons, in
// the bold font of an active window's caption (the wider one).
int captionRoom(const QMdiSubWindow &window);

// `caption` followed by `tail`, its start shortened (the middle of it left out) so that the whole
// tail shows in `window`'s title bar.
QString captionEndingIn(const QMdiSubWindow &window, const QString &caption, const QString &tail);

} // namespace kaptiv
