// The Window menu, the menus' enabling, Close All and Exit on a real display with a window manager,
// chosen from the keyboard with xdotool as a user does it.
#include "AppFixture.h"
#include "XdoTool.h"

#include <QTest>
#include <QTimer>

namespace kaptiv::testing {
namespace {

class WindowMenuOnX11 : public AppFixture {
protected:
    void SetUp() override { QApplication::setQuitOnLastWindowClosed(false); }
    void TearDown() override { QApplication::setQuitOnLastWindowClosed(true); }

    void capture(int count)
    {
        for (int i = 0; i < count; ++i)
            main->GrabScreenClick(main->item("GrabScreen"));
    }
    // Opens a menu of the menu bar by its Alt key and waits until it shows.
    void openMenu(const char *altKey, QMenu *menu)
    {
        ASSERT_TRUE(pressOn(*main, QString::fromLatin1(altKey)));
        ASSERT_TRUE(waitUntil([&] { return menu->isVisible(); })) << altKey;
    }
    void closeMenu(QMenu *menu)
    {
        xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
        ASSERT_TRUE(waitUntil([&] { return !menu->isVisible(); }));
        xdotool({QStringLiteral("key"), QStringLiteral("Escape")}); // the menu bar lets the keyboard go
    }
    // Chooses an entry of the Window menu by its underlined letter. A disabled entry takes no key
    // and leaves the menu open: then it is closed again and false returned.
    bool chooseFromWindowMenu(const char *letter, bool expectEnabled = true)
    {
        openMenu("alt+w", main->menu("Window1"));
        xdotool({QStringLiteral("key"), QString::fromLatin1(letter)});
        const bool chosen = waitUntil([&] { return !main->menu("Window1")->isVisible(); }, expectEnabled ? 10000 : 500);
        if (!chosen)
            closeMenu(main->menu("Window1"));
        settle();
        return chosen;
    }
    QRect area() const { return QRect(QPoint(0, 0), main->mdi->viewport()->size()); }
};

TEST_F(WindowMenuOnX11, MenusEnableTheirEntriesFromTheNumberOfImageWindows)
{
    for (int count = 0; count < 3; ++count) {
        SCOPED_TRACE(::testing::Message() << count << " image windows");
        capture(count == 0 ? 0 : 1);
        openMenu("alt+f", main->menu("File1"));
        EXPECT_EQ(main->menu("SaveAs1")->menuAction()->isEnabled(), count >= 1);
        EXPECT_EQ(main->item("Print1")->isEnabled(), count >= 1);
        closeMenu(main->menu("File1"));
        openMenu("alt+o", main->menu("Options2"));
        EXPECT_EQ(main->item("CreateAnimatedGIF1")->isEnabled(), count >= 2);
        EXPECT_EQ(main->menu("CreateDuplicateAs1")->menuAction()->isEnabled(), count >= 1);
        EXPECT_EQ(main->item("Insertcursorinimage1")->isEnabled(), count >= 1);
        closeMenu(main->menu("Options2"));
        openMenu("alt+w", main->menu("Window1"));
        for (QAction *entry : {main->item("Cascae1"), main->item("Tile1"), main->item("ArrangeIcons1"), main->item("MinimizeAll1"), main->item("CloseAll")})
            EXPECT_EQ(entry->isEnabled(), count >= 1) << entry->text().toStdString();
        closeMenu(main->menu("Window1"));
    }
}

TEST_F(WindowMenuOnX11, CloseAllAsksOnceWhateverTheConfirmSettingAndNoKeepsEveryWindow)
{
    EXPECT_FALSE(chooseFromWindowMenu("l", false)) << "nothing to close";
    capture(3);
    struct Case {
        bool confirm;
        int answer, windowsLeft;
    } cases[] = {{true, mrNo, 3}, {false, mrNo, 3}, {true, mrYes, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << "confirm " << c.confirm << ", answer " << c.answer);
        config().confirm->setChecked(c.confirm);
        dialogs.shown.clear();
        dialogs.answers = {c.answer};
        EXPECT_TRUE(chooseFromWindowMenu("l"));
        EXPECT_TRUE(waitUntil([&] {
            settle();
            return main->imageWindowCount() == c.windowsLeft;
        }));
        ASSERT_EQ(dialogs.shown.size(), 1u) << "no image window asks its own question";
        EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("If you have not saved, all your current images will be lost.  "
                                                        "Are you sure you would like to close all the windows?"));
        EXPECT_EQ(dialogs.shown[0].caption, QStringLiteral("Confirmation"));
        EXPECT_FALSE(main->ClosingAll);
    }
    EXPECT_FALSE(main->item("Copy1")->isEnabled());
}

TEST_F(WindowMenuOnX11, ExitWithUnsavedImagesEndsTheProgramWithoutAQuestion)
{
    capture(2);
    config().confirm->setChecked(true);
    QTimer::singleShot(0, [&] { EXPECT_TRUE(pressOn(*main, QStringLiteral("ctrl+x"))); });
    QTimer::singleShot(20000, [] { QApplication::exit(99); }); // Exit never came
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(WindowMenuOnX11, TileCascadeMinimizeAllAndArrangeIcons)
{
    capture(3);
    // Tile: full-width rows from the top down, the active window first, covering the area.
    ASSERT_TRUE(chooseFromWindowMenu("t"));
    int top = 0;
    for (TImagefrm *window : main->imageWindows()) {
        EXPECT_EQ(window->geometry(), QRect(0, top, area().width(), window->height())) << window->caption().toStdString();
        top += window->height();
    }
    EXPECT_EQ(top, area().height());

    // Cascade: each window a title bar lower and further right than the one behind it, the
    // active one in front.
    ASSERT_TRUE(chooseFromWindowMenu("c"));
    const QList<TImagefrm *> frontToBack = main->imageWindows();
    EXPECT_EQ(frontToBack.last()->pos(), QPoint(0, 0));
    for (qsizetype i = 0; i + 1 < frontToBack.size(); ++i) {
        const int title = frontToBack[i + 1]->widget()->y();
        EXPECT_EQ(frontToBack[i]->geometry(), frontToBack[i + 1]->geometry().translated(title, title));
    }
    EXPECT_EQ(frontToBack.first()->caption(), QStringLiteral("Untitled3"));

    // Minimize All, twice: all stay minimised. Arrange Icons lines up those the user moved.
    ASSERT_TRUE(chooseFromWindowMenu("m"));
    ASSERT_TRUE(chooseFromWindowMenu("m"));
    const QList<TImagefrm *> windows = main->imageWindows();
    windows[0]->move(area().center());
    ASSERT_TRUE(chooseFromWindowMenu("a"));
    QRegion covered;
    for (TImagefrm *window : windows) {
        EXPECT_TRUE(window->isMinimized());
        EXPECT_FALSE(covered.intersects(window->geometry())) << window->caption().toStdString();
        EXPECT_EQ((area().height() - window->y()) % window->height(), 0) << "in a row counted from the bottom";
        covered += window->geometry();
    }
    EXPECT_TRUE(covered.boundingRect().bottomLeft() == area().bottomLeft());

    // Tile leaves the minimised windows' row uncovered.
    windows[1]->showNormal();
    ASSERT_TRUE(chooseFromWindowMenu("t"));
    EXPECT_EQ(windows[1]->geometry(), QRect(0, 0, area().width(), area().height() - windows[0]->height()));
}

} // namespace
} // namespace kaptiv::testing
