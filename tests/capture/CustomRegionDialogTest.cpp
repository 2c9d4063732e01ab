// The custom region dialog: its fields, their ranges and how the three handlers keep them consistent.
#include "capture/CustSnap.h"

#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace kaptiv {
namespace {

// Replaces what the field holds by `text` as typed keys, then leaves it with Enter.
void typeInto(SpinEdit *field, const QString &text)
{
    QLineEdit *edit = field->findChild<QLineEdit *>();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
    QTest::keyClick(field, Qt::Key_Return);
}

struct State {
    int height, width;
    bool square;
    int areaItem;
    bool operator==(const State &) const = default;
};

std::ostream &operator<<(std::ostream &out, const State &s)
{
    return out << s.height << "x" << s.width << (s.square ? " square" : "") << " item " << s.areaItem;
}

State stateOf(const TCustfrm &dialog)
{
    return {dialog.heightb->value(), dialog.widthb->value(), dialog.Square->isChecked(), dialog.areaItemIndex()};
}

TEST(CustomRegionDialog, StartsAsAnIconWithFieldsUpToTheScreenLessOne)
{
    TCustfrm dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Define Custom Region"));
    EXPECT_EQ(stateOf(dialog), (State{32, 32, false, 0}));
    EXPECT_EQ(dialog.Square->text(), QStringLiteral("Square Area"));
    EXPECT_EQ(dialog.area->title(), QStringLiteral("Area Type"));
    EXPECT_EQ(dialog.areaIcon->text(), QStringLiteral("Icon (32x32)"));
    EXPECT_EQ(dialog.ok->text(), QStringLiteral("&Capture Area"));
    EXPECT_EQ(dialog.Button1->text(), QStringLiteral("&Cancel"));
    dialog.setScreenSize({1024, 768});
    EXPECT_EQ(dialog.widthb->minimum(), 0);
    EXPECT_EQ(dialog.widthb->maximum(), 1023);
    EXPECT_EQ(dialog.heightb->maximum(), 767);
}

TEST(CustomRegionDialog, HandlersKeepTheFieldsConsistent)
{
    struct Case {
        const char *what;
        State before;
        std::function<void(TCustfrm &)> act;
        State after;
    } cases[] = {
        {"ticking Square with height 40 and width 100", {40, 100, false, 1},
         [](TCustfrm &d) { d.Square->click(); }, {40, 40, true, 1}},
        {"unticking Square also copies the height into the width", {50, 70, true, 1},
         [](TCustfrm &d) { d.Square->click(); }, {50, 50, false, 1}},
        {"with Square ticked, typing 64 into the height", {32, 32, true, 0},
         [](TCustfrm &d) { typeInto(d.heightb, QStringLiteral("64")); }, {64, 64, true, 1}},
        {"with Square ticked, typing into the width moves the height", {32, 32, true, 0},
         [](TCustfrm &d) { typeInto(d.widthb, QStringLiteral("48")); }, {48, 48, true, 1}},
        {"typing both sizes to 32 selects the icon", {10, 20, false, 1},
         [](TCustfrm &d) {
             typeInto(d.heightb, QStringLiteral("32"));
             typeInto(d.widthb, QStringLiteral("32"));
         },
         {32, 32, false, 0}},
        {"choosing the icon with 200 x 100", {200, 100, false, 1},
         [](TCustfrm &d) { d.areaIcon->click(); }, {32, 32, false, 0}},
        {"choosing Other changes nothing", {32, 32, false, 0},
         [](TCustfrm &d) { d.areaOther->click(); }, {32, 32, false, 1}},
        {"9999 typed into the width is held at the screen's width - 1", {32, 32, false, 0},
         [](TCustfrm &d) { typeInto(d.widthb, QStringLiteral("9999")); }, {32, 1023, false, 1}},
        {"an emptied field reads as 0", {32, 32, false, 0},
         [](TCustfrm &d) { typeInto(d.heightb, QString()); }, {0, 32, false, 1}},
        {"letters and a fifth digit are not taken", {32, 32, false, 0},
         [](TCustfrm &d) { typeInto(d.heightb, QStringLiteral("1a2b34567")); }, {767, 32, false, 1}},
    };
    for (const Case &c : cases) {
        TCustfrm dialog;
        dialog.setScreenSize({1024, 768});
        dialog.heightb->setValue(c.before.height);
        dialog.widthb->setValue(c.before.width);
        dialog.Square->setChecked(c.before.square); // set without a click: no handler runs
        (c.before.areaItem == 0 ? dialog.areaIcon : dialog.areaOther)->setChecked(true);
        ASSERT_EQ(stateOf(dialog), c.before) << c.what;
        dialog.show();
        c.act(dialog);
        EXPECT_EQ(stateOf(dialog), c.after) << c.what;
    }
}

TEST(CustomRegionDialog, ButtonsEndWithOkOrCancel)
{
    TCustfrm dialog;
    for (auto [button, result] : {std::pair{dialog.ok, 1}, std::pair{dialog.Button1, 2}}) {
        dialog.setResult(0);
        dialog.show();
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(dialog.result(), result);
        EXPECT_FALSE(dialog.isVisible());
    }
    dialog.show();
    dialog.close();
    EXPECT_EQ(dialog.result(), 2) << "the close box cancels";
}

} // namespace
} // namespace kaptiv
