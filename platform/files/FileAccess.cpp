#include "platform/files/FileAccess.h"

#include <cerrno>
#include <cstring>
#include <random>
#include <utility>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kaptiv::files {

namespace {

std::string Quoted(const std::filesystem::path &file) { return "\"" + file.string() + "\""; }

[[noreturn]] void Fail(const char *what, const std::filesystem::path &file, const std::string &reason)
{
    throw FileError(std::string(what) + " " + Quoted(file) + ". " + reason, reason);
}

std::string ErrnoText(int error) { return std::strerror(error); }

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(Descriptor &&other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor &operator=(Descriptor &&) = delete;
    int get() const { return fd_; }
    // Closes now and reports whether the close succeeded (it may report a delayed write error).
    bool close()
    {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

// Reads until `size` bytes are in or the file ends; the count read, or -1 with errno set.
ssize_t ReadFully(int fd, std::uint8_t *into, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, into + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += std::size_t(n);
    }
    return ssize_t(done);
}

// Opens a file for reading, refusing anything but a regular file. O_NONBLOCK keeps a FIFO without
// a writer from holding us up before it is refused.
Descriptor OpenRegularFile(const std::filesystem::path &file, struct stat &status)
{
    Descriptor fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0)
        Fail("Cannot open file", file, ErrnoText(errno));
    if (::fstat(fd.get(), &status) != 0)
        Fail("Cannot open file", file, ErrnoText(errno));
    if (S_ISDIR(status.st_mode))
        Fail("Cannot open file", file, "It is a folder.");
    if (!S_ISREG(status.st_mode))
        Fail("Cannot open file", file, "It is not a regular file.");
    return fd;
}

[[noreturn]] void FailTooLarge(const std::filesystem::path &file, std::uint64_t limit)
{
    Fail("Cannot open file", file, "It is larger than " + SizeText(limit) + ", the most Kaptiv reads.");
}

// Reads the rest of the file after the `bytes` already read, never more than `limit` in all.
void ReadRest(int fd, const std::filesystem::path &file, const struct stat &status, std::uint64_t limit,
              std::vector<std::uint8_t> &bytes)
{
    if (std::uint64_t(status.st_size) > limit)
        FailTooLarge(file, limit);
    const std::size_t start = bytes.size();
    // The size may change while we read: read what fstat said, then make sure the file ended.
    bytes.resize(std::max<std::size_t>(start, std::size_t(status.st_size)));
    const ssize_t got = ReadFully(fd, bytes.data() + start, bytes.size() - start);
    if (got < 0)
        Fail("Cannot read file", file, ErrnoText(errno));
    bytes.resize(start + std::size_t(got));
    std::uint8_t more[4096];
    for (;;) {
        const ssize_t n = ReadFully(fd, more, sizeof more);
        if (n < 0)
            Fail("Cannot read file", file, ErrnoText(errno));
        if (n == 0)
            break;
        if (bytes.size() + std::size_t(n) > limit)
            FailTooLarge(file, limit);
        bytes.insert(bytes.end(), more, more + n);
    }
}

// Makes SIGPIPE and SIGXFSZ, which a write to a pipe without a reader or past the file-size limit
// raises, into that write's own error (EPIPE, EFBIG) instead of the death they mean by default.
// Both are sent to the thread that writes, so blocking them in this thread for the writes and
// taking back any they raised is enough: the process's own handling of them, which programs it
// starts inherit, stays as it was.
class WriteErrorsNotSignals {
public:
    WriteErrorsNotSignals()
    {
        ::sigemptyset(&signals_);
        ::sigaddset(&signals_, SIGPIPE);
        ::sigaddset(&signals_, SIGXFSZ);
        ::pthread_sigmask(SIG_BLOCK, &signals_, &previous_);
        ::sigpending(&pendingBefore_);
    }
    ~WriteErrorsNotSignals()
    {
        const int error = errno;
        sigset_t pending;
        ::sigpending(&pending);
        for (const int signal : {SIGPIPE, SIGXFSZ}) {
            if (!::sigismember(&pending, signal) || ::sigismember(&pendingBefore_, signal))
                continue;
            sigset_t one;
            ::sigemptyset(&one);
            ::sigaddset(&one, signal);
            const timespec now{0, 0};
            while (::sigtimedwait(&one, nullptr, &now) < 0 && errno == EINTR) {
            }
        }
        ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
        errno = error;
    }
    WriteErrorsNotSignals(const WriteErrorsNotSignals &) = delete;
    WriteErrorsNotSignals &operator=(const WriteErrorsNotSignals &) = delete;

private:
    sigset_t signals_, previous_, pendingBefore_;
};

bool WriteFully(const WriterCalls &calls, int fd, std::span<const std::uint8_t> bytes)
{
    const WriteErrorsNotSignals guard;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const long n = calls.Write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        done += std::size_t(n);
    }
    return true;
}

// A name of at most 19 bytes, so that it fits in a folder whatever the target's name.
std::string ShortTemporaryName()
{
    static constexpr char Hex[] = "0123456789abcdef";
    std::random_device random;
    std::string name = "kaptiv-";
    for (int i = 0; i < 8; ++i)
        name += Hex[random() % 16];
    return name + ".tmp";
}

// The program's own descriptor that `name` stands for: /dev/stdin, /dev/stdout, /dev/stderr,
// /dev/fd/N, /proc/self/fd/N, /proc/thread-self/fd/N or /proc/<this process>/fd/N. Following the
// link instead would reopen what it leads to: nothing for a pipe ("pipe:[N]" is no path), and a
// file opened to append would be replaced.
std::optional<int> OwnDescriptorNamed(const std::filesystem::path &name)
{
    std::error_code error;
    const std::string path = std::filesystem::absolute(name, error).lexically_normal().string();
    if (error)
        return std::nullopt;
    static constexpr std::pair<std::string_view, int> Standard[] = {
        {"/dev/stdin", 0}, {"/dev/stdout", 1}, {"/dev/stderr", 2}};
    for (const auto &[standard, fd] : Standard)
        if (path == standard)
            return fd;
    const std::string prefixes[] = {"/dev/fd/", "/proc/self/fd/", "/proc/thread-self/fd/",
                                    "/proc/" + std::to_string(::getpid()) + "/fd/"};
    for (const std::string &prefix : prefixes) {
        if (!path.starts_with(prefix))
            continue;
        const std::string_view number = std::string_view(path).substr(prefix.size());
        if (number.empty() || number.size() > 9 || number.find_first_not_of("0123456789") != std::string_view::npos)
            return std::nullopt;
        return std::stoi(std::string(number));
    }
    return std::nullopt;
}

struct Destination {
    std::filesystem::path path; // after following symbolic links (which need not exist yet)
    std::optional<int> descriptor;
};

// Follows a chain of symbolic links to the name it ends at, stopping at a name for one of our
// own descriptors.
Destination FollowLinks(const std::filesystem::path &named)
{
    std::filesystem::path at = named;
    for (int hops = 0;; ++hops) {
        if (const std::optional<int> fd = OwnDescriptorNamed(at))
            return {at, fd};
        struct stat status;
        if (::lstat(at.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
            return {at, std::nullopt};
        if (hops == 40)
            Fail("Cannot create file", named, ErrnoText(ELOOP));
        std::error_code error;
        const std::filesystem::path link = std::filesystem::read_symlink(at, error);
        if (error)
            Fail("Cannot create file", named, error.message());
        at = link.is_absolute() ? link : at.parent_path() / link;
    }
}

// The real folder a path is in, "." for a bare name.
std::filesystem::path FolderOf(const std::filesystem::path &file)
{
    return file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
}

class SystemWriterCalls final : public WriterCalls {};

} // namespace

std::string SizeText(std::uint64_t bytes)
{
    static constexpr std::pair<std::uint64_t, const char *> Units[] = {
        {std::uint64_t(1) << 30, " GiB"}, {std::uint64_t(1) << 20, " MiB"}, {std::uint64_t(1) << 10, " KiB"}};
    for (const auto &[unit, name] : Units)
        if (bytes >= unit && bytes % unit == 0)
            return std::to_string(bytes / unit) + name;
    return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

std::optional<std::vector<std::uint8_t>> ReadFileWithSignature(const std::filesystem::path &file,
                                                                std::span<const std::string_view> signatures,
                                                                std::uint64_t limit)
{
    struct stat status;
    Descriptor fd = OpenRegularFile(file, status);
    std::size_t longest = 0;
    for (std::string_view signature : signatures)
        longest = std::max(longest, signature.size());
    std::vector<std::uint8_t> bytes(longest);
    const ssize_t got = ReadFully(fd.get(), bytes.data(), longest);
    if (got < 0)
        Fail("Cannot read file", file, ErrnoText(errno));
    bytes.resize(std::size_t(got));
    bool matches = signatures.empty();
    for (std::string_view signature : signatures)
        matches = matches
            || (bytes.size() >= signature.size() && std::memcmp(bytes.data(), signature.data(), signature.size()) == 0);
    if (!matches)
        return std::nullopt;
    ReadRest(fd.get(), file, status, limit, bytes);
    return bytes;
}

std::vector<std::uint8_t> ReadWholeFile(const std::filesystem::path &file, std::uint64_t limit)
{
    return *ReadFileWithSignature(file, {}, limit);
}

int WriterCalls::OpenAt(int folder, const char *name, int flags, unsigned mode) const
{
    return ::openat(folder, name, flags, mode_t(mode));
}
long WriterCalls::Write(int fd, const void *bytes, std::size_t size) const { return ::write(fd, bytes, size); }
int WriterCalls::Fsync(int fd) const { return ::fsync(fd); }
int WriterCalls::Fchmod(int fd, unsigned mode) const { return ::fchmod(fd, mode_t(mode)); }
int WriterCalls::Close(int fd) const { return ::close(fd); }
int WriterCalls::LinkAt(int fromFolder, const char *from, int toFolder, const char *to, int flags) const
{
    return ::linkat(fromFolder, from, toFolder, to, flags);
}
int WriterCalls::RenameAt(int fromFolder, const char *from, int toFolder, const char *to) const
{
    return ::renameat(fromFolder, from, toFolder, to);
}
int WriterCalls::UnlinkAt(int folder, const char *name) const { return ::unlinkat(folder, name, 0); }

const WriterCalls &WriterCalls::System()
{
    static const SystemWriterCalls calls;
    return calls;
}

UnnamedFile::UnnamedFile(const std::filesystem::path &folder, std::filesystem::path shownAs, const WriterCalls &calls,
                         std::optional<Permissions> permissions)
    : calls_(calls), folderPath_(folder), shownAs_(std::move(shownAs))
{
    // Read-only, for flushing the folder and naming the file in it: a folder renamed meanwhile
    // still gets the file.
    folder_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_ < 0)
        Fail("Cannot create file", shownAs_, ErrnoText(errno));
    fd_ = calls_.OpenAt(folder_, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    // An unnamed file is named through /proc/self/fd; without /proc it could not be.
    if (fd_ >= 0 && ::access(("/proc/self/fd/" + std::to_string(fd_)).c_str(), F_OK) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
    // A file system without unnamed files (or an older kernel) refuses in several ways; a
    // temporary with a name then does the job, and says what is wrong if it cannot.
    for (int attempt = 0; fd_ < 0 && attempt < 16; ++attempt) {
        temporary_ = ShortTemporaryName();
        fd_ = calls_.OpenAt(folder_, temporary_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST)
            break;
    }
    if (fd_ < 0) {
        const int error = errno;
        temporary_.clear();
        ::close(folder_);
        Fail("Cannot create file", shownAs_, ErrnoText(error));
    }
    if (permissions) {
        // Root replacing another user's file gives it back to that user; for anyone else this is
        // their own file already, or not possible, and the permissions below still hold.
        if (::fchown(fd_, permissions->owner, permissions->group) != 0) {
        }
        if (calls_.Fchmod(fd_, permissions->mode) != 0) {
            const int error = errno;
            Release();
            Fail("Cannot create file", shownAs_, ErrnoText(error));
        }
    }
}

UnnamedFile::~UnnamedFile() { Release(); }

void UnnamedFile::Release()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty())
        calls_.UnlinkAt(folder_, temporary_.c_str());
    temporary_.clear();
    if (folder_ >= 0)
        ::close(folder_);
    folder_ = -1;
}

void UnnamedFile::Append(std::span<const std::uint8_t> bytes)
{
    if (fd_ < 0)
        throw std::logic_error("UnnamedFile::Append after it was named");
    if (!WriteFully(calls_, fd_, bytes))
        Fail("Cannot write file", shownAs_, ErrnoText(errno));
    // Starts these bytes on their way to the disk, so the flush before naming the file has less
    // to wait for. Only a hint: the flush reports any error.
    ::sync_file_range(fd_, off_t(size_), off_t(bytes.size()), SYNC_FILE_RANGE_WRITE);
    size_ += bytes.size();
}

bool UnnamedFile::SameFolderAs(int folder) const
{
    struct stat mine, theirs;
    return ::fstat(folder_, &mine) == 0 && ::fstat(folder, &theirs) == 0 && mine.st_dev == theirs.st_dev
        && mine.st_ino == theirs.st_ino;
}

void UnnamedFile::Publish(const std::string &name, const std::filesystem::path &shownAs,
                          const std::optional<Permissions> &permissions)
{
    if (fd_ < 0)
        throw std::logic_error("UnnamedFile named twice");
    if (permissions) {
        if (::fchown(fd_, permissions->owner, permissions->group) != 0) {
        }
        if (calls_.Fchmod(fd_, permissions->mode) != 0)
            Fail("Cannot create file", shownAs, ErrnoText(errno));
    }
    if (calls_.Fsync(fd_) != 0)
        Fail("Cannot write file", shownAs, ErrnoText(errno));
    if (temporary_.empty()) {
        // A short name first, so that the rename below replaces the target in one step: a kill
        // between the two leaves that name, a kill at any other moment nothing.
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        for (int attempt = 0; temporary_.empty() && attempt < 16; ++attempt) {
            const std::string candidate = ShortTemporaryName();
            if (calls_.LinkAt(AT_FDCWD, self.c_str(), folder_, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0)
                temporary_ = candidate;
            else if (errno != EEXIST)
                Fail("Cannot create file", shownAs, ErrnoText(errno));
        }
        if (temporary_.empty())
            Fail("Cannot create file", shownAs, ErrnoText(EEXIST));
    }
    // It may report a delayed write error.
    if (calls_.Close(std::exchange(fd_, -1)) != 0)
        Fail("Cannot write file", shownAs, ErrnoText(errno));
    if (calls_.RenameAt(folder_, temporary_.c_str(), folder_, name.c_str()) != 0)
        Fail("Cannot create file", shownAs, ErrnoText(errno));
    temporary_.clear();
    // The new name is on the disk only once the folder is. The file is in place by now: a failure
    // here says so, as the old contents cannot be had back.
    if (calls_.Fsync(folder_) != 0)
        Fail("Cannot write file", shownAs,
             ErrnoText(errno) + " (the new file is in place, but its folder could not be written to the disk)");
}

FileWriter::FileWriter(std::filesystem::path target, const WriterCalls &calls) : calls_(calls), named_(std::move(target))
{
    const Destination destination = FollowLinks(named_);
    resolved_ = destination.path;
    if (destination.descriptor) {
        const int flags = ::fcntl(*destination.descriptor, F_GETFL);
        if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY)
            Fail("Cannot create file", named_, ErrnoText(EBADF));
        descriptor_ = *destination.descriptor;
        inPlace_ = true;
        return;
    }
    struct stat status;
    if (::stat(resolved_.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode))
            Fail("Cannot create file", named_, "It is a folder.");
        inPlace_ = !S_ISREG(status.st_mode);
        if (!inPlace_)
            replaces_ = UnnamedFile::Permissions{status.st_mode & 07777, status.st_uid, status.st_gid};
        // An existing file we may not write stays as it is, as writing over it in place would.
        if (::access(resolved_.c_str(), W_OK) != 0)
            Fail("Cannot create file", named_, ErrnoText(errno));
    } else if (errno != ENOENT) {
        Fail("Cannot create file", named_, ErrnoText(errno));
    }
    if (!inPlace_) {
        // Where the devices are, a mistyped name (/dev/stdout.png) would become a file in memory
        // that nobody looks for.
        std::error_code error;
        if (std::filesystem::canonical(Folder(), error) == "/dev")
            Fail("Cannot create file", named_, "Kaptiv makes no new files in /dev, the folder of devices.");
        if (::access(Folder().c_str(), W_OK | X_OK) != 0)
            Fail("Cannot create file", named_, ErrnoText(errno));
    }
}

std::filesystem::path FileWriter::Folder() const { return FolderOf(resolved_); }

void FileWriter::Write(std::span<const std::uint8_t> bytes) const
{
    Write([bytes, given = false]() mutable {
        return std::exchange(given, true) ? std::span<const std::uint8_t>() : bytes;
    });
}

void FileWriter::Write(const NextPiece &next) const
{
    if (inPlace_)
        return WriteInPlace(next);
    UnnamedFile file(Folder(), named_, calls_, replaces_);
    for (std::span<const std::uint8_t> piece = next(); !piece.empty(); piece = next())
        file.Append(piece);
    file.Publish(resolved_.filename().string(), named_);
}

void FileWriter::Write(const UnnamedFile &source) const
{
    std::vector<std::uint8_t> buffer(std::size_t(1) << 20);
    std::uint64_t at = 0;
    Write([&]() -> std::span<const std::uint8_t> {
        const std::size_t want = std::size_t(std::min<std::uint64_t>(buffer.size(), source.Size() - at));
        std::size_t done = 0;
        while (done < want) {
            const ssize_t n = ::pread(source.Descriptor(), buffer.data() + done, want - done, off_t(at + done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                Fail("Cannot read file", source.shownAs_, n == 0 ? "It ended early." : ErrnoText(errno));
            done += std::size_t(n);
        }
        at += done;
        return {buffer.data(), done};
    });
}

void FileWriter::Keep(UnnamedFile &file) const
{
    if (inPlace_ || file.fd_ < 0)
        return Write(file);
    const int folder = ::open(Folder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool here = folder >= 0 && file.SameFolderAs(folder);
    if (folder >= 0)
        ::close(folder);
    if (!here)
        return Write(file);
    file.Publish(resolved_.filename().string(), named_, replaces_);
}

void FileWriter::WriteInPlace(const NextPiece &next) const
{
    // One of our descriptors is written as it stands, and stays open. Otherwise no O_TRUNC: a
    // device or a FIFO has nothing to cut, and no rename: the node stays what it is.
    const int fd = descriptor_ >= 0 ? descriptor_ : calls_.OpenAt(AT_FDCWD, resolved_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY, 0);
    if (fd < 0)
        Fail("Cannot create file", named_, ErrnoText(errno));
    struct CloseOnFailure {
        const WriterCalls &calls;
        int fd;
        ~CloseOnFailure()
        {
            if (fd >= 0)
                calls.Close(fd);
        }
    } opened{calls_, descriptor_ >= 0 ? -1 : fd};
    for (std::span<const std::uint8_t> piece = next(); !piece.empty(); piece = next())
        if (!WriteFully(calls_, fd, piece))
            Fail("Cannot write file", named_, ErrnoText(errno));
    if (opened.fd >= 0 && calls_.Close(std::exchange(opened.fd, -1)) != 0)
        Fail("Cannot write file", named_, ErrnoText(errno));
}

void WriteFile(const std::filesystem::path &target, std::span<const std::uint8_t> bytes)
{
    FileWriter(target).Write(bytes);
}

void OpenStandardDescriptors()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF)
            continue;
        // The lowest free number is the one closed.
        const int standIn = ::open(fd == 0 ? "/dev/null" : "/dev/full", fd == 0 ? O_RDONLY : O_WRONLY);
        if (standIn >= 0 && standIn != fd) {
            ::dup2(standIn, fd);
            ::close(standIn);
        }
    }
}

} // namespace kaptiv::files
