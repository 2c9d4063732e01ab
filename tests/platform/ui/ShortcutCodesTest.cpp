// The 16-bit shortcut value against Qt's keys: every key class both ways, and the key presses that
// arrive in another shape than the key the user means.
#include "platform/ui/ShortcutCodes.h"

#include <gtest/gtest.h>

using namespace kaptiv;

namespace {

constexpr Qt::KeyboardModifiers none = Qt::NoModifier;
constexpr Qt::KeyboardModifier keypad = Qt::KeypadModifier;

struct KeyCase {
    int vk;
    Qt::Key key;
    bool onKeypad;
};

// One or more keys of every class, with the virtual-key code each must have.
const KeyCase everyClass[] = {
    {0x41, Qt::Key_A, false},         {0x53, Qt::Key_S, false},         {0x5A, Qt::Key_Z, false},
    {0x30, Qt::Key_0, false},         {0x31, Qt::Key_1, false},         {0x39, Qt::Key_9, false},
    {0x70, Qt::Key_F1, false},        {0x7B, Qt::Key_F12, false},       {0x87, Qt::Key_F24, false},
    {0x25, Qt::Key_Left, false},      {0x26, Qt::Key_Up, false},        {0x27, Qt::Key_Right, false},
    {0x28, Qt::Key_Down, false},      {0x2D, Qt::Key_Insert, false},    {0x2E, Qt::Key_Delete, false},
    {0x24, Qt::Key_Home, false},      {0x23, Qt::Key_End, false},       {0x21, Qt::Key_PageUp, false},
    {0x22, Qt::Key_PageDown, false},  {0x2C, Qt::Key_Print, false},     {0xBA, Qt::Key_Semicolon, false},
    {0xBB, Qt::Key_Equal, false},     {0xBC, Qt::Key_Comma, false},     {0xBD, Qt::Key_Minus, false},
    {0xBE, Qt::Key_Period, false},    {0xBF, Qt::Key_Slash, false},     {0xC0, Qt::Key_QuoteLeft, false},
    {0xDB, Qt::Key_BracketLeft, false}, {0xDC, Qt::Key_Backslash, false}, {0xDD, Qt::Key_BracketRight, false},
    {0xDE, Qt::Key_Apostrophe, false}, {0x60, Qt::Key_0, true},         {0x65, Qt::Key_5, true},
    {0x69, Qt::Key_9, true},          {0x6A, Qt::Key_Asterisk, true},   {0x6B, Qt::Key_Plus, true},
    {0x6D, Qt::Key_Minus, true},      {0x6E, Qt::Key_Period, true},     {0x6F, Qt::Key_Slash, true},
};

const ShortcutValue modifierSets[] = {0, scShift, scCtrl, scAlt, scCtrl | scShift, scCtrl | scAlt,
                                      scCtrl | scShift | scAlt};

} // namespace

TEST(ShortcutCodes, EveryKeyClassSurvivesTheWayThroughAKeySequenceAndBack)
{
    for (const KeyCase &key : everyClass) {
        for (const ShortcutValue modifiers : modifierSets) {
            const ShortcutValue value = ShortcutValue(key.vk | modifiers);
            const QKeySequence sequence = keySequenceFromShortcut(value);
            ASSERT_EQ(sequence.count(), 1) << std::hex << value;
            const QKeyCombination combination = sequence[0];
            EXPECT_EQ(combination.key(), key.key) << std::hex << value;
            EXPECT_EQ(bool(combination.keyboardModifiers() & keypad), key.onKeypad) << std::hex << value;
            EXPECT_EQ(shortcutFromKey(combination.key(), combination.keyboardModifiers()), value) << std::hex << value;
        }
    }
}

TEST(ShortcutCodes, KeyPressesAreReadAsTheKeysOfAUsKeyboard)
{
    struct Case {
        const char *what;
        int key;
        Qt::KeyboardModifiers modifiers;
        ShortcutValue expected;
    };
    const Case cases[] = {
        {"Ctrl+Shift+S", Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier, 0x6053},
        {"Ctrl+Shift+1 reported as !", Qt::Key_Exclam, Qt::ControlModifier | Qt::ShiftModifier, 0x6031},
        {"Ctrl+Shift+2 reported as @", Qt::Key_At, Qt::ControlModifier | Qt::ShiftModifier, 0x6032},
        {"Ctrl+Shift+0 reported as )", Qt::Key_ParenRight, Qt::ControlModifier | Qt::ShiftModifier, 0x6030},
        {"Shift+8 reported as *", Qt::Key_Asterisk, Qt::ShiftModifier, 0x2038},
        {"Ctrl+Shift+; reported as :", Qt::Key_Colon, Qt::ControlModifier | Qt::ShiftModifier, 0x60BA},
        {"Shift+= reported as +", Qt::Key_Plus, Qt::ShiftModifier, 0x20BB},
        {"Shift+' reported as \"", Qt::Key_QuoteDbl, Qt::ShiftModifier, 0x20DE},
        {"Shift+\\ reported as |", Qt::Key_Bar, Qt::ShiftModifier, 0x20DC},
        {"Alt+Print reported as SysReq", Qt::Key_SysReq, Qt::AltModifier, 0x802C},
        {"keypad 5", Qt::Key_5, Qt::ControlModifier | keypad, 0x4065},
        {"keypad *", Qt::Key_Asterisk, keypad, 0x006A},
        {"keypad decimal comma", Qt::Key_Comma, keypad, 0x006E},
        {"keypad Home with Num Lock off", Qt::Key_Home, Qt::ControlModifier | keypad, 0x4024},
        {"Meta is no modifier of ours", Qt::Key_F5, Qt::MetaModifier, 0x0074},
        {"Space has no code here", Qt::Key_Space, Qt::ControlModifier, 0},
        {"Tab has no code here", Qt::Key_Tab, none, 0},
        {"Escape has no code here", Qt::Key_Escape, none, 0},
        {"a modifier key alone", Qt::Key_Control, Qt::ControlModifier, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(shortcutFromKey(c.key, c.modifiers), c.expected) << c.what;
}

TEST(ShortcutCodes, KeypadDigitsAreNotTheDigitsAboveTheLetters)
{
    for (int digit = 0; digit <= 9; ++digit) {
        const ShortcutValue top = shortcutFromKey(Qt::Key_0 + digit, Qt::ControlModifier);
        const ShortcutValue pad = shortcutFromKey(Qt::Key_0 + digit, Qt::ControlModifier | keypad);
        EXPECT_EQ(virtualKeyOf(top), 0x30 + digit);
        EXPECT_EQ(virtualKeyOf(pad), 0x60 + digit);
        EXPECT_NE(keySequenceFromShortcut(top), keySequenceFromShortcut(pad));
    }
}

TEST(ShortcutCodes, ValuesWithoutAKeyHereHaveNoSequence)
{
    EXPECT_TRUE(keySequenceFromShortcut(0).isEmpty());
    EXPECT_TRUE(keySequenceFromShortcut(scCtrl).isEmpty()) << "modifiers without a key";
    EXPECT_TRUE(keySequenceFromShortcut(scCtrl | 0x0D).isEmpty()) << "a code from elsewhere (Enter)";
}
