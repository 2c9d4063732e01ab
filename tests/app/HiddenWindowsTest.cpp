// On a desktop that hides other windows from programs (a Wayland session), every way to a capture
// that needs them ends in one box that says why and offers the whole screen; the X11 desktop is
// played by the same fake with its windows visible.
#include "AppFixture.h"

#include <QCheckBox>
#include <QTabWidget>
#include <QTest>

#include <functional>

namespace kaptiv::testing {
namespace {

using HiddenWindows = AppFixture;

const QString offer = QStringLiteral("\n\nCapture the whole screen instead?");
const QString activeText =
    QStringLiteral("This desktop does not let programs see other windows, so Kaptiv cannot capture the active window.");
const QString clientText = QStringLiteral("This desktop does not let programs see other windows, so Kaptiv cannot "
                                          "capture the client area of the active window.");
const QString pickText =
    QStringLiteral("This desktop does not let programs see other windows, so Kaptiv cannot pick a window on the screen.");

TEST_F(HiddenWindows, EveryWayToAWindowSaysWhyAndYesCapturesTheWholeScreen)
{
    fake.othersVisible = false;
    fake.foreground = fake.addWindow({100, 50, 300, 200}, {104, 70, 296, 196}); // never asked for
    const struct Case {
        QAction *chosen;
        QString text;
    } cases[] = {
        {main->item("GrabActiveWindow1"), activeText},
        {main->item("activeb"), activeText},
        {main->item("GrabActiveWindowClient1"), clientText},
        {main->item("AWClientb"), clientText},
        {main->item("GrabWindow"), pickText},
        {main->item("wndb"), pickText},
        {main->item("Client"), pickText},
        {main->item("Clientb"), pickText},
        {main->item("RecordAreatoGIF1"),
         QStringLiteral("This desktop does not let programs see other windows, so Kaptiv cannot record an area of the "
                        "screen.")},
        {main->item("Include1"), QStringLiteral("This desktop does not let programs see other windows or the mouse pointer, "
                                        "so Kaptiv cannot draw the pointer into a capture.")},
    };
    for (const Case &c : cases) {
        const QString name = c.chosen->objectName();
        for (const int answer : {int(mrNo), int(mrYes)}) {
            const qsizetype windowsBefore = main->imageWindows().size();
            dialogs.shown.clear();
            dialogs.answers = {answer};
            c.chosen->trigger();
            settle();
            ASSERT_EQ(dialogs.shown.size(), 1u) << name.toStdString();
            EXPECT_EQ(dialogs.shown[0].text, c.text + offer) << name.toStdString();
            EXPECT_EQ(dialogs.shown[0].caption, QStringLiteral("Kaptiv"));
            EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::Information);
            EXPECT_EQ(dialogs.shown[0].buttons, MessageButtons::YesNo);
            EXPECT_EQ(dialogs.shown[0].parent, main);
            EXPECT_EQ(dialogs.modalRuns, 0) << name.toStdString() << ": no overlay, no recording";
            EXPECT_FALSE(main->item("Include1")->isChecked()) << name.toStdString();
            ASSERT_EQ(main->imageWindows().size(), windowsBefore + (answer == mrYes ? 1 : 0)) << name.toStdString();
            if (answer == mrYes) {
                EXPECT_EQ(active()->Image->picture().image().convertToFormat(QImage::Format_RGB32), fake.screen)
                    << name.toStdString();
            }
        }
    }
    EXPECT_TRUE(main->isVisible());
}

TEST_F(HiddenWindows, HotKeysInEveryProgramAreRefusedWithoutATick)
{
    fake.othersVisible = false;
    QCheckBox &box = *config().everyProgram;
    // As the user sees it, on its page: a hidden box takes no clicks.
    config().show();
    auto *pages = config().findChild<QTabWidget *>();
    for (int page = 0; pages && page < pages->count(); ++page)
        if (pages->widget(page)->isAncestorOf(&box))
            pages->setCurrentIndex(page);
    ASSERT_TRUE(box.isVisible());
    const QSize dialogSize = config().size(); // a tick would show a warning and grow it
    const QString text = QStringLiteral("This desktop does not let programs see other windows or the keys pressed in "
                                        "them, so Kaptiv cannot answer its hot keys while another program is "
                                        "active.\n\nBind a key of the desktop to 'kaptiv --capture screen' instead.");
    const struct {
        const char *how;
        std::function<void()> tick;
        bool byUser; // never ticked, so the dialog never grows for the warning of a tick
    } ways[] = {
        {"a click", [&] { QTest::mouseClick(&box, Qt::LeftButton, {}, box.rect().center()); }, true},
        {"the space bar", [&] { QTest::keyClick(&box, Qt::Key_Space); }, true},
        {"a click made by a program", [&] { box.click(); }, false},
    };
    for (const auto &way : ways) {
        dialogs.shown.clear();
        way.tick();
        settle();
        EXPECT_FALSE(box.isChecked()) << way.how;
        ASSERT_EQ(dialogs.shown.size(), 1u) << way.how;
        EXPECT_EQ(dialogs.shown[0].text, text) << way.how;
        EXPECT_EQ(dialogs.shown[0].parent, &config()) << way.how;
        EXPECT_EQ(dialogs.shown[0].buttons, MessageButtons::Ok) << way.how;
        if (way.byUser) {
            EXPECT_EQ(config().size(), dialogSize) << way.how;
        }
    }
    fake.othersVisible = true; // an X desktop: ticked without a word
    dialogs.shown.clear();
    QTest::mouseClick(&box, Qt::LeftButton, {}, box.rect().center());
    EXPECT_TRUE(box.isChecked());
    EXPECT_TRUE(dialogs.shown.empty());
    config().hide();
}

TEST_F(HiddenWindows, WhereWindowsAreVisibleNothingIsAskedAndTheCursorCanBeIncluded)
{
    fake.foreground = fake.addWindow({100, 50, 300, 200}, {104, 70, 296, 196});
    main->item("Include1")->trigger();
    EXPECT_TRUE(main->item("Include1")->isChecked());
    main->item("GrabActiveWindow1")->trigger();
    settle();
    EXPECT_TRUE(dialogs.shown.empty());
    ASSERT_EQ(main->imageWindows().size(), 1);
    EXPECT_EQ(active()->Image->size(), QSize(200, 150));
}

} // namespace
} // namespace kaptiv::testing
