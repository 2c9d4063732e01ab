// Insert Cursor as the user runs it: the file chosen in the dialog, its messages, and the cursor's own
// pixels stamped where a button is released over the picture. (The pointer's confinement is tested
// on a real display.)
#include "AppFixture.h"
#include "CursorFiles.h"
#include "InsertCursorDriver.h"

#include <QAbstractScrollArea>
#include <QTest>

namespace kaptiv::testing {
namespace {

using InsertCursor = AppFixture;

TEST_F(InsertCursor, StampsTheCursorsOwnPixelsWhereAButtonIsReleasedOverThePicture)
{
    main->item("Autosize1")->setChecked(false); // the window is larger than its picture
    fake.screen = positionalScreen(80, 60); // pixel (x, y) is (x, y, x + y)
    main->GrabScreenClick(main->item("GrabScreen"));
    TImagefrm *window = active();
    QWidget *viewport = qobject_cast<QAbstractScrollArea *>(window->widget())->viewport();
    QImage alpha(3, 2, QImage::Format_ARGB32), masked(2, 3, QImage::Format_ARGB32);
    const QRgb alphas[] = {qRgba(200, 100, 50, 128), qRgba(0, 0, 255, 255), qRgba(255, 255, 255, 0),
                           qRgba(40, 80, 120, 64), qRgba(0, 0, 0, 255), qRgba(250, 0, 0, 200)};
    const QRgb colours[] = {qRgb(255, 0, 0), qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(0, 255, 0), qRgb(64, 64, 64), qRgb(0, 0, 0)};
    for (int i = 0; i < 6; ++i) {
        alpha.setPixel(i % 3, i / 3, alphas[i]);
        masked.setPixel(i % 2, i / 2, colours[i]);
    }
    QTemporaryDir dir;
    auto file = [&](const char *name, const QByteArray &bytes) {
        const QString path = writeFile(dir.filePath(name), bytes);
        EXPECT_FALSE(path.isEmpty());
        return path;
    };
    struct Run {
        QString file; // empty: the dialog is cancelled
        const char *message;
        Qt::MouseButton button;
        QPoint at;
        std::vector<std::pair<QPoint, QRgb>> pixels;
    } runs[] = {
        {{}, nullptr, Qt::NoButton, {}, {}},
        {dir.filePath("gone.cur"), "File not found!", Qt::NoButton, {}, {}},
        {file("words.ani", "RIFF, but only words"), "Invalid cursor format.", Qt::NoButton, {}, {}},
        // Blended by alpha 128, 255, 0 / 64, 255, 200; the hot spot (1, 2) does not move it.
        {file("alpha.cur", cursorFile(alpha, 32)), nullptr, Qt::RightButton, {20, 30},
         {{{20, 30}, qRgb(110, 65, 50)}, {{21, 30}, qRgb(0, 0, 255)}, {{22, 30}, qRgb(22, 30, 52)},
          {{20, 31}, qRgb(25, 43, 68)}, {{21, 31}, qRgb(0, 0, 0)}, {{22, 31}, qRgb(201, 7, 11)}, {{23, 31}, qRgb(23, 31, 54)}}},
        // Covering red, clear black, inverting white / green, inverting grey, covering black.
        {file("masked.cur", cursorFile(masked, 24, {{1, 0}, {0, 1}, {0, 2}})), nullptr, Qt::LeftButton, {50, 10},
         {{{50, 10}, qRgb(255, 0, 0)}, {{51, 10}, qRgb(51, 10, 61)}, {{50, 11}, qRgb(205, 244, 194)},
          {{51, 11}, qRgb(0, 255, 0)}, {{50, 12}, qRgb(114, 76, 126)}, {{51, 12}, qRgb(0, 0, 0)}}},
    };
    for (const Run &r : runs) {
        SCOPED_TRACE(r.file.toStdString());
        dialogs.shown.clear();
        const QImage before = window->Image->picture().image();
        window->move(-1000, -1000); // out of view: brought back, so that the picture can be clicked
        const bool placed = runInsertCursor(*main, dialogs, r.file, [&] {
            EXPECT_TRUE(viewport->rect().contains(viewport->mapFromGlobal(fake.pointer)));
            EXPECT_TRUE(window->Image->toolTip().isEmpty());
            QTest::mouseRelease(viewport, r.button, {}, QPoint(200, 150)); // beside the picture: nothing
            QTest::mouseRelease(window->Image, r.button, {}, QPoint(85, 5)); // pressed on it, released beside it
            EXPECT_TRUE(main->PlacingCursor);
            QTest::mouseRelease(window->Image, r.button, {}, r.at);
        });
        settle();
        EXPECT_EQ(placed, !r.pixels.empty());
        EXPECT_EQ(dialogs.fileDialogs.back().Filter, QStringLiteral("Cursors (*.cur, *.ani)|*.cur;*.ani"));
        EXPECT_EQ(dialogs.shown.empty() ? QString() : dialogs.shown[0].text, QLatin1String(r.message));
        EXPECT_FALSE(main->PlacingCursor);
        EXPECT_FALSE(fake.confinedTo) << "the pointer is free again";
        EXPECT_TRUE(main->StampCursor.image.isNull());
        EXPECT_EQ(window->caption(), QStringLiteral("Untitled1"));
        EXPECT_EQ(window->Image->toolTip(), QStringLiteral("Untitled1 - Width: 80, Height: 60, Colors: 16777216"));
        if (r.pixels.empty()) {
            EXPECT_EQ(window->Image->picture().image(), before);
        }
        for (const auto &[at, colour] : r.pixels)
            EXPECT_EQ(window->Image->picture().image().pixel(at), colour) << at.x() << "," << at.y();
    }
}

// Another image window made active meanwhile (Ctrl+Tab, a paste, a capture) is not stamped and
// keeps its caption; the placement goes on in the window it began in.
TEST_F(InsertCursor, OnlyTheWindowThePlacementBeganInTakesTheCursor)
{
    fake.screen = positionalScreen(80, 60);
    main->GrabScreenClick(main->item("GrabScreen"));
    main->GrabScreenClick(main->item("GrabScreen"));
    TImagefrm *other = main->imageWindows().value(1), *placedIn = active();
    const QImage untouched = other->Image->picture().image();
    QTemporaryDir dir;
    const QString cursor = writeRedCursor(dir.filePath("red.cur"));
    ASSERT_FALSE(cursor.isEmpty());
    EXPECT_TRUE(runInsertCursor(*main, dialogs, cursor, [&] {
        main->mdi->setActiveSubWindow(other);
        QTest::mouseMove(other->Image, QPoint(5, 5));
        QTest::mouseRelease(other->Image, Qt::LeftButton, {}, QPoint(5, 5));
        EXPECT_TRUE(main->PlacingCursor);
        QTest::mouseRelease(placedIn->Image, Qt::LeftButton, {}, QPoint(5, 5));
    }));
    EXPECT_EQ(other->Image->picture().image(), untouched);
    EXPECT_EQ(other->caption(), QStringLiteral("Untitled1"));
    EXPECT_EQ(placedIn->Image->picture().image().pixel(5, 5), qRgb(255, 0, 0));
    EXPECT_EQ(placedIn->caption(), QStringLiteral("Untitled2"));
}

// Minimising the picture's window or the main window ends the placement: the pointer would be held
// where nothing can be clicked. Nothing is stamped, and the caption and tooltip come back.
TEST_F(InsertCursor, MinimisingEndsThePlacementAndLetsThePointerGo)
{
    fake.screen = positionalScreen(80, 60);
    main->GrabScreenClick(main->item("GrabScreen"));
    const QPointer<TImagefrm> window = active();
    const QImage untouched = window->Image->picture().image();
    QTemporaryDir dir;
    const QString cursor = writeRedCursor(dir.filePath("red.cur"));
    ASSERT_FALSE(cursor.isEmpty());
    for (QWidget *minimised : {static_cast<QWidget *>(window), static_cast<QWidget *>(main)}) {
        EXPECT_TRUE(runInsertCursor(*main, dialogs, cursor, [&] {
            ASSERT_TRUE(fake.confinedTo);
            minimised->showMinimized();
        }));
        settle();
        ASSERT_TRUE(window) << "closed because the placement went on";
        EXPECT_FALSE(main->PlacingCursor);
        EXPECT_FALSE(fake.confinedTo) << "the pointer is free again";
        EXPECT_EQ(window->caption(), QStringLiteral("Untitled1"));
        EXPECT_FALSE(window->Image->toolTip().isEmpty());
        EXPECT_EQ(window->Image->picture().image(), untouched);
        minimised->showNormal();
        main->mdi->setActiveSubWindow(window);
    }
}

} // namespace
} // namespace kaptiv::testing
