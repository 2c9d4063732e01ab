// The configuration dialog: its words, OK with the uniqueness check, Cancel, Defaults, the Delay
// filter, and an error raised by a button while the dialog runs modally.
#include "SettingsFixture.h"
#include "platform/ui/Errors.h"
#include "settings/RecordingPage.h"

#include <QGroupBox>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QTimer>

using namespace kaptiv;
using namespace kaptiv::testing;

namespace {

const QString defaultsQuestion = QStringLiteral(
    "Your currents settings will be lost if you continue.  Are you sure you would like to reset to "
    "default program configuration values?");
const QString uniqueMessage = QStringLiteral("Each hot key must be unique from one another");

QStringList textsOf(const QWidget &root)
{
    QStringList texts;
    for (const QLabel *label : root.findChildren<QLabel *>())
        texts << label->text();
    for (const QGroupBox *group : root.findChildren<QGroupBox *>())
        texts << group->title();
    return texts;
}

} // namespace

using ConfigDialog = SettingsFixture;

TEST_F(ConfigDialog, ShowsEveryCaptionAndLabel)
{
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Program Configuration"));
    EXPECT_EQ(form.size(), form.size().expandedTo(QSize(256, 309))); // larger only where the texts need it
    ASSERT_EQ(form.PageControl->count(), 3);
    EXPECT_EQ(form.PageControl->tabText(0), QStringLiteral("General"));
    EXPECT_EQ(form.PageControl->tabText(1), QStringLiteral("Hot Keys"));
    EXPECT_EQ(form.PageControl->tabText(2), QStringLiteral("Recording"));
    const QStringList texts = textsOf(form);
    for (const char *text : {"General Configuration", "Delay to refresh screen:", "(milli seconds)",
                             "Hot Key Configuration", "(SHIFT for None)", "Grab &Screen:", "Grab &Rectangle:",
                             "Grab &Window:", "Active Window:", "Ac&tive Client:", "&Custom Region:", "Client Area:"})
        EXPECT_TRUE(texts.contains(QLatin1String(text))) << text;
    EXPECT_EQ(form.hideprog->text(), QStringLiteral("Hide program during captures."));
    EXPECT_EQ(form.confirm->text(), QStringLiteral("Confirm closing of images."));
    EXPECT_EQ(form.coords->text(), QStringLiteral("Show coordinates on capture."));
    EXPECT_EQ(form.Button1->text(), QStringLiteral("OK"));
    EXPECT_EQ(form.Button2->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(form.def->text(), QStringLiteral("Defaults"));
    EXPECT_EQ(form.Delay->maxLength(), 5);
    for (HotKeyEdit *field : form.hotKeyFields()) {
        EXPECT_EQ(field->toolTip(), QStringLiteral("Press a key sequence to associate with this method."));
        EXPECT_EQ(field->value(), 0);
    }
    EXPECT_EQ(form.Button1->nextInFocusChain(), form.Button2);
    EXPECT_EQ(form.Button2->nextInFocusChain(), form.def);
}

TEST_F(ConfigDialog, OkRefusesDuplicateHotKeysUntilTheyDiffer)
{
    LoadSettings(form);
    form.Scrn->setValue(scCtrl | scShift | 'C'); // the same as Custom Region
    form.hideprog->setChecked(false);
    try {
        form.Button1Click();
        FAIL() << "duplicates were accepted";
    } catch (const EHotKey &error) {
        EXPECT_EQ(error.message(), uniqueMessage);
    }
    EXPECT_EQ(form.result(), 0) << "the dialog stays open";
    EXPECT_EQ(stored(QStringLiteral("Hideprog")), QStringLiteral("1")) << "nothing saved";
    EXPECT_EQ(stored(QStringLiteral("Hot Keys/Screen")), QStringLiteral("24659"));

    form.cust->setValue(scCtrl | scShift | 'S');
    form.Button1Click();
    EXPECT_EQ(form.result(), int(mrOk));
    EXPECT_EQ(stored(QStringLiteral("Hideprog")), QStringLiteral("0"));
    EXPECT_EQ(stored(QStringLiteral("Hot Keys/Screen")), QString::number(0x6043));
    EXPECT_EQ(menuShortcuts()[0], QStringLiteral("Ctrl+Shift+C"));
    EXPECT_EQ(menuShortcuts()[5], QStringLiteral("Ctrl+Shift+S"));
}

TEST_F(ConfigDialog, AnyNumberOfHotKeysMayBeNone)
{
    LoadSettings(form);
    for (HotKeyEdit *field : form.hotKeyFields())
        field->setValue(0);
    form.Button1Click();
    EXPECT_EQ(form.result(), int(mrOk));
    EXPECT_EQ(stored(QStringLiteral("Hot Keys/Client Area")), QStringLiteral("0"));
    EXPECT_EQ(menuShortcuts(), QStringList(7, QString()));
}

TEST_F(ConfigDialog, AnErrorInAButtonIsShownAndTheModalDialogStaysOpen)
{
    bool openAfterError = false;
    int boxesAfterError = 0;
    // The dialog runs its real modal loop; clicks arrive as the user's would, through the
    // application's catch point.
    dialogs.onModal = [&](QDialog &dialog) {
        QTimer::singleShot(0, &dialog, [&] {
            form.rec->setValue(scCtrl | scShift | 'S'); // after the showing has loaded the store
            QTest::mouseClick(form.Button1, Qt::LeftButton);
            openAfterError = form.isVisible();
            boxesAfterError = int(dialogs.shown.size());
            form.rec->setValue(scCtrl | scShift | 'R');
            QTest::mouseClick(form.Button1, Qt::LeftButton);
        });
        QTimer::singleShot(5000, &dialog, [&] { dialog.done(mrAbort); }); // never hang
        return dialog.exec();
    };
    EXPECT_EQ(dialogs.execModal(form), int(mrOk));
    EXPECT_TRUE(openAfterError);
    ASSERT_EQ(boxesAfterError, 1);
    EXPECT_EQ(dialogs.shown[0].text, uniqueMessage);
    EXPECT_EQ(dialogs.shown[0].caption, QStringLiteral("Kaptiv"));
    EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::Error);
}

// The recording page shows what is stored, a default for each value absent or out of range,
// stores only on OK, and its keys take part in the check that hot keys differ.
TEST_F(ConfigDialog, RecordingPageShowsTheStoreAndWritesItOnOkOnly)
{
    home.writeStore("[General]\nHideprog=1\nConfirm=0\nCoords=1\nTime=1500\n[Hot%20Keys]\nScreen=24659\n"
                    "Rectangle=24658\nWindow=24663\nActive%20Window=24647\nAW%20Client=24660\n"
                    "Custom%20Region=24643\nClient%20Area=24641\n"
                    "[Recording]\nFramesPerSecond=30\nIncludeCursor=1\nReduceColors=0\nMaxLength=900\n"
                    "StopKey=70000\nPauseKey=120\n");
    form.FormShow();
    RecordingPage &page = *form.recording;
    EXPECT_EQ(page.fps->value(), 30);
    EXPECT_EQ(page.maxLength->value(), 900);
    EXPECT_TRUE(page.cursor->isChecked());
    EXPECT_FALSE(page.reduceColors->isChecked());
    EXPECT_TRUE(page.dither->isChecked()) << "absent: its default";
    EXPECT_FALSE(page.dither->isEnabled()) << "nothing is dithered without reduced colours";
    EXPECT_EQ(page.stopKey->value(), ShortcutValue(scCtrl | scShift | 0x7B)) << "out of range: its default";
    EXPECT_EQ(page.pauseKey->value(), ShortcutValue(0x78));
    for (const char *caption : {"&Frames per second:", "&Maximum length:", "(seconds)", "S&top key:", "&Pause key:",
                                "Recording Configuration"})
        EXPECT_TRUE(textsOf(page).contains(QLatin1String(caption))) << caption;
    EXPECT_EQ(page.reduceColors->text(), QStringLiteral("Reduce colors when needed"));

    page.fps->setValue(10);
    form.Button2Click();
    EXPECT_EQ(page.fps->value(), 30) << "Cancel shows the stored value again";
    EXPECT_EQ(stored(QStringLiteral("Recording/FramesPerSecond")), QStringLiteral("30"));

    page.fps->setValue(10);
    page.reduceColors->setChecked(true);
    page.stopKey->setValue(scCtrl | scShift | 'S'); // Grab Screen's
    EXPECT_THROW(form.Button1Click(), EHotKey);
    EXPECT_EQ(stored(QStringLiteral("Recording/FramesPerSecond")), QStringLiteral("30")) << "nothing saved";
    page.stopKey->setValue(0x79);
    form.Button1Click();
    EXPECT_EQ(form.result(), int(mrOk));
    const RecordingSettings saved = loadRecordingSettings();
    EXPECT_EQ(saved.framesPerSecond, 10);
    EXPECT_EQ(saved.maxLengthSeconds, 900);
    EXPECT_TRUE(saved.includeCursor);
    EXPECT_TRUE(saved.reduceColors);
    EXPECT_TRUE(saved.dither);
    EXPECT_EQ(saved.stopKey, ShortcutValue(0x79));
    EXPECT_EQ(saved.pauseKey, ShortcutValue(0x78));

    dialogs.answers = {mrYes};
    form.defClick();
    EXPECT_EQ(page.fps->value(), 15);
    EXPECT_EQ(loadRecordingSettings().stopKey, ShortcutValue(scCtrl | scShift | 0x7B)) << "Defaults stores them";
}

TEST_F(ConfigDialog, DefaultsAnsweredYesStayInForceAfterCancel)
{
    home.writeStore("[General]\nHideprog=0\nConfirm=1\nCoords=0\nTime=20\n[Hot%20Keys]\nScreen=0\n"
                    "Rectangle=112\nWindow=113\nActive%20Window=114\nAW%20Client=115\nCustom%20Region=116\n"
                    "Client%20Area=117\n");
    form.FormShow();
    ASSERT_EQ(form.Delay->text(), QStringLiteral("20"));

    dialogs.answers = {mrNo};
    form.defClick();
    EXPECT_EQ(form.Delay->text(), QStringLiteral("20")) << "No changes nothing";
    EXPECT_EQ(stored(QStringLiteral("Time")), QStringLiteral("20"));

    dialogs.answers = {mrYes};
    form.defClick();
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[1].text, defaultsQuestion);
    EXPECT_EQ(dialogs.shown[1].caption, QStringLiteral("Confirmation"));
    EXPECT_EQ(dialogs.shown[1].icon, MessageIcon::Question);
    EXPECT_EQ(dialogs.shown[1].buttons, MessageButtons::YesNo);
    EXPECT_EQ(form.result(), 0) << "Defaults leaves the dialog open";

    form.Button2Click();
    EXPECT_EQ(form.result(), int(mrCancel));
    expectDefaultsInForce();
    EXPECT_EQ(stored(QStringLiteral("Hideprog")), QStringLiteral("1"));
    EXPECT_EQ(stored(QStringLiteral("Time")), QStringLiteral("1500"));
    EXPECT_EQ(stored(QStringLiteral("Hot Keys/Screen")), QStringLiteral("24659"));
}

TEST_F(ConfigDialog, CancelPutsTheStoredValuesBackAtOnce)
{
    form.FormShow(); // first start: defaults
    form.hideprog->setChecked(false);
    form.Delay->clear();
    form.Scrn->setValue(0x78);
    const QByteArray before = QSettings(home.storeFile(), QSettings::IniFormat).value("Time").toByteArray();

    form.reject(); // Escape and the close box
    EXPECT_EQ(form.result(), int(mrCancel));
    EXPECT_TRUE(form.hideprog->isChecked());
    EXPECT_EQ(form.Delay->text(), QStringLiteral("1500")) << "an emptied delay must not stay in force";
    EXPECT_EQ(form.Scrn->value(), defaultHotKeys[0]);
    EXPECT_EQ(stored(QStringLiteral("Hideprog")), QStringLiteral("1"));
    EXPECT_EQ(stored(QStringLiteral("Time")), QString::fromLatin1(before));
}

TEST_F(ConfigDialog, EveryShowingReloadsTheStoreAndOnlyTheFirstIsScreenCentred)
{
    form.FormShow();
    home.writeStore("[General]\nHideprog=0\nConfirm=1\nCoords=1\nTime=42\n[Hot%20Keys]\nScreen=24659\n"
                    "Rectangle=24658\nWindow=24663\nActive%20Window=24647\nAW%20Client=24660\n"
                    "Custom%20Region=24643\nClient%20Area=24641\n");
    form.move(3, 4);
    form.show();
    EXPECT_EQ(form.Delay->text(), QStringLiteral("42"));
    EXPECT_FALSE(form.hideprog->isChecked());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(form.pos(), QPoint((screen.width() - form.width()) / 2, (screen.height() - form.height()) / 2));
    form.hide();
    form.move(3, 4);
    form.show();
    EXPECT_EQ(form.pos(), QPoint(3, 4)) << "later showings stay where they were put";
    form.hide();
}

TEST_F(ConfigDialog, DelayTakesDigitsAndBackspaceOnlyAndBeepsAtTheRest)
{
    form.Delay->clear();
    QTest::keyClicks(form.Delay, QStringLiteral("12a3"));
    EXPECT_EQ(form.Delay->text(), QStringLiteral("123"));
    EXPECT_EQ(dialogs.beeps, 1);

    const struct {
        const char *what;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        bool beeps;
    } keys[] = {
        {"Backspace", Qt::Key_Backspace, Qt::NoModifier, false},
        {"Delete", Qt::Key_Delete, Qt::NoModifier, false},
        {"Left", Qt::Key_Left, Qt::NoModifier, false},
        {"keypad 7", Qt::Key_7, Qt::KeypadModifier, false},
        {"Space", Qt::Key_Space, Qt::NoModifier, true},
        {"minus", Qt::Key_Minus, Qt::NoModifier, true},
        {"Enter", Qt::Key_Return, Qt::NoModifier, true},
        {"Escape", Qt::Key_Escape, Qt::NoModifier, true},
        {"Ctrl+V", Qt::Key_V, Qt::ControlModifier, true},
        {"Ctrl+X", Qt::Key_X, Qt::ControlModifier, true},
    };
    for (const auto &k : keys) {
        const int beepsBefore = dialogs.beeps;
        QTest::keyClick(form.Delay, k.key, k.modifiers);
        EXPECT_EQ(dialogs.beeps - beepsBefore, k.beeps ? 1 : 0) << k.what;
    }
    EXPECT_EQ(form.result(), 0) << "neither Enter nor Escape reached the dialog";
}

// OK rewrites the values it owns and nothing else: a hand-edited file keeps its comments, its
// other sections and even the lines the store cannot make sense of, in their places.
TEST_F(ConfigDialog, OkKeepsCommentsAndLinesTheStoreDoesNotUnderstand)
{
    home.writeStore("; Kaptiv settings, edited by hand\n"
                    "[General]\n"
                    "# the delay is in milliseconds\n"
                    "Hideprog=1\n"
                    "Confirm = 0\n"
                    "Coords=1\n"
                    "Time=1500\n"
                    "this line is not a setting\n"
                    "\n"
                    "[Hot%20Keys]\n"
                    "Screen=24659\n"
                    "Rectangle=24658\n"
                    "Window=24663\n"
                    "Active%20Window=24647\n"
                    "AW%20Client=24660\n"
                    "Custom%20Region=24643\n"
                    "Client%20Area=24641\n"
                    "; F-keys work too\n"
                    "\n"
                    "[Elsewhere]\n"
                    "Mine=keep me\n");
    form.FormShow();
    form.confirm->setChecked(true);
    form.Delay->setText(QStringLiteral("250"));
    form.Scrn->setValue(0x78); // F9
    form.Button1Click();
    EXPECT_EQ(form.result(), int(mrOk));
    EXPECT_EQ(QString::fromUtf8(readStore()), QStringLiteral("; Kaptiv settings, edited by hand\n"
                                                             "[General]\n"
                                                             "# the delay is in milliseconds\n"
                                                             "Hideprog=1\n"
                                                             "Confirm =1\n"
                                                             "Coords=1\n"
                                                             "Time=250\n"
                                                             "this line is not a setting\n"
                                                             "\n"
                                                             "[Hot%20Keys]\n"
                                                             "Screen=120\n"
                                                             "Rectangle=24658\n"
                                                             "Window=24663\n"
                                                             "Active%20Window=24647\n"
                                                             "AW%20Client=24660\n"
                                                             "Custom%20Region=24643\n"
                                                             "Client%20Area=24641\n"
                                                             "; F-keys work too\n"
                                                             "\n"
                                                             "[Elsewhere]\n"
                                                             "Mine=keep me\n"
                                                             "\n"
                                                             "[Every%20Program]\n"
                                                             "Enabled=0\n"
                                                             "\n"
                                                             "[Recording]\n"
                                                             "FramesPerSecond=15\n"
                                                             "IncludeCursor=0\n"
                                                             "ReduceColors=1\n"
                                                             "Dither=1\n"
                                                             "MaxLength=60\n"
                                                             "StopKey=24699\n"
                                                             "PauseKey=24698\n"));
    EXPECT_TRUE(dialogs.shown.empty());
}

// The box is off unless stored on, and only OK stores it. Ticked, it names the keys other programs
// answer to, the dialog growing to show the warning whole; keys with Print raise none.
TEST_F(ConfigDialog, EveryProgramBoxIsStoredOnOkAndWarnsOfKeysOtherProgramsUse)
{
    LoadSettings(form); // first start: the defaults
    EXPECT_EQ(form.everyProgram->text(), QStringLiteral("Use hot keys in every program"));
    EXPECT_FALSE(form.everyProgram->isChecked());
    form.show();
    const QSize before = form.size();
    const QRect screen = form.screen()->availableGeometry();
    form.move(screen.left(), screen.bottom() + 1 - form.frameGeometry().height()); // at the screen's foot
    form.PageControl->setCurrentIndex(1);
    form.everyProgram->setChecked(true);
    EXPECT_TRUE(screen.contains(form.frameGeometry())) << "the grown dialog reaches off the screen";
    ASSERT_FALSE(form.commonKeysWarning->isHidden());
    const QString warning = form.commonKeysWarning->text();
    for (const char *line : {"Ctrl+Shift+C: copy in terminals", "Ctrl+Shift+T: new or reopened tabs",
                             "Ctrl+Shift+W: closing tabs", "Ctrl+Print"})
        EXPECT_TRUE(warning.contains(QLatin1String(line))) << line << " in " << warning.toStdString();
    EXPECT_GT(form.height(), before.height());
    const QRect shown(form.commonKeysWarning->mapTo(&form, QPoint(0, 0)), form.commonKeysWarning->sizeHint());
    EXPECT_TRUE(form.rect().contains(shown)) << "the warning is cut off";

    // Cancel keeps the stored choice; OK stores it.
    form.Button2Click();
    EXPECT_FALSE(form.everyProgram->isChecked());
    EXPECT_EQ(stored(QStringLiteral("Every Program/Enabled")), QStringLiteral("0"));
    form.everyProgram->setChecked(true);
    form.Button1Click();
    EXPECT_EQ(stored(QStringLiteral("Every Program/Enabled")), QStringLiteral("1"));
    LoadSettings(form);
    EXPECT_TRUE(form.everyProgram->isChecked());

    // Keys with Print: nothing to warn of, and the dialog back to its size.
    form.show();
    const ShortcutValue print = 0x2C;
    const ShortcutValue printKeys[7] = {print, scCtrl | print, scAlt | print, scCtrl | scShift | print,
                                        scCtrl | scAlt | print, scCtrl | scShift | scAlt | print, 0};
    for (int row = 0; row < 7; ++row)
        form.hotKeyFields()[row]->setValue(printKeys[row]);
    EXPECT_TRUE(form.commonKeysWarning->isHidden());
    EXPECT_EQ(form.size(), before);
    form.hide();
}
