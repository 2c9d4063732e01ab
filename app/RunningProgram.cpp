#include "app/RunningProgram.h"

#include "app/StartCapture.h"
#include "app/mainSnap.h"
#include "platform/ui/Dialogs.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace kaptiv {

namespace {

constexpr std::size_t longestRequest = 64;

// ":0.0" and ":0" are the same display: the screen number goes, and nothing of the name can
// leave the folder.
std::string displayPart()
{
    const char *x = std::getenv("DISPLAY");
    std::string name;
    if (x && *x) {
        name = x;
        const std::size_t colon = name.rfind(':');
        if (const std::size_t dot = name.find('.', colon == std::string::npos ? 0 : colon); dot != std::string::npos)
            name.erase(dot);
    } else if (const char *wayland = std::getenv("WAYLAND_DISPLAY"); wayland && *wayland) {
        name = wayland;
    }
    for (char &c : name)
        if (c == '/')
            c = '_';
    return name;
}

bool fitsSocketName(const std::string &path) { return path.size() < sizeof(sockaddr_un{}.sun_path); }

sockaddr_un addressOf(const std::string &path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

struct Descriptor {
    int fd;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// One request on an accepted connection: read until its line is whole, answered, closed.
class Request : public QObject {
public:
    Request(int fd, TScreenfrm &main, QObject *parent) : QObject(parent), fd_(fd), main_(main), notifier_(fd, QSocketNotifier::Read)
    {
        connect(&notifier_, &QSocketNotifier::activated, this, [this] { read(); });
        // A client that never finishes its line is let go.
        QTimer::singleShot(std::chrono::seconds(5), this, [this] { deleteLater(); });
    }
    ~Request() override
    {
        notifier_.setEnabled(false);
        ::close(fd_);
    }

private:
    void read()
    {
        char bytes[longestRequest];
        const ssize_t got = ::recv(fd_, bytes, sizeof bytes, 0);
        if (got < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        if (got > 0)
            line_.append(bytes, std::size_t(got));
        const std::size_t end = line_.find('\n');
        if (got <= 0 || end != std::string::npos || line_.size() > longestRequest) {
            notifier_.setEnabled(false);
            if (end != std::string::npos)
                answer(line_.substr(0, end));
            deleteLater();
        }
    }
    void answer(const std::string &request)
    {
        static const std::string prefix = "capture ";
        std::optional<int> item;
        if (request.compare(0, prefix.size(), prefix) == 0)
            item = startCaptureItem(QString::fromStdString(request.substr(prefix.size())));
        if (!item) {
            reply("unknown\n");
            return;
        }
        if (main_.busy()) {
            dialogs().beep();
            reply("busy\n");
            return;
        }
        // A command that gave up waiting (this program was stopped or hung) has gone away: its
        // capture is no longer wanted, a new program has taken it.
        if (!reply("taken\n"))
            return;
        // After this event: the command has its answer and the capture may open an overlay.
        QTimer::singleShot(0, &main_, [main = &main_, item = *item] {
            main->takeCaptureFromElsewhere(item);
            main->setWindowState(main->windowState() & ~Qt::WindowMinimized);
            main->show();
            main->raise();
            main->activateWindow();
        });
    }
    bool reply(const std::string &text)
    {
        return ::send(fd_, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT) == ssize_t(text.size());
    }

    int fd_;
    TScreenfrm &main_;
    QSocketNotifier notifier_;
    std::string line_;
};

} // namespace

std::string runningProgramSocket()
{
    const std::string display = displayPart();
    if (display.empty())
        return {};
    const std::string name = "kaptiv-" + display + ".socket";
    if (const char *runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/') {
        struct stat folder{};
        const std::string path = std::string(runtime) + "/" + name;
        if (::stat(runtime, &folder) == 0 && S_ISDIR(folder.st_mode) && folder.st_uid == ::getuid()
            && fitsSocketName(path))
            return path;
    }
    const std::string path = "/tmp/kaptiv-" + std::to_string(::getuid()) + "-" + display + ".socket";
    return fitsSocketName(path) ? path : std::string();
}

HandOver handCaptureOver(const std::string &kind, std::chrono::milliseconds limit)
{
    const std::string path = runningProgramSocket();
    struct stat socketFile{};
    // Only a program of this user's may take it: a socket someone else left here is not one.
    if (path.empty() || ::lstat(path.c_str(), &socketFile) != 0 || !S_ISSOCK(socketFile.st_mode)
        || socketFile.st_uid != ::getuid())
        return HandOver::NoAnswer;
    Descriptor connection{::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)};
    const sockaddr_un address = addressOf(path);
    // A socket nobody listens on any more refuses at once; a full queue is no answer either.
    if (connection.fd < 0 || ::connect(connection.fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        return HandOver::NoAnswer;
    const std::string request = "capture " + kind + "\n";
    if (::send(connection.fd, request.data(), request.size(), MSG_NOSIGNAL) != ssize_t(request.size()))
        return HandOver::NoAnswer;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::string answer;
    while (answer.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return HandOver::NoAnswer;
        pollfd ready{connection.fd, POLLIN, 0};
        const int polled = ::poll(&ready, 1, int(left.count()));
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled <= 0)
            return HandOver::NoAnswer;
        char bytes[32];
        const ssize_t got = ::recv(connection.fd, bytes, sizeof bytes, 0);
        if (got < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (got <= 0)
            return HandOver::NoAnswer;
        answer.append(bytes, std::size_t(got));
    }
    answer.erase(answer.find('\n'));
    if (answer == "taken")
        return HandOver::Taken;
    return answer == "busy" ? HandOver::Busy : HandOver::NoAnswer;
}

CaptureRequests::CaptureRequests(TScreenfrm &main) : QObject(&main), main_(main), path_(runningProgramSocket())
{
    if (path_.empty())
        return;
    // Made under a name of its own and moved over the shared name in one step: a command never
    // finds the name missing, and an older program's socket, live or left behind, is replaced.
    const std::string made = path_ + "." + std::to_string(::getpid());
    const sockaddr_un address = addressOf(made);
    if (!fitsSocketName(made))
        return;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return;
    ::unlink(made.c_str());
    const mode_t mask = ::umask(0077); // the user's alone
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::umask(mask);
    struct stat made_{};
    if (!bound || ::listen(fd, 8) != 0 || ::stat(made.c_str(), &made_) != 0 || ::rename(made.c_str(), path_.c_str()) != 0) {
        if (bound)
            ::unlink(made.c_str());
        ::close(fd);
        return;
    }
    listener_ = fd;
    device_ = made_.st_dev;
    inode_ = made_.st_ino;
    auto *notifier = new QSocketNotifier(listener_, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] { accept(); });
}

CaptureRequests::~CaptureRequests()
{
    if (listener_ < 0)
        return;
    struct stat now{};
    if (::lstat(path_.c_str(), &now) == 0 && now.st_dev == device_ && now.st_ino == inode_)
        ::unlink(path_.c_str());
    ::close(listener_);
}

void CaptureRequests::accept()
{
    for (;;) {
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        new Request(fd, main_, this);
    }
}

} // namespace kaptiv
