#include "cli/ClipboardHolder.h"

#include "platform/ui/Errors.h"
#include "platform/x11/X11ClipboardOwner.h"

#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <linux/close_range.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kaptiv {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::minutes HoldingTime{10};
// How long the holder may take to read the picture and take the clipboard.
constexpr std::chrono::seconds StartingTime{20};
// The largest picture the holder reads, as the file reader reads no more.
constexpr std::size_t LargestPicture = std::size_t(1) << 30;

// The holding time; KAPTIV_CLIPBOARD_HOLD_MS shortens it for the tests that watch it end.
std::chrono::milliseconds holdingTime()
{
    bool ok = false;
    const qint64 milliseconds = qEnvironmentVariableIntValue("KAPTIV_CLIPBOARD_HOLD_MS", &ok);
    if (ok && milliseconds > 0 && milliseconds < std::chrono::milliseconds(HoldingTime).count())
        return std::chrono::milliseconds(milliseconds);
    return HoldingTime;
}

bool writeAll(int fd, const char *bytes, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= std::size_t(written);
    }
    return true;
}

// What the holder says on its standard output, read until it closes it or `deadline` passes.
std::optional<std::string> answerOf(int fd, Clock::time_point deadline)
{
    std::string answer;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return std::nullopt;
        pollfd descriptor{fd, POLLIN, 0};
        const int ready = ::poll(&descriptor, 1, int(left));
        if (ready < 0 && errno != EINTR)
            return answer;
        if (ready <= 0)
            continue;
        char buffer[512];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return answer;
        answer.append(buffer, std::size_t(got));
    }
}

struct Descriptors {
    int fds[2] = {-1, -1};
    ~Descriptors()
    {
        for (const int fd : fds)
            if (fd >= 0)
                ::close(fd);
    }
};

} // namespace

ClipboardHolder holdOnClipboard(const QByteArray &png)
{
    Descriptors picture, answer;
    if (::pipe2(picture.fds, O_CLOEXEC) != 0 || ::pipe2(answer.fds, O_CLOEXEC) != 0)
        throw EDisplayError(QStringLiteral("Cannot start the process that holds the clipboard: %1")
                                .arg(QString::fromLocal8Bit(std::strerror(errno))));
    const std::string time = std::to_string(holdingTime().count());
    std::fflush(nullptr);
    const pid_t holder = ::fork();
    if (holder < 0)
        throw EDisplayError(QStringLiteral("Cannot start the process that holds the clipboard: %1")
                                .arg(QString::fromLocal8Bit(std::strerror(errno))));
    if (holder == 0) {
        // A session of its own, so that closing the terminal or a Ctrl+C there leaves it be, and
        // no descriptor of the command's (the pipe a script reads the command's output from).
        // (Moved above the standard three first, in case one of those was closed and a pipe took its number.)
        ::setsid();
        const int nowhere = ::fcntl(::open("/dev/null", O_RDWR | O_CLOEXEC), F_DUPFD_CLOEXEC, 3);
        const int in = ::fcntl(picture.fds[0], F_DUPFD_CLOEXEC, 3), out = ::fcntl(answer.fds[1], F_DUPFD_CLOEXEC, 3);
        if (nowhere < 0 || in < 0 || out < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(nowhere, 2) < 0
            || ::chdir("/") != 0)
            ::_exit(127);
        ::syscall(SYS_close_range, 3u, ~0u, CLOSE_RANGE_CLOEXEC);
        const char *arguments[] = {"kaptiv", "--hold-clipboard", time.c_str(), nullptr};
        ::execv("/proc/self/exe", const_cast<char **>(arguments));
        ::_exit(127);
    }
    ::close(picture.fds[0]);
    picture.fds[0] = -1;
    ::close(answer.fds[1]);
    answer.fds[1] = -1;
    // A holder that stopped early is told by its answer, not by a signal.
    const auto oldPipeAction = std::signal(SIGPIPE, SIG_IGN);
    writeAll(picture.fds[1], png.constData(), std::size_t(png.size()));
    std::signal(SIGPIPE, oldPipeAction);
    ::close(picture.fds[1]);
    picture.fds[1] = -1;
    const std::optional<std::string> said = answerOf(answer.fds[0], Clock::now() + StartingTime);
    if (said && said->starts_with('+'))
        return {holder, holdingTime()};
    if (!said)
        ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    if (!said)
        throw EDisplayError(QStringLiteral("Cannot put the picture on the clipboard: the display did not answer."));
    if (said->starts_with('-'))
        throw EDisplayError(QString::fromLocal8Bit(said->substr(1)).trimmed());
    throw EDisplayError(QStringLiteral("Cannot put the picture on the clipboard: the process that holds it stopped."));
}

int runClipboardHolder(const QStringList &arguments)
{
    std::signal(SIGPIPE, SIG_IGN);
    bool ok = false;
    const qint64 milliseconds = arguments.value(0).toLongLong(&ok);
    std::vector<std::uint8_t> png;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(0, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0 || png.size() + std::size_t(got) > LargestPicture)
            break;
        png.insert(png.end(), buffer, buffer + got);
    }
    if (!ok || milliseconds <= 0 || png.empty()) {
        std::fputs("-Cannot put the picture on the clipboard: no picture was given.\n", stdout);
        return 2;
    }
    try {
        X11ClipboardOwner owner(nullptr, std::move(png));
        std::fputs("+\n", stdout);
        std::fflush(stdout);
        // The command returns as soon as this closes.
        const int nowhere = ::open("/dev/null", O_WRONLY);
        ::dup2(nowhere, 1);
        ::close(nowhere);
        owner.serve(Clock::now() + std::chrono::milliseconds(milliseconds));
    } catch (const std::exception &error) {
        std::fprintf(stdout, "-%s\n", error.what());
        return 1;
    }
    return 0;
}

} // namespace kaptiv
