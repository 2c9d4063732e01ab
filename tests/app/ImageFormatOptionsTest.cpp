// "Image Format Options" and the colour picker, driven as the user drives them.
#include "AppFixture.h"

#include "document/ImgFrmtSnap.h"
#include "document/TranspSnap.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

namespace kaptiv::testing {
namespace {

class ImageFormatOptions : public AppFixture {
protected:
    TImgFormat &options() { return *appWindows().ImgFormat; }
    TTransparentfrm &picker() { return *appWindows().Transparentfrm; }

    // A captured image whose left half is pure red and right half pure blue, 40 x 20.
    void captureRedAndBlue()
    {
        QImage screen(40, 20, QImage::Format_RGB32);
        screen.fill(qRgb(255, 0, 0));
        for (int y = 0; y < 20; ++y)
            for (int x = 20; x < 40; ++x)
                screen.setPixel(x, y, qRgb(0, 0, 255));
        fake.screen = screen;
        main->GrabScreenClick(main->item("GrabScreen"));
    }

    // Runs "Color..." with the picker shown and clicked with `clicks` (button, x), then closed.
    void pickWith(std::vector<std::pair<Qt::MouseButton, int>> clicks)
    {
        dialogs.onModal = [&](QDialog &dialog) {
            EXPECT_EQ(&dialog, &picker());
            dialog.show();
            // The picture at its own size; the window as high, and as wide as its title bar needs.
            EXPECT_EQ(picker().Img->size(), QSize(40, 20));
            EXPECT_EQ(dialog.height(), 20);
            EXPECT_GT(dialog.width(), 40);
            for (auto [button, x] : clicks)
                QTest::mouseClick(picker().Img, button, {}, QPoint(x, 5));
            dialog.close();
            return int(mrCancel);
        };
        options().Colorb->click();
        dialogs.onModal = [](QDialog &) { return int(mrCancel); };
    }
};

// A picture larger than the screen is shown in part, scrolled, with the picker inside the screen;
// a click still picks the colour of the picture's own pixel there.
TEST_F(ImageFormatOptions, ThePickerOfAHugePictureFitsTheScreen)
{
    QImage screen(6000, 5000, QImage::Format_RGB32);
    screen.fill(qRgb(0, 255, 0));
    screen.setPixel(7, 5, qRgb(255, 0, 0));
    fake.screen = screen;
    main->GrabScreenClick(main->item("GrabScreen"));
    dialogs.onModal = [&](QDialog &dialog) {
        dialog.show();
        const QRect room = QGuiApplication::primaryScreen()->availableGeometry();
        EXPECT_TRUE(room.contains(dialog.frameGeometry())) << dialog.frameGeometry().width() << " x "
                                                           << dialog.frameGeometry().height();
        QTest::mouseClick(picker().Img, Qt::LeftButton, {}, QPoint(7, 5));
        dialog.close();
        return int(mrCancel);
    };
    options().Transp->click();
    options().Colorb->click();
    EXPECT_EQ(picker().PickedColor, 0x0000FFu); // red, in the low byte
}

TEST_F(ImageFormatOptions, AFreshStartHasTheDefaults)
{
    TImgFormat &o = options();
    EXPECT_EQ(o.windowTitle(), QStringLiteral("Image Format Options"));
    EXPECT_EQ(o.GIFOptions->currentWidget(), o.TabSheet2);
    QStringList tabs;
    for (int i = 0; i < o.GIFOptions->count(); ++i)
        tabs << o.GIFOptions->tabText(i);
    EXPECT_EQ(tabs, (QStringList{"GIF", "JPEG", "BMP"}));
    EXPECT_TRUE(o.Interlaced->isChecked());
    EXPECT_FALSE(o.Transp->isChecked());
    EXPECT_FALSE(o.Colorb->isEnabled());
    EXPECT_TRUE(o.clabel->isHidden());
    EXPECT_TRUE(o.Commentb->isHidden());
    EXPECT_EQ(o.TransColor, NoColor);
    EXPECT_EQ(o.CQ->value(), 75);
    EXPECT_EQ(o.CQ->minimum(), 1);
    EXPECT_EQ(o.CQ->maximum(), 100);
    EXPECT_EQ(o.ColorGrp->ItemIndex(), 0);
    EXPECT_FALSE(o.PE->isChecked());
    EXPECT_EQ(o.ColorGroup->ItemIndex(), 4);
    EXPECT_EQ(o.ColorGroup->item(3)->text(), QStringLiteral("16 million colors (16-bit)"));
    EXPECT_EQ(picker().PickedColor, NoColor);
}

TEST_F(ImageFormatOptions, SaveOptionsIsCentredOverTheMainWindowAndKeepsWhatWasChosen)
{
    main->move(37, 21);
    int runs = 0;
    dialogs.onModal = [&](QDialog &dialog) {
        EXPECT_EQ(&dialog, &options());
        const QRect m = main->frameGeometry(), d = dialog.frameGeometry();
        EXPECT_EQ(d.topLeft(), QPoint(m.left() + m.width() / 2 - d.width() / 2, m.top() + m.height() / 2 - d.height() / 2));
        if (runs++ == 0) {
            options().CQ->setValue(40);
            options().ColorGroup->setItemIndex(0);
            options().Button1->click();
            EXPECT_EQ(options().result(), 1);
        } else {
            EXPECT_EQ(options().CQ->value(), 40);
            EXPECT_EQ(options().ColorGroup->ItemIndex(), 0);
        }
        return options().result();
    };
    main->item("Options1")->trigger();
    main->item("Options1")->trigger();
    EXPECT_EQ(runs, 2);
}

TEST_F(ImageFormatOptions, TransparentAsksForAColourUntilOneIsPicked)
{
    captureRedAndBlue();
    TImgFormat &o = options();
    o.Transp->click();
    EXPECT_TRUE(o.Colorb->isEnabled());
    EXPECT_FALSE(o.clabel->isHidden());
    EXPECT_EQ(o.clabel->palette().color(QPalette::WindowText), QColor(Qt::red));

    // Two left clicks on different colours: the second is kept, and the picker shows it clear.
    pickWith({{Qt::LeftButton, 3}, {Qt::LeftButton, 30}});
    EXPECT_EQ(picker().PickedColor, 0xFF0000u); // blue, red in the low byte
    EXPECT_EQ(o.TransColor, 0xFF0000u);
    EXPECT_TRUE(o.Transp->isChecked());
    EXPECT_TRUE(o.clabel->isHidden());
    EXPECT_EQ(picker().Img->pixmap().toImage().pixel(30, 5), 0u); // not painted
    EXPECT_EQ(picker().Img->pixmap().toImage().pixel(3, 5), qRgb(255, 0, 0));

    // Opened again and closed without a click: the earlier pick stands.
    pickWith({});
    EXPECT_EQ(o.TransColor, 0xFF0000u);
    EXPECT_TRUE(o.Transp->isChecked());

    // A right click undoes: closing then unticks "Transparent" and forgets the colour.
    pickWith({{Qt::LeftButton, 3}, {Qt::RightButton, 3}});
    EXPECT_EQ(picker().PickedColor, NoColor);
    EXPECT_FALSE(o.Transp->isChecked());
    EXPECT_FALSE(o.Colorb->isEnabled());
    EXPECT_EQ(o.TransColor, NoColor);
    EXPECT_TRUE(o.clabel->isHidden());

    // Ticked again, the prompt is back and closing the picker without a pick unticks it.
    o.Transp->click();
    EXPECT_FALSE(o.clabel->isHidden());
    EXPECT_FALSE(picker().Img->Transparent());
    pickWith({});
    EXPECT_FALSE(o.Transp->isChecked());
}

TEST_F(ImageFormatOptions, TheCommentPromptEditsTheActiveImagesComment)
{
    captureRedAndBlue();
    active()->Comment = QStringLiteral("old");
    dialogs.inputs = {QStringLiteral("made by hand")};
    options().Commentb->show();
    options().Commentb->click();
    options().Commentb->click(); // cancelled: nothing changes
    EXPECT_EQ(dialogs.prompts,
              (std::vector<QString>{"Edit GIF Comment|Enter GIF comment for current image:|old",
                                    "Edit GIF Comment|Enter GIF comment for current image:|made by hand"}));
    EXPECT_EQ(active()->Comment, QStringLiteral("made by hand"));
}

} // namespace
} // namespace kaptiv::testing
