// Insert Cursor on a real display, the mouse moved by xdotool: the pointer really stays in the
// image window while a cursor is placed, and is free again after the stamp and after the window
// was closed meanwhile.
#include "AppFixture.h"
#include "CursorFiles.h"
#include "InsertCursorDriver.h"
#include "XdoTool.h"

#include <QAbstractScrollArea>

namespace kaptiv::testing {
namespace {

using InsertCursorOnX11 = AppFixture;

TEST_F(InsertCursorOnX11, ThePointerStaysInTheWindowUntilTheStampOrTheWindowClosing)
{
    QApplication::setQuitOnLastWindowClosed(false);
    fake.screen = QImage(120, 90, QImage::Format_RGB32);
    fake.screen.fill(Qt::white);
    main->GrabScreenClick(main->item("GrabScreen")); // a known picture, from the scripted screen
    setDesktopForTesting(nullptr);           // and from now on the real pointer
    main->show();
    xdotool({"windowactivate", "--sync", QString::number(main->winId())});
    ASSERT_TRUE(waitUntil([&] { return main->isActiveWindow(); }));
    QTemporaryDir dir;
    const QString cursor = writeRedCursor(dir.filePath("red.cur"));
    ASSERT_FALSE(cursor.isEmpty());
    auto pointerMovedTo = [](QPoint to) {
        xdotool({"mousemove", QString::number(to.x()), QString::number(to.y())});
        QApplication::processEvents();
        return desktop().cursorPos();
    };

    const QPointer<TImagefrm> window = active();
    QWidget *viewport = qobject_cast<QAbstractScrollArea *>(window->widget())->viewport();
    const QRect area(viewport->mapToGlobal(QPoint(0, 0)), viewport->size());
    const QPoint picture = window->Image->mapToGlobal(QPoint(0, 0));
    for (bool closeMeanwhile : {false, true}) {
        SCOPED_TRACE(closeMeanwhile ? "closed meanwhile" : "stamped");
        EXPECT_TRUE(runInsertCursor(*main, dialogs, cursor, [&] {
            EXPECT_EQ(pointerMovedTo(picture + QPoint(30, 20)), picture + QPoint(30, 20));
            // The window is as narrow as its caption allows: the name gives way to the point.
            EXPECT_TRUE(waitUntil([&] { return window->caption().endsWith(QLatin1String(": [30,20]")); }))
                << window->caption().toStdString();
            for (QPoint away : {QPoint(0, 0), area.bottomRight() + QPoint(200, 200)}) {
                const QPoint held = pointerMovedTo(away);
                EXPECT_TRUE(area.contains(held)) << "the pointer went to " << held.x() << "," << held.y();
            }
            pointerMovedTo(picture + QPoint(10, 12));
            xdotool({closeMeanwhile ? "key" : "click", closeMeanwhile ? "ctrl+F4" : "3"});
            EXPECT_TRUE(waitUntil([&] { return !window || !window->isVisible() || !main->PlacingCursor; }));
        }));
        settle();
        EXPECT_EQ(pointerMovedTo({0, 0}), QPoint(0, 0)) << "the pointer is still held";
        if (closeMeanwhile) {
            EXPECT_EQ(main->imageWindowCount(), 0);
        } else {
            EXPECT_EQ(window->Image->picture().image().pixel(10, 12), qRgb(255, 0, 0)) << "the right button stamps";
            EXPECT_EQ(window->Image->picture().image().pixel(13, 15), qRgb(255, 0, 0));
            EXPECT_EQ(window->Image->picture().image().pixel(9, 11), qRgb(255, 255, 255));
            EXPECT_EQ(window->caption(), "Untitled1");
        }
    }
    QApplication::setQuitOnLastWindowClosed(true);
}

} // namespace
} // namespace kaptiv::testing
