// Memory running out during a command ends in the "Kaptiv" box like any other error, in words the
// user can act on, and the program goes on.
#include "AppFixture.h"
#include "platform/ui/Errors.h"

#include <new>

namespace kaptiv::testing {
namespace {

struct ExhaustedDesktop : FakeDesktop {
    using FakeDesktop::FakeDesktop;
    QImage grabScreen(const ScreenRect &) override { throw std::bad_alloc(); }
};

using OutOfMemoryBox = AppFixture;

TEST_F(OutOfMemoryBox, AFailedAllocationIsReportedAndTheProgramGoesOn)
{
    ExhaustedDesktop exhausted(positionalScreen(64, 48));
    struct Restore {
        FakeDesktop &fake;
        ~Restore() { setDesktopForTesting(&fake); }
    } restore{fake};
    setDesktopForTesting(&exhausted);
    main->item("screenb")->trigger();
    settle();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("Out of memory: the command was stopped."));
    EXPECT_EQ(dialogs.shown[0].caption, QStringLiteral("Kaptiv"));
    EXPECT_TRUE(main->isVisible());
    EXPECT_TRUE(main->imageWindows().isEmpty());
}

} // namespace
} // namespace kaptiv::testing
