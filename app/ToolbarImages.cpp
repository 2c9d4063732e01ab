#include "app/ToolbarImages.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace kaptiv {

namespace {

// A small window: frame, title bar, optional highlighted client area.
void drawWindow(QPainter &p, QRect r, QColor title, bool client)
{
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawRect(r);
    p.fillRect(QRect(r.left() + 1, r.top() + 1, r.width() - 1, 3), title);
    if (client)
        p.fillRect(QRect(r.left() + 2, r.top() + 5, r.width() - 3, r.height() - 6), QColor(255, 220, 80));
}

void drawScreen(QPainter &p)
{
    p.setPen(Qt::black);
    p.setBrush(QColor(70, 130, 200));
    p.drawRect(1, 2, 13, 9);
    p.fillRect(6, 12, 4, 1, Qt::black);
    p.fillRect(4, 13, 8, 1, Qt::black);
}

} // namespace

QIcon toolbarGlyph(Glyph glyph)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    switch (glyph) {
    case Glyph::Open:
        p.setPen(Qt::black);
        p.setBrush(QColor(240, 200, 80));
        p.drawRect(1, 4, 13, 9);
        p.drawRect(1, 2, 5, 2);
        break;
    case Glyph::Print:
        p.setPen(Qt::black);
        p.setBrush(Qt::white);
        p.drawRect(4, 1, 7, 5);
        p.setBrush(QColor(160, 160, 160));
        p.drawRect(1, 6, 13, 6);
        p.setBrush(Qt::white);
        p.drawRect(4, 10, 7, 4);
        break;
    case Glyph::Copy:
        p.setPen(Qt::black);
        p.setBrush(Qt::white);
        p.drawRect(1, 1, 8, 10);
        p.drawRect(6, 4, 8, 10);
        break;
    case Glyph::Paste:
        p.setPen(Qt::black);
        p.setBrush(QColor(190, 140, 80));
        p.drawRect(2, 2, 10, 12);
        p.setBrush(Qt::white);
        p.drawRect(6, 6, 8, 9);
        p.fillRect(5, 1, 4, 2, Qt::black);
        break;
    case Glyph::Screen:
        drawScreen(p);
        break;
    case Glyph::Rectangle:
        drawScreen(p);
        p.setPen(QPen(Qt::white, 1, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(4, 4, 7, 5);
        break;
    case Glyph::Window:
        drawWindow(p, QRect(1, 2, 13, 11), QColor(0, 0, 160), false);
        break;
    case Glyph::ActiveWindow:
        drawWindow(p, QRect(3, 1, 11, 9), QColor(128, 128, 128), false);
        drawWindow(p, QRect(1, 5, 11, 9), QColor(0, 0, 160), false);
        break;
    case Glyph::ActiveClient:
        drawWindow(p, QRect(3, 1, 11, 9), QColor(128, 128, 128), false);
        drawWindow(p, QRect(1, 5, 11, 9), QColor(0, 0, 160), true);
        break;
    case Glyph::CustomRegion:
        drawScreen(p);
        p.fillRect(5, 4, 6, 5, QColor(255, 220, 80));
        break;
    case Glyph::ClientArea:
        drawWindow(p, QRect(1, 2, 13, 11), QColor(0, 0, 160), true);
        break;
    case Glyph::About: {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::black);
        p.setBrush(QColor(255, 255, 200));
        p.drawEllipse(1, 1, 13, 13);
        QFont font = p.font();
        font.setPixelSize(11);
        font.setBold(true);
        p.setFont(font);
        p.drawText(QRect(1, 1, 14, 14), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    }
    return QIcon(pixmap);
}

} // namespace kaptiv
