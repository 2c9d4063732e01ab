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
            main->GrabScreenClick(main->item("GrabScreen"));
    }
    void TearDown() override { QApplication::setQuitOnLastWindowClosed(true); }
};

TEST_F(MainWindowOnX11, AltF4AsksEveryImageWindowActiveFirstThenAsksToExitAndOneNoKeepsThemAll)
{
    const QString exit =
        QStringLiteral("If you have not saved, all your current images will be lost.  Are you sure you want to exit?");
    main->mdi->setActiveSubWindow(main->imageWindows().value(1)); // Untitled2
    ASSERT_EQ(captions(), (QStringList{"Untitled2", "Untitled3", "Untitled1"}));
    struct Case {
        bool confirm;
        std::deque<int> answers;
        int windowQuestions;
        bool exitAsked, closes;
    } cases[] = {
        {true, {mrYes, mrNo}, 2, false, false},
        {true, {mrNo}, 1, false, false},
        {true, {mrYes, mrYes, mrYes, mrNo}, 3, true, false},
        {false, {mrNo}, 0, true, false},
        {true, {mrYes, mrYes, mrYes, mrYes}, 3, true, true},
        {false, {mrYes}, 0, true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << "confirm " << c.confirm << ", answers " << c.answers.size());
        config().confirm->setChecked(c.confirm);
        dialogs.shown.clear();
        dialogs.answers = c.answers;
        const QList<TImagefrm *> order = main->imageWindows();
        const size_t asked = size_t(c.windowQuestions) + (c.exitAsked ? 1 : 0);
        ASSERT_TRUE(pressOn(*main, QStringLiteral("alt+F4")));
        if (c.closes) {
            EXPECT_TRUE(waitUntil([&] { return !main->isVisible(); })) << "the main window did not close";
        } else {
            EXPECT_TRUE(waitUntil([&] { return dialogs.shown.size() == asked; }));
            QTest::qWait(300); // nothing else follows a refusal
            EXPECT_TRUE(main->isVisible());
        }
        ASSERT_EQ(dialogs.shown.size(), asked);
        for (int i = 0; i < c.windowQuestions; ++i) {
            EXPECT_EQ(dialogs.shown[i].parent, order[i]) << "question " << i;
            EXPECT_EQ(dialogs.shown[i].text, QStringLiteral("Are you sure you want to close without saving?"));
        }
        if (c.exitAsked) {
            EXPECT_EQ(dialogs.shown.back().parent, main);
            EXPECT_EQ(dialogs.shown.back().text, exit);
            EXPECT_EQ(dialogs.shown.back().caption, QStringLiteral("Confirmation"));
        }
        EXPECT_EQ(main->imageWindowCount(), 3) << "no image window closes before the main window does";
    }
    // With no image window open, the main window closes without a word.
    main->show();
    main->ClosingAll = true;
    for (TImagefrm *window : main->imageWindows())
        window->close();
    main->ClosingAll = false;
    settle();
    dialogs.shown.clear();
    ASSERT_TRUE(pressOn(*main, QStringLiteral("alt+F4")));
    EXPECT_TRUE(waitUntil([&] { return !main->isVisible(); }));
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(MainWindowOnX11, CtrlTabMovesToTheNextImageWindowAndCtrlF4ClosesTheActiveOne)
{
    // Untitled3 is active; the next ones follow in the order the windows were opened, round.
    for (const char *next : {"Untitled1", "Untitled2", "Untitled3"}) {
        ASSERT_TRUE(pressOn(*main, QStringLiteral("ctrl+Tab")));
        EXPECT_TRUE(waitUntil([&] { return active()->caption() == QLatin1String(next); })) << next;
    }
    ASSERT_TRUE(pressOn(*main, QStringLiteral("ctrl+F4")));
    EXPECT_TRUE(waitUntil([&] {
        settle();
        return main->imageWindowCount() == 2 && !captions().contains(QStringLiteral("Untitled3"));
    })) << captions().join(QLatin1Char(' ')).toStdString();
}

} // namespace
} // namespace kaptiv::testing
