// The main window on a real display with a window manager, closed and driven from the keyboard
// with xdotool as a user does it.
#include "AppFixture.h"
#include "XdoTool.h"

#include <QTest>

namespace kaptiv::testing {
namespace {

class MainWindowOnX11 : public AppFixture {
protected:
    void SetUp() override
    {
        // Closing the main window ends the program; the test's process stays to look at the result.
        QApplication::setQuitOnLastWindowClosed(false);
        for (int i = 0; i < 3; ++i)
            main->GrabScreenClick(main->GrabScreen);
    }
    void TearDown() override { QApplication::setQuitOnLastWindowClosed(true); }

    // Gives the main window the keyboard through the window manager.
    void activateMainWindow()
    {
        if (!main->isVisible())
            main->show();
        xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(main->winId())});
        ASSERT_TRUE(waitUntil([&] { return main->isActiveWindow(); })) << "the main window never became active";
    }
    void pressOnMainWindow(const char *keys)
    {
        activateMainWindow();
        xdotool({QStringLiteral("key"), QString::fromLatin1(keys)});
    }
};

TEST_F(MainWindowOnX11, AltF4AsksEveryImageWindowActiveFirstAndOneNoKeepsThemAll)
{
    activateMainWindow();
    main->mdi->setActiveSubWindow(main->imageWindows().value(1)); // Untitled2
    ASSERT_EQ(captions(), (QStringList{"Untitled2", "Untitled3", "Untitled1"}));
    struct Case {
        bool confirm;
        std::deque<int> answers;
        int asked;
        bool closes;
    } cases[] = {
        {true, {mrYes, mrNo}, 2, false},
        {true, {mrNo}, 1, false},
        {true, {mrYes, mrYes, mrYes}, 3, true},
        {false, {}, 0, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << "confirm " << c.confirm << ", questions " << c.asked);
        config().confirm->setChecked(c.confirm);
        dialogs.shown.clear();
        dialogs.answers = c.answers;
        activateMainWindow();
        const QList<TImagefrm *> order = main->imageWindows();
        xdotool({QStringLiteral("key"), QStringLiteral("alt+F4")});
        if (c.closes) {
            EXPECT_TRUE(waitUntil([&] { return !main->isVisible(); })) << "the main window did not close";
        } else {
            EXPECT_TRUE(waitUntil([&] { return dialogs.shown.size() == size_t(c.asked); }));
            QTest::qWait(300); // nothing else follows a refusal
            EXPECT_TRUE(main->isVisible());
        }
        ASSERT_EQ(dialogs.shown.size(), size_t(c.asked));
        for (int i = 0; i < c.asked; ++i) {
            EXPECT_EQ(dialogs.shown[i].parent, order[i]) << "question " << i;
            EXPECT_EQ(dialogs.shown[i].text, QStringLiteral("Are you sure you want to close without saving?"));
        }
        EXPECT_EQ(main->imageWindowCount(), 3) << "no image window closes before the main window does";
    }
}

TEST_F(MainWindowOnX11, CtrlTabMovesToTheNextImageWindowAndCtrlF4ClosesTheActiveOne)
{
    // Untitled3 is active; the next ones follow in the order the windows were opened, round.
    for (const char *next : {"Untitled1", "Untitled2", "Untitled3"}) {
        pressOnMainWindow("ctrl+Tab");
        EXPECT_TRUE(waitUntil([&] { return active()->caption() == QLatin1String(next); })) << next;
    }
    pressOnMainWindow("ctrl+F4");
    EXPECT_TRUE(waitUntil([&] {
        settle();
        return main->imageWindowCount() == 2 && !captions().contains(QStringLiteral("Untitled3"));
    })) << captions().join(QLatin1Char(' ')).toStdString();
}

} // namespace
} // namespace kaptiv::testing
