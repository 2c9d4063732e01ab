// The hot-key field as the user types into it, and the capture items' hot keys acting in the main
// window, key presses going the whole way through Qt's key handling.
#include "SettingsFixture.h"

#include <QLineEdit>
#include <QTest>

using namespace kaptiv;
using namespace kaptiv::testing;

namespace {

enum class Act { Press, Release, Click };

struct Stroke {
    Act act;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
};

void type(QWidget *field, const std::vector<Stroke> &strokes)
{
    for (const Stroke &s : strokes) {
        if (s.act != Act::Release)
            QTest::keyPress(field, s.key, s.modifiers);
        if (s.act != Act::Press)
            QTest::keyRelease(field, s.key, s.modifiers);
    }
}

constexpr Qt::KeyboardModifiers ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier, alt = Qt::AltModifier,
                                keypad = Qt::KeypadModifier, noMods = Qt::NoModifier;

} // namespace

TEST(HotKeyField, RecordsWhatIsTyped)
{
    const ShortcutValue before = scCtrl | scShift | 'S';
    const struct {
        const char *what;
        std::vector<Stroke> strokes;
        ShortcutValue expected;
        const char *shown;
    } cases[] = {
        {"a bare key", {{Act::Click, Qt::Key_F5, noMods}}, 0x74, "F5"},
        {"Shift alone is no modifier", {{Act::Click, Qt::Key_S, shift}}, 0x53, "S"},
        {"Ctrl+Shift+1 arriving as !", {{Act::Click, Qt::Key_Exclam, ctrl | shift}}, 0x6031, "Ctrl+Shift+1"},
        {"Alt+F", {{Act::Click, Qt::Key_F, alt}}, 0x8046, "Alt+F"},
        {"a keypad key", {{Act::Click, Qt::Key_5, ctrl | keypad}}, 0x4065, "Ctrl+Num+5"},
        {"Ctrl pressed and released alone",
         {{Act::Press, Qt::Key_Control, ctrl}, {Act::Release, Qt::Key_Control, noMods}}, 0, "None"},
        {"Shift pressed and released alone",
         {{Act::Press, Qt::Key_Shift, shift}, {Act::Release, Qt::Key_Shift, noMods}}, 0, "None"},
        {"releasing the modifiers after a key keeps the key",
         {{Act::Press, Qt::Key_Control, ctrl},
          {Act::Press, Qt::Key_Shift, ctrl | shift},
          {Act::Click, Qt::Key_R, ctrl | shift},
          {Act::Release, Qt::Key_Shift, ctrl},
          {Act::Release, Qt::Key_Control, noMods}},
         0x6052,
         "Ctrl+Shift+R"},
        {"Tab is left to the dialog", {{Act::Click, Qt::Key_Tab, noMods}}, before, "Ctrl+Shift+S"},
        {"Space is left to the dialog", {{Act::Click, Qt::Key_Space, ctrl}}, before, "Ctrl+Shift+S"},
    };
    for (const auto &c : cases) {
        HotKeyEdit field;
        field.setValue(before);
        type(&field, c.strokes);
        EXPECT_EQ(field.value(), c.expected) << c.what;
        EXPECT_EQ(field.text(), QLatin1String(c.shown)) << c.what;
    }
}

class CaptureHotKeysInWindow : public SettingsFixture {
protected:
    CaptureHotKeysInWindow()
    {
        window.setCentralWidget(edit);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window)); // shortcuts act only in the active window
        edit->setFocus();
        for (std::size_t row = 0; row < items.size(); ++row)
            QObject::connect(items[row], &QAction::triggered, &window, [this, row] { ++fired[row]; });
    }
    // Presses a key in the main window and lets the command run.
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers)
    {
        QTest::keyClick(window.windowHandle(), key, modifiers);
        QCoreApplication::processEvents();
    }
    void useHotKey(int row, ShortcutValue value)
    {
        form.hotKeyFields()[row]->setValue(value);
        form.applyHotKeyToMenu(row);
    }

    QLineEdit *edit = new QLineEdit;
    std::array<int, 7> fired{};
};

TEST_F(CaptureHotKeysInWindow, KeysActAsTheFieldsReadThem)
{
    const struct {
        const char *what;
        ShortcutValue hotKey;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        bool fires;
    } cases[] = {
        {"the default", scCtrl | scShift | 'S', Qt::Key_S, ctrl | shift, true},
        {"Ctrl+Shift+1 arriving as !", scCtrl | scShift | '1', Qt::Key_Exclam, ctrl | shift, true},
        {"a keypad hot key", scCtrl | 0x65, Qt::Key_5, ctrl | keypad, true},
        {"the digit is not the keypad key", scCtrl | 0x65, Qt::Key_5, ctrl, false},
        {"the keypad key is not the digit", scCtrl | '5', Qt::Key_5, ctrl | keypad, false},
        {"the digit", scCtrl | '5', Qt::Key_5, ctrl, true},
        {"Alt+F wins over the menu's mnemonic", scAlt | 'F', Qt::Key_F, alt, true},
        {"other modifiers are another key", scCtrl | scShift | 'S', Qt::Key_S, ctrl, false},
        {"no hot key", 0, Qt::Key_S, ctrl | shift, false},
    };
    QMenu *file = window.menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&Open..."));
    for (const auto &c : cases) {
        useHotKey(2, c.hotKey);
        fired = {};
        press(c.key, c.modifiers);
        EXPECT_EQ(fired[2], c.fires ? 1 : 0) << c.what;
        EXPECT_EQ(std::count(fired.begin(), fired.end(), 0), c.fires ? 6 : 7) << c.what;
        EXPECT_FALSE(file->isVisible()) << c.what;
    }
    useHotKey(2, 0);
    press(Qt::Key_F, alt);
    EXPECT_TRUE(file->isVisible()) << "without the hot key Alt+F opens the menu";
    file->hide();
}

TEST_F(CaptureHotKeysInWindow, TheKeyPressOfAHotKeyGoesNowhereElse)
{
    useHotKey(0, 'Q');
    press(Qt::Key_Q, noMods);
    press(Qt::Key_W, noMods);
    EXPECT_EQ(fired[0], 1);
    EXPECT_EQ(edit->text(), QStringLiteral("w"));
}

TEST_F(CaptureHotKeysInWindow, DisabledItemsDoNotAct)
{
    useHotKey(0, scCtrl | scShift | 'S');
    items[0]->setEnabled(false);
    press(Qt::Key_S, ctrl | shift);
    EXPECT_EQ(fired[0], 0);
}
