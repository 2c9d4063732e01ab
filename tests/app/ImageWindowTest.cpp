#include "AppFixture.h"

#include <QScrollBar>
#include <QStatusTipEvent>
#include <QStyleOptionTitleBar>
#include <QTest>

namespace kaptiv::testing {
namespace {

using ImageWindow = AppFixture;

TEST_F(ImageWindow, UnsavedMeansUntitledOrAFrameOfAnAnimation)
{
    const std::pair<const char *, bool> cases[] = {
        {"Untitled", true},        {"Untitled4", true},      {"UntitledX.bmp", true}, {"untitled1", false},
        {"C:\\a.bmp", false},      {"/home/u/a.bmp", false}, {"anim[3]", true},       {"/tmp/x[1].bmp", true},
        {"My Untitled", false},
    };
    main->GrabScreenClick(main->item("GrabScreen"));
    for (auto [caption, unsaved] : cases) {
        active()->setCaption(QString::fromLatin1(caption));
        EXPECT_EQ(active()->isUnsaved(), unsaved) << caption;
    }
}

TEST_F(ImageWindow, FileNamePartFollowsTheLastSlash)
{
    const std::pair<const char *, const char *> cases[] = {{"Untitled3", "Untitled3"},
                                                           {"/tmp/b.gif", "b.gif"},
                                                           {"shots/10:30.bmp", "10:30.bmp"},
                                                           {"/home/u/a\\b.bmp", "a\\b.bmp"},
                                                           {"C:a.bmp", "C:a.bmp"}};
    for (auto [caption, part] : cases)
        EXPECT_EQ(fileNamePartOf(QString::fromLatin1(caption)), QString::fromLatin1(part));
}

TEST_F(ImageWindow, CloseAsksOnlyForUnsavedImagesWithConfirmOn)
{
    struct Case {
        const char *caption;
        bool confirm, closingAll;
        int answer;
        bool asked, closes;
    } cases[] = {
        {"Untitled1", false, false, mrNo, false, true},
        {"Untitled1", true, false, mrNo, true, false},
        {"Untitled1", true, false, mrYes, true, true},
        {"anim[2]", true, false, mrYes, true, true},
        {"/tmp/a.bmp", true, false, mrNo, false, true},
        {"Untitled1", true, true, mrNo, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.caption);
        main->GrabScreenClick(main->item("GrabScreen"));
        TImagefrm *window = active();
        window->setCaption(QString::fromLatin1(c.caption));
        config().confirm->setChecked(c.confirm);
        main->ClosingAll = c.closingAll;
        dialogs.shown.clear();
        dialogs.answers = {c.answer};
        bool canClose = false;
        window->FormCloseQuery(canClose);
        EXPECT_EQ(canClose, c.closes);
        ASSERT_EQ(dialogs.shown.size(), c.asked ? 1u : 0u);
        if (c.asked) {
            EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("Are you sure you want to close without saving?"));
            EXPECT_EQ(dialogs.shown[0].caption, QStringLiteral("Confirmation"));
            EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::Question);
            EXPECT_EQ(dialogs.shown[0].buttons, MessageButtons::YesNo);
        }
        main->ClosingAll = false;
        config().confirm->setChecked(false);
        window->close();
        settle();
    }
}

TEST_F(ImageWindow, AnsweringNoKeepsTheWindowOpen)
{
    main->GrabScreenClick(main->item("GrabScreen"));
    config().confirm->setChecked(true);
    dialogs.answers = {mrNo};
    EXPECT_FALSE(active()->close());
    settle();
    EXPECT_EQ(main->imageWindowCount(), 1);
}

TEST_F(ImageWindow, CopyAndSaveAreEnabledWhileAnyImageWindowIsOpen)
{
    const auto expectEnabled = [&](bool enabled) {
        for (const char *name : {"Copy1", "copyb", "Save1"})
            EXPECT_EQ(main->item(name)->isEnabled(), enabled) << name;
    };
    expectEnabled(false);
    main->GrabScreenClick(main->item("GrabScreen"));
    main->GrabScreenClick(main->item("GrabScreen"));
    expectEnabled(true);
    active()->close();
    settle();
    expectEnabled(true);
    active()->close();
    settle();
    expectEnabled(false);
}

TEST_F(ImageWindow, ClosingEmptiesTheStatusPanels)
{
    main->GrabScreenClick(main->item("GrabScreen"));
    main->setStatusPanel(0, QStringLiteral("something"));
    main->setStatusPanel(1, QStringLiteral("else"));
    active()->close();
    settle();
    EXPECT_TRUE(main->infoPanels[0]->text().isEmpty());
    EXPECT_TRUE(main->infoPanels[1]->text().isEmpty());
}

TEST_F(ImageWindow, MouseMoveShowsTheGifFactsInPanelOne)
{
    main->GrabScreenClick(main->item("GrabScreen"));
    TImagefrm *window = active();
    struct Case {
        bool fromGif, interlaced, transparent;
        const char *shown;
    } cases[] = {
        {false, true, true, ""},
        {true, false, false, "100x50"},
        {true, false, true, " Transparent - 100x50"},
        {true, true, false, "Interlaced - 100x50"},
        {true, true, true, "Interlaced -  Transparent - 100x50"},
    };
    for (const Case &c : cases) {
        window->FromGif = c.fromGif;
        window->GifInfo.Interlaced = c.interlaced;
        window->GifInfo.Transparent = c.transparent;
        window->GifInfo.Width = 100;
        window->GifInfo.Height = 50;
        main->setStatusPanel(1, QStringLiteral("stale"));
        window->ImageMouseMove(3, 4);
        EXPECT_EQ(main->infoPanels[1]->text(), QString::fromLatin1(c.shown));
    }
}

TEST_F(ImageWindow, PlacingACursorShowsCoordinatesThenStampsAndRestores)
{
    fake.screen.fill(Qt::white);
    main->GrabScreenClick(main->item("GrabScreen"));
    TImagefrm *window = active();
    window->setCaption(QStringLiteral("C:\\100%\\a.bmp"));
    window->ImageMouseMove(1, 1); // remembers the caption
    main->StampCursor.image = QImage(2, 2, QImage::Format_ARGB32_Premultiplied);
    main->StampCursor.image.fill(qRgb(0, 128, 0));
    main->PlacingCursor = true;
    main->cursorPlacementWindow = window;
    window->ImageMouseMove(12, 40);
    EXPECT_EQ(window->caption(), QStringLiteral("C:\\100%\\a.bmp: [12,40]"));
    window->ImageMouseUp(Qt::RightButton, 20, 30);
    EXPECT_EQ(window->caption(), QStringLiteral("C:\\100%\\a.bmp"));
    EXPECT_FALSE(main->PlacingCursor);
    EXPECT_TRUE(main->StampCursor.image.isNull());
    EXPECT_EQ(window->Image->picture().image().pixel(20, 30), qRgb(0, 128, 0));
    EXPECT_EQ(window->Image->picture().image().pixel(22, 32), qRgb(255, 255, 255));
    // Without a cursor being placed a release changes nothing.
    window->ImageMouseUp(Qt::LeftButton, 0, 0);
    EXPECT_EQ(window->Image->picture().image().pixel(0, 0), qRgb(255, 255, 255));
}

TEST_F(ImageWindow, ThePictureShowsTheDescriptionAsTooltipAndStatusText)
{
    main->GrabScreenClick(main->item("GrabScreen"));
    TImagefrm *window = active();
    EXPECT_EQ(window->Image->toolTip(), window->hint());
    QStatusTipEvent hover(window->Image->statusTip());
    QApplication::sendEvent(window->Image, &hover);
    EXPECT_EQ(main->infoPanels[0]->text(), QStringLiteral("Untitled1 - Width: 640, Height: 480, Colors: 16777216"));
}

TEST_F(ImageWindow, LargePicturesScroll)
{
    main->item("Autosize1")->trigger(); // off: the window keeps its default size
    main->GrabScreenClick(main->item("GrabScreen"));
    auto *scroller = qobject_cast<QScrollArea *>(active()->widget());
    ASSERT_NE(scroller, nullptr);
    settle();
    EXPECT_LT(scroller->viewport()->width(), 640);
    EXPECT_GT(scroller->horizontalScrollBar()->maximum(), 0);
    EXPECT_GT(scroller->verticalScrollBar()->maximum(), 0);
}

// Where the style puts a part of an image window's title bar.
QRect titleBarPart(TImagefrm &window, QStyle::SubControl part)
{
    QStyleOptionTitleBar bar;
    bar.initFrom(&window);
    bar.text = window.caption();
    bar.titleBarFlags = window.windowFlags();
    bar.titleBarState = window.windowState() | Qt::WindowActive;
    bar.state |= QStyle::State_Active;
    bar.subControls = QStyle::SC_All;
    const int border = window.style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, &window);
    const int height = window.style()->pixelMetric(QStyle::PM_TitleBarHeight, &bar, &window);
    bar.rect = QRect(border, border, window.width() - 2 * border, height - border);
    return window.style()->subControlRect(QStyle::CC_TitleBar, &bar, part, &window);
}

TEST_F(ImageWindow, APictureOfNoSizeStillShowsItsCaptionAndCloses)
{
    // A right click without a drag on the rectangle overlay: a 0 x 0 picture.
    dialogs.onModal = [](QDialog &overlay) {
        overlay.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&overlay, 5000));
        QTest::mouseClick(&overlay, Qt::RightButton, {}, {50, 60});
        return overlay.result();
    };
    main->GrabRectangleClick(main->item("GrabRectangle"));
    TImagefrm *window = active();
    ASSERT_EQ(window->Image->size(), QSize(0, 0));
    settle();
    QFont title = QApplication::font("QMdiSubWindowTitleBar");
    title.setBold(true);
    const QRect label = titleBarPart(*window, QStyle::SC_TitleBarLabel);
    EXPECT_GE(label.width(), QFontMetrics(title).horizontalAdvance(QStringLiteral("Untitled1")));
    const QRect close = titleBarPart(*window, QStyle::SC_TitleBarCloseButton);
    ASSERT_TRUE(window->rect().contains(close)) << close.x() << "," << close.y() << " in " << window->width();
    QTest::mouseMove(window, close.center());
    QTest::mouseClick(window, Qt::LeftButton, {}, close.center());
    settle();
    EXPECT_EQ(main->imageWindowCount(), 0);
}

TEST_F(ImageWindow, OrderIsActiveFirstThenDownTheStack)
{
    for (int i = 0; i < 3; ++i)
        main->GrabScreenClick(main->item("GrabScreen"));
    EXPECT_EQ(captions(), (QStringList{"Untitled3", "Untitled2", "Untitled1"}));
    main->mdi->setActiveSubWindow(main->imageWindows().last());
    EXPECT_EQ(captions(), (QStringList{"Untitled1", "Untitled3", "Untitled2"}));
}

} // namespace
} // namespace kaptiv::testing
