// A grab killed while it shares memory with the X server leaves nothing behind.
#include "platform/x11/X11Desktop.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

// Xlib last: its macros break Qt's headers.
#include <X11/Xlib.h>

namespace kaptiv::testing {
namespace {

// The System V segments `pid` created that still exist.
std::vector<int> segmentsCreatedBy(pid_t pid)
{
    QFile table(QStringLiteral("/proc/sysvipc/shm"));
    std::vector<int> ids;
    if (!table.open(QIODevice::ReadOnly))
        return ids;
    table.readLine(); // key shmid perms size cpid ...
    while (!table.atEnd()) {
        const QList<QByteArray> fields = table.readLine().simplified().split(' ');
        if (fields.size() > 4 && fields[4].toInt() == pid)
            ids.push_back(fields[1].toInt());
    }
    return ids;
}

// Whether `pid` holds a memory file (memfd) open.
bool holdsMemoryFile(pid_t pid)
{
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QFileInfo &fd : fds.entryInfoList(QDir::Files | QDir::System))
        if (fd.symLinkTarget().contains(QLatin1String("/memfd:")))
            return true;
    return false;
}

TEST(SharedMemoryGrab, AGrabKilledWhileTheServerAttachesLeavesNoSegmentBehind)
{
    // A display of its own: the server is held still for a moment.
    const QByteArray display = qgetenv("KAPTIV_DISPLAY_NOWM");
    if (display.isEmpty())
        GTEST_SKIP() << "KAPTIV_DISPLAY_NOWM is not set";
    ASSERT_TRUE(X11Desktop(QString::fromLocal8Bit(display)).usesSharedMemory());

    int ready[2], go[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(go), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) { // connects, then grabs when told to, and is killed while the server is held
        X11Desktop desktop(QString::fromLocal8Bit(display));
        char byte = 'r';
        if (write(ready[1], &byte, 1) != 1 || read(go[0], &byte, 1) != 1)
            _exit(1);
        desktop.grabScreen({0, 0, 640, 480});
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    // Held by another client, the server answers none of the grab's requests.
    Display *holder = XOpenDisplay(display.constData());
    ASSERT_TRUE(holder);
    XGrabServer(holder);
    XSync(holder, False);
    ASSERT_EQ(write(go[1], "g", 1), 1);
    bool sharing = false;
    for (int waited = 0; waited < 10000 && !sharing; waited += 10) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        sharing = !segmentsCreatedBy(child).empty() || holdsMemoryFile(child);
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    XUngrabServer(holder);
    XCloseDisplay(holder);
    for (int fd : {ready[0], ready[1], go[0], go[1]})
        close(fd);

    EXPECT_TRUE(sharing) << "the grab never came to share memory";
    const std::vector<int> left = segmentsCreatedBy(child);
    EXPECT_TRUE(left.empty()) << left.size() << " segment(s) left behind";
    for (int id : left) // tidy up after a failure
        shmctl(id, IPC_RMID, nullptr);
}

} // namespace
} // namespace kaptiv::testing
