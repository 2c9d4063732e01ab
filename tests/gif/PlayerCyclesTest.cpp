// A thousand players made, loaded, played on their own timers and destroyed, in both timer modes:
// run in the sanitized build too, where every leak and stray access fails it. No thread may
// outlive its player.

#include "GifBuilder.h"

#include "gif/GIFImage.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

namespace kaptiv {
namespace {

size_t threadsOfThisProcess()
{
    return size_t(std::distance(std::filesystem::directory_iterator("/proc/self/task"), {}));
}

TEST(PlayerCycles, ThousandLoadAnimateDestroyCyclesLeaveNothingBehind)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "player_cycles", *argv[] = {name, nullptr};
    QApplication application(argc, argv);

    using namespace gif::test;
    GifBuilder builder(3, 2);
    builder.GlobalTable({0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}).Loop(0);
    for (int i = 0; i < 3; ++i)
        builder.Control(i, 0, true, 3).Image(i, 0, 1, 2, RootCodeImageData(2, {uint8_t(i), 3}));
    QTemporaryDir dir;
    const std::string file = dir.filePath(QStringLiteral("cycle.gif")).toStdString();
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char *>(builder.Trailer().Data().data()),
                                                std::streamsize(builder.Data().size()));

    const size_t threadsBefore = threadsOfThisProcess();
    for (int cycle = 0; cycle < 1000; ++cycle) {
        QWidget window;
        auto *player = new TGIFImage(&window);
        player->setThreaded(cycle % 2 == 0);
        int changes = 0;
        player->OnChange = [&](QObject *) { ++changes; };
        ASSERT_TRUE(player->LoadGIFFile(QString::fromStdString(file)));
        player->setSpeed(100000);
        player->setAnimate(true);
        window.show();
        QDeadlineTimer deadline(30000);
        while (changes < 3 + cycle % 3 && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            std::this_thread::yield();
        }
        ASSERT_GE(changes, 3) << "cycle " << cycle;
    }
    EXPECT_EQ(threadsOfThisProcess(), threadsBefore);
}

} // namespace
} // namespace kaptiv
