#pragma once
// Drives a selection overlay on the offscreen platform as the user's mouse would, and measures
// what each step repaints.

#include <QApplication>
#include <QDialog>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QTest>
#include <gtest/gtest.h>

namespace kaptiv::testing {

// Shows the overlay and lets it paint (the first paint places the first frame).
inline void showOverlay(QDialog &overlay)
{
    overlay.show();
    if (!QTest::qWaitForWindowExposed(&overlay, 5000))
        ADD_FAILURE() << "the overlay was never exposed";
    QCoreApplication::processEvents();
}

// A move of the mouse over the overlay. Sent straight to it: the test library moves the platform's
// cursor instead, which hands the move to whichever window it finds there first.
inline void moveTo(QWidget &overlay, QPoint at, Qt::MouseButtons held = Qt::NoButton)
{
    QMouseEvent event(QEvent::MouseMove, at, overlay.mapToGlobal(at), Qt::NoButton, held, Qt::NoModifier);
    QApplication::sendEvent(&overlay, &event);
}

// Adds up the area of every region the watched widget is asked to paint.
class PaintedArea : public QObject {
public:
    explicit PaintedArea(QWidget &widget) { widget.installEventFilter(this); }
    qint64 area = 0;
    int paints = 0;
    // Lets pending repaints happen and returns what they covered since the last call.
    qint64 take()
    {
        QCoreApplication::processEvents();
        const qint64 result = area;
        area = 0;
        paints = 0;
        return result;
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
            for (const QRect &r : static_cast<QPaintEvent *>(event)->region())
                area += qint64(r.width()) * r.height();
        }
        return false;
    }
};

} // namespace kaptiv::testing
