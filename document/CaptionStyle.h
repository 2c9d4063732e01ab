#pragma once
// The image windows' title bars with their caption at the left, beside the icon. A style that
// centres the caption puts it out of sight in a window wider than the document area (a large
// picture, autosized), and the window then looks untitled.

#include <QProxyStyle>

namespace kaptiv {

class CaptionAtLeftStyle : public QProxyStyle {
public:
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex *option, SubControl part,
                         const QWidget *widget) const override;
};

} // namespace kaptiv
