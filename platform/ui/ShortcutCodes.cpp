#include "platform/ui/ShortcutCodes.h"

#include <QKeyEvent>

#include <array>

namespace kaptiv {

namespace {

struct KeyCode {
    int vk;
    Qt::Key key;
};

// Virtual-key codes of the keys that are not letters, digits or function keys.
constexpr int vkPrior = 0x21, vkNext = 0x22, vkEnd = 0x23, vkHome = 0x24, vkLeft = 0x25, vkUp = 0x26,
              vkRight = 0x27, vkDown = 0x28, vkSnapshot = 0x2C, vkInsert = 0x2D, vkDelete = 0x2E;
constexpr int vkNumpad0 = 0x60, vkMultiply = 0x6A, vkAdd = 0x6B, vkSubtract = 0x6D, vkDecimal = 0x6E,
              vkDivide = 0x6F;
constexpr int vkF1 = 0x70, vkF24 = 0x87;
constexpr int vkOem1 = 0xBA, vkOemPlus = 0xBB, vkOemComma = 0xBC, vkOemMinus = 0xBD, vkOemPeriod = 0xBE,
              vkOem2 = 0xBF, vkOem3 = 0xC0, vkOem4 = 0xDB, vkOem5 = 0xDC, vkOem6 = 0xDD, vkOem7 = 0xDE;

constexpr std::array<KeyCode, 22> namedKeys{{
    {vkPrior, Qt::Key_PageUp},         {vkNext, Qt::Key_PageDown},
    {vkEnd, Qt::Key_End},              {vkHome, Qt::Key_Home},
    {vkLeft, Qt::Key_Left},            {vkUp, Qt::Key_Up},
    {vkRight, Qt::Key_Right},          {vkDown, Qt::Key_Down},
    {vkSnapshot, Qt::Key_Print},       {vkInsert, Qt::Key_Insert},
    {vkDelete, Qt::Key_Delete},        {vkOem1, Qt::Key_Semicolon},
    {vkOemPlus, Qt::Key_Equal},        {vkOemComma, Qt::Key_Comma},
    {vkOemMinus, Qt::Key_Minus},       {vkOemPeriod, Qt::Key_Period},
    {vkOem2, Qt::Key_Slash},           {vkOem3, Qt::Key_QuoteLeft},
    {vkOem4, Qt::Key_BracketLeft},     {vkOem5, Qt::Key_Backslash},
    {vkOem6, Qt::Key_BracketRight},    {vkOem7, Qt::Key_Apostrophe},
}};

// What Shift makes of the digit and punctuation keys on a US keyboard.
constexpr std::array<KeyCode, 22> shiftedKeys{{
    {'1', Qt::Key_Exclam},          {'2', Qt::Key_At},           {'3', Qt::Key_NumberSign},
    {'4', Qt::Key_Dollar},          {'5', Qt::Key_Percent},      {'6', Qt::Key_AsciiCircum},
    {'7', Qt::Key_Ampersand},       {'8', Qt::Key_Asterisk},     {'9', Qt::Key_ParenLeft},
    {'0', Qt::Key_ParenRight},      {vkOem1, Qt::Key_Colon},     {vkOemPlus, Qt::Key_Plus},
    {vkOemComma, Qt::Key_Less},     {vkOemMinus, Qt::Key_Underscore},
    {vkOemPeriod, Qt::Key_Greater}, {vkOem2, Qt::Key_Question},  {vkOem3, Qt::Key_AsciiTilde},
    {vkOem4, Qt::Key_BraceLeft},    {vkOem5, Qt::Key_Bar},       {vkOem6, Qt::Key_BraceRight},
    {vkOem7, Qt::Key_QuoteDbl},
    {vkSnapshot, Qt::Key_SysReq}, // X reports Alt+Print as SysReq
}};

// The keypad's operators; its digits are VK_NUMPAD0 + n.
constexpr std::array<KeyCode, 5> keypadOperators{{
    {vkMultiply, Qt::Key_Asterisk},
    {vkAdd, Qt::Key_Plus},
    {vkSubtract, Qt::Key_Minus},
    {vkDecimal, Qt::Key_Period},
    {vkDivide, Qt::Key_Slash},
}};

template <std::size_t N>
int vkOf(const std::array<KeyCode, N> &table, int key)
{
    for (const KeyCode &entry : table)
        if (entry.key == key)
            return entry.vk;
    return 0;
}

int keypadVirtualKey(int key)
{
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return vkNumpad0 + (key - Qt::Key_0);
    if (key == Qt::Key_Comma) // the decimal key of layouts that write a decimal comma
        return vkDecimal;
    return vkOf(keypadOperators, key);
}

int virtualKey(int key)
{
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return key; // the same codes in both tables
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return vkF1 + (key - Qt::Key_F1);
    if (const int vk = vkOf(namedKeys, key))
        return vk;
    return vkOf(shiftedKeys, key);
}

// The Qt key a virtual-key code stands for, with the keypad modifier for keypad keys.
QKeyCombination qtKeyOf(int vk)
{
    if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9'))
        return QKeyCombination(Qt::Key(vk));
    if (vk >= vkF1 && vk <= vkF24)
        return QKeyCombination(Qt::Key(Qt::Key_F1 + (vk - vkF1)));
    if (vk >= vkNumpad0 && vk <= vkNumpad0 + 9)
        return QKeyCombination(Qt::KeypadModifier, Qt::Key(Qt::Key_0 + (vk - vkNumpad0)));
    for (const KeyCode &entry : keypadOperators)
        if (entry.vk == vk)
            return QKeyCombination(Qt::KeypadModifier, entry.key);
    for (const KeyCode &entry : namedKeys)
        if (entry.vk == vk)
            return QKeyCombination(entry.key);
    return QKeyCombination(Qt::Key_unknown);
}

Qt::KeyboardModifiers qtModifiersOf(ShortcutValue value)
{
    Qt::KeyboardModifiers modifiers;
    if (value & scShift)
        modifiers |= Qt::ShiftModifier;
    if (value & scCtrl)
        modifiers |= Qt::ControlModifier;
    if (value & scAlt)
        modifiers |= Qt::AltModifier;
    return modifiers;
}

} // namespace

ShortcutValue shortcutFromKey(int qtKey, Qt::KeyboardModifiers modifiers)
{
    int vk = 0;
    if (modifiers & Qt::KeypadModifier)
        vk = keypadVirtualKey(qtKey);
    // Keypad keys without a code of their own (Home, arrows... with Num Lock off) are the keys
    // they stand for.
    if (vk == 0)
        vk = virtualKey(qtKey);
    if (vk == 0)
        return 0;
    ShortcutValue value = ShortcutValue(vk);
    if (modifiers & Qt::ShiftModifier)
        value |= scShift;
    if (modifiers & Qt::ControlModifier)
        value |= scCtrl;
    if (modifiers & Qt::AltModifier)
        value |= scAlt;
    return value;
}

ShortcutValue shortcutFromKeyEvent(const QKeyEvent &event) { return shortcutFromKey(event.key(), event.modifiers()); }

QKeySequence keySequenceFromShortcut(ShortcutValue value)
{
    const QKeyCombination key = qtKeyOf(virtualKeyOf(value));
    if (value == 0 || key.key() == Qt::Key_unknown)
        return {};
    return QKeySequence(QKeyCombination(key.keyboardModifiers() | qtModifiersOf(value), key.key()));
}

QString shortcutText(ShortcutValue value)
{
    if (value == 0)
        return QStringLiteral("None");
    const QKeySequence sequence = keySequenceFromShortcut(value);
    if (!sequence.isEmpty())
        return sequence.toString(QKeySequence::NativeText);
    const QString modifiers =
        QKeySequence(QKeyCombination(qtModifiersOf(value), Qt::Key_A)).toString(QKeySequence::NativeText).chopped(1);
    return modifiers + QStringLiteral("Key 0x") + QString::number(virtualKeyOf(value), 16).rightJustified(2, QLatin1Char('0')).toUpper();
}

bool isModifierKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_Meta:
    case Qt::Key_AltGr:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
        return true;
    default:
        return false;
    }
}

} // namespace kaptiv
