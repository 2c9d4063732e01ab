#include "platform/ui/Errors.h"

#include <gtest/gtest.h>
#include <functional>
#include <new>
#include <stdexcept>

namespace kaptiv {
namespace {

TEST(StrToInt, AcceptsDecimalNumbersOnly)
{
    const std::pair<const char *, int> good[] = {{"0", 0}, {"1500", 1500}, {"99999", 99999}, {"-5", -5}, {"007", 7}};
    for (auto [text, value] : good)
        EXPECT_EQ(StrToInt(QString::fromLatin1(text)), value) << text;
    for (const char *text : {"", " 15", "15 ", "1.5", "12a3", "0x10", "99999999999"}) {
        try {
            StrToInt(QString::fromLatin1(text));
            ADD_FAILURE() << "accepted '" << text << "'";
        } catch (const EConvertError &e) {
            EXPECT_EQ(e.message(), QStringLiteral("'%1' is not a valid integer value").arg(QString::fromLatin1(text)));
        }
    }
}

TEST(CurrentErrorMessage, GivesOurOwnMessagesAndNoInternalText)
{
    const std::pair<std::function<void()>, QString> cases[] = {
        {[] { throw ENoWindow(QStringLiteral("There is currently no active window.")); },
         QStringLiteral("There is currently no active window.")},
        {[] { throw std::invalid_argument("Bitmap: image format does not match the declared depth"); },
         QStringLiteral("An unexpected error stopped the command.")},
        {[] { throw std::bad_alloc(); }, outOfMemoryMessage()},
        {[] { throw 42; }, QStringLiteral("An unexpected error stopped the command.")},
    };
    for (const auto &[raise, shown] : cases) {
        try {
            raise();
        } catch (...) {
            EXPECT_EQ(currentErrorMessage(), shown);
        }
    }
}

} // namespace
} // namespace kaptiv
