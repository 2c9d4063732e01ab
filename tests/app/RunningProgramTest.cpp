// `kaptiv --capture KIND` handed to the program already running: its answer while idle and while
// busy, a socket left by a program that died, one that hangs, a command that stopped waiting, and
// two programs that each took the name in turn.
#include "AppFixture.h"
#include "XdoTool.h"
#include "app/RunningProgram.h"

#include <QDialog>
#include <QTemporaryDir>

#include <cstring>
#include <future>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace kaptiv::testing {
namespace {

class RunningProgram : public AppFixture {
protected:
    RunningProgram()
    {
        for (const char *name : {"XDG_RUNTIME_DIR", "DISPLAY"})
            saved.emplace_back(name, qgetenv(name));
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
        qputenv("DISPLAY", ":97.0");
    }
    ~RunningProgram() override
    {
        for (const auto &[name, value] : saved)
            qputenv(name, value);
    }
    // Asks from another thread, as a second command would, while this program runs its events.
    HandOver ask(const std::string &kind)
    {
        auto answer = std::async(std::launch::async, [kind] { return handCaptureOver(kind); });
        waitUntil([&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 30000);
        return answer.get();
    }
    // A socket under the program's name that nobody answers on: bound and closed (its program
    // died), or listening with nobody accepting (its program hangs).
    int strayListener(bool listening)
    {
        const std::string path = runningProgramSocket();
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, path.c_str());
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        if (listening)
            EXPECT_EQ(::listen(fd, 4), 0);
        else
            ::close(fd);
        return listening ? fd : -1;
    }

    QTemporaryDir runtime;
    std::vector<std::pair<const char *, QByteArray>> saved;
};

TEST_F(RunningProgram, TakesTheCaptureWhenIdleAndRefusesWithABeepWhileBusy)
{
    EXPECT_EQ(runningProgramSocket(), runtime.filePath(QStringLiteral("kaptiv-:97.socket")).toStdString());
    auto *requests = new CaptureRequests(*main);
    ASSERT_TRUE(requests->listening());

    EXPECT_EQ(ask("screen"), HandOver::Taken);
    ASSERT_TRUE(waitUntil([&] { return main->imageWindowCount() == 1; }));
    EXPECT_EQ(active()->Image->picture().image().convertToFormat(QImage::Format_RGB32), fake.screen);
    EXPECT_TRUE(main->isVisible());

    {
        QDialog modal(main);
        modal.setWindowModality(Qt::ApplicationModal);
        modal.show();
        EXPECT_EQ(ask("screen"), HandOver::Busy);
        EXPECT_EQ(dialogs.beeps, 1);
    }
    EXPECT_EQ(ask("no-such-kind"), HandOver::NoAnswer);
    EXPECT_EQ(ask("screen"), HandOver::Taken);
    ASSERT_TRUE(waitUntil([&] { return main->imageWindowCount() == 2; }));
    settle();
    EXPECT_EQ(main->imageWindowCount(), 2) << "the busy or unknown request still captured";
}

TEST_F(RunningProgram, NoAnswerFromADeadOrHungProgramOrOneThatAnswersTooLate)
{
    strayListener(false);
    EXPECT_EQ(handCaptureOver("screen", std::chrono::minutes(1)), HandOver::NoAnswer) << "dead";
    ::unlink(runningProgramSocket().c_str());
    const int hung = strayListener(true);
    EXPECT_EQ(handCaptureOver("screen"), HandOver::NoAnswer) << "hung";
    ::close(hung);

    // This program is the one that does not answer in time; the command gives up, and the
    // request it left must not capture once the program comes round to it.
    auto *requests = new CaptureRequests(*main);
    ASSERT_TRUE(requests->listening());
    EXPECT_EQ(handCaptureOver("screen", std::chrono::milliseconds(50)), HandOver::NoAnswer);
    ASSERT_TRUE(waitUntil([&] {
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return requests->children().size() == 1; // the listener's notifier alone: the request is done
    }));
    settle();
    EXPECT_EQ(main->imageWindowCount(), 0);
}

TEST_F(RunningProgram, TheNewestProgramTakesTheNameAndAnOlderOneLeavesItWhenItEnds)
{
    auto *older = new CaptureRequests(*main);
    auto *newer = new CaptureRequests(*main);
    ASSERT_TRUE(older->listening() && newer->listening());
    delete older; // the name is the newer one's now: it stays
    EXPECT_EQ(ask("screen"), HandOver::Taken);
    ASSERT_TRUE(waitUntil([&] { return main->imageWindowCount() == 1; }));
    delete newer;
    EXPECT_NE(::access(runningProgramSocket().c_str(), F_OK), 0) << "the socket stays behind";
    EXPECT_EQ(handCaptureOver("screen"), HandOver::NoAnswer);
}

} // namespace
} // namespace kaptiv::testing
