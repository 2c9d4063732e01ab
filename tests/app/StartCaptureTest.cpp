// `kaptiv --capture KIND`: the named capture, taken once the main window is on the screen.
#include "AppFixture.h"
#include "app/StartCapture.h"

#include <QDeadlineTimer>
#include <QWindow>

namespace kaptiv::testing {
namespace {

using StartCapture = AppFixture;

TEST_F(StartCapture, EachKindNamesItsMenuItemAndOnlyThoseOffered)
{
    const std::pair<const char *, QAction *> offered[] = {
        {"screen", main->item("GrabScreen")},      {"rectangle", main->item("GrabRectangle")}, {"window", main->item("GrabWindow")},
        {"custom-region", main->item("CustomRegion1")}, {"client-area", main->item("Client")},
    };
    for (const auto &[kind, item] : offered) {
        const std::optional<int> index = startCaptureItem(QString::fromLatin1(kind));
        ASSERT_TRUE(index.has_value()) << kind;
        EXPECT_EQ(main->captureItems()[*index], item) << kind;
    }
    for (const char *kind : {"record", "client", "Screen", "screen ", ""})
        EXPECT_FALSE(startCaptureItem(QString::fromLatin1(kind)).has_value()) << kind;
}

TEST_F(StartCapture, ScreenIsTakenWhenTheWindowShowsOrAtOnceWhenItIsShown)
{
    const auto waitForImageWindows = [&](int count) {
        QDeadlineTimer deadline(30000);
        while (main->imageWindowCount() < count && !deadline.hasExpired())
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        return main->imageWindowCount();
    };
    takeCaptureOnStart(*startCaptureItem(QStringLiteral("screen"))); // the window is not on the screen yet
    ASSERT_EQ(waitForImageWindows(1), 1);
    EXPECT_EQ(active()->Image->picture().image().convertToFormat(QImage::Format_RGB32), fake.screen);
    ASSERT_TRUE(main->windowHandle()->isExposed());
    takeCaptureOnStart(*startCaptureItem(QStringLiteral("screen")));
    EXPECT_EQ(waitForImageWindows(2), 2);
}

} // namespace
} // namespace kaptiv::testing
