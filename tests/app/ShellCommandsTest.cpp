// Create Duplicate as, the about box, and the caption of an image window wider than the area.
#include "AppFixture.h"

#include "app/AboutSnap.h"
#include "platform/pixels/PixelFormats.h"

#include <QLabel>
#include <QPushButton>

namespace kaptiv::testing {
namespace {

using ShellCommands = AppFixture;

TEST_F(ShellCommands, DuplicatesHoldOnlyTheirTableColoursAndLeaveTheSourceAlone)
{
    fake.screen = positionalScreen(640, 480);
    fake.screen.setPixel(10, 10, qRgb(255, 255, 255)); // the one white pixel of a screen without white
    main->GrabScreenClick(main->item("GrabScreen"));
    TImagefrm *source = active();
    const QImage sourcePixels = source->Image->picture().image();
    struct Case {
        QAction *item;
        QVector<QRgb> table;
        int colours;
        QRgb at11x10; // the nearest table colour to (11, 10, 21)
    } cases[] = {
        {main->item("Monochrome2"), monochromeColors(), 2, qRgb(0, 0, 0)},
        {main->item("N16colors2"), vgaColors(), 16, qRgb(0, 0, 0)},
        {main->item("N256colors2"), halftoneColors(), 256, qRgb(11, 11, 11)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.item->text().toStdString());
        main->mdi->setActiveSubWindow(source);
        c.item->trigger();
        TImagefrm *duplicate = active();
        ASSERT_NE(duplicate, source);
        EXPECT_EQ(duplicate->hint(), QStringLiteral("Untitled - Width: 640, Height: 480, Colors: %1").arg(c.colours));
        const Bitmap &picture = duplicate->Image->picture();
        EXPECT_EQ(picture.depth(), 24) << "a picture of the display's kind";
        const QImage pixels = picture.toRgb32();
        for (int y = 0; y < pixels.height(); ++y)
            for (int x = 0; x < pixels.width(); ++x)
                ASSERT_TRUE(c.table.contains(pixels.pixel(x, y))) << x << ", " << y;
        EXPECT_EQ(pixels.pixel(10, 10), qRgb(255, 255, 255));
        EXPECT_EQ(pixels.pixel(11, 10), c.at11x10);
        EXPECT_EQ(source->Image->picture().image(), sourcePixels);
    }
    EXPECT_EQ(captions(), (QStringList{"Untitled", "Untitled1", "Untitled", "Untitled"}));
    EXPECT_EQ(source->hint(), QStringLiteral("Untitled1 - Width: 640, Height: 480, Colors: 16777216"));
}

TEST_F(ShellCommands, AWindowWiderThanTheAreaShowsItsCaptionWhereTheAreaShowsIt)
{
    fake.screen = positionalScreen(1900, 120);
    main->GrabScreenClick(main->item("GrabScreen"));
    TImagefrm *window = active();
    window->move(0, 0);
    const int visibleWidth = main->mdi->viewport()->width();
    ASSERT_GT(window->width(), 2 * visibleWidth);
    auto titleBar = [&] { return window->grab(QRect(0, 0, window->width(), window->widget()->y())).toImage(); };
    const QImage captioned = titleBar();
    window->setCaption(QStringLiteral(" "));
    const QImage bare = titleBar();
    int firstColumn = captioned.width(), lastColumn = -1;
    for (int y = 0; y < captioned.height(); ++y)
        for (int x = 0; x < captioned.width(); ++x)
            if (captioned.pixel(x, y) != bare.pixel(x, y)) {
                firstColumn = std::min(firstColumn, x);
                lastColumn = std::max(lastColumn, x);
            }
    ASSERT_GE(lastColumn, 0) << "the caption was never drawn";
    EXPECT_LT(lastColumn, visibleWidth) << "the caption is drawn from column " << firstColumn;
}

TEST_F(ShellCommands, AboutIsCentredOverTheMainWindowWithItsLinksDrawnAsLinksAndOkEndsIt)
{
    TAboutfrm &about = *appWindows().Aboutfrm;
    main->move(37, 21);
    QRect placed;
    dialogs.onModal = [&](QDialog &dialog) {
        EXPECT_EQ(&dialog, &about);
        placed = dialog.frameGeometry();
        dialog.show();
        for (const QLabel *link : {about.HomePageLink, about.MailLink}) {
            EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(Qt::blue));
            EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
        }
        dialog.findChild<QPushButton *>(QStringLiteral("OKButton"))->click();
        return dialog.result();
    };
    main->item("Helpb")->trigger();
    EXPECT_EQ(dialogs.modalRuns, 1);
    EXPECT_EQ(about.result(), 1) << "OK ends it with the modal result OK";
    const QRect m = main->frameGeometry();
    EXPECT_EQ(placed.topLeft(), QPoint(m.left() + m.width() / 2 - placed.width() / 2, m.top() + m.height() / 2 - placed.height() / 2));
    QStringList texts;
    for (const QLabel *label : about.findChildren<QLabel *>())
        texts << label->text();
    for (const char *text : {"Kaptiv", "Version 1.0", "BETA"})
        EXPECT_TRUE(texts.contains(QLatin1String(text))) << text;
    EXPECT_GT(about.ProductName->fontInfo().pixelSize(), 2 * about.Version->fontInfo().pixelSize());
}

} // namespace
} // namespace kaptiv::testing
