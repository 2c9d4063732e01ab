#include "platform/FileAccess.h"

#include <cerrno>
#include <cstring>
#include <random>
#include <utility>

#include <fcntl.h>
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

bool WriteFully(int fd, std::span<const std::uint8_t> bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
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

std::filesystem::path TemporaryBeside(const std::filesystem::path &target)
{
    static constexpr char Hex[] = "0123456789abcdef";
    std::random_device random;
    std::string suffix = ".";
    for (int i = 0; i < 8; ++i)
        suffix += Hex[random() % 16];
    return target.parent_path() / (target.filename().string() + suffix + ".tmp");
}

// Follows a chain of symbolic links to the name it ends at (which need not exist yet).
std::filesystem::path FollowLinks(const std::filesystem::path &named)
{
    std::filesystem::path at = named;
    for (int hops = 0;; ++hops) {
        struct stat status;
        if (::lstat(at.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
            return at;
        if (hops == 40)
            Fail("Cannot create file", named, ErrnoText(ELOOP));
        std::error_code error;
        const std::filesystem::path link = std::filesystem::read_symlink(at, error);
        if (error)
            Fail("Cannot create file", named, error.message());
        at = link.is_absolute() ? link : at.parent_path() / link;
    }
}

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

FileWriter::FileWriter(std::filesystem::path target) : named_(std::move(target)), resolved_(FollowLinks(named_))
{
    struct stat status;
    if (::stat(resolved_.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode))
            Fail("Cannot create file", named_, "It is a folder.");
        inPlace_ = !S_ISREG(status.st_mode);
        replaces_ = !inPlace_;
        mode_ = status.st_mode & 07777;
        owner_ = status.st_uid;
        group_ = status.st_gid;
        // An existing file we may not write stays as it is, as writing over it in place would.
        if (::access(resolved_.c_str(), W_OK) != 0)
            Fail("Cannot create file", named_, ErrnoText(errno));
    } else if (errno != ENOENT) {
        Fail("Cannot create file", named_, ErrnoText(errno));
    }
    if (!inPlace_) {
        const std::filesystem::path folder = resolved_.has_parent_path() ? resolved_.parent_path() : ".";
        if (::access(folder.c_str(), W_OK | X_OK) != 0)
            Fail("Cannot create file", named_, ErrnoText(errno));
    }
}

void FileWriter::Write(std::span<const std::uint8_t> bytes) const
{
    Write([bytes, given = false]() mutable {
        return std::exchange(given, true) ? std::span<const std::uint8_t>() : bytes;
    });
}

void FileWriter::Write(const NextPiece &next) const
{
    if (inPlace_)
        WriteInPlace(next);
    else
        WriteBesideAndRename(next);
}

void FileWriter::WriteInPlace(const NextPiece &next) const
{
    // No O_TRUNC: a device or a FIFO has nothing to cut, and no rename: the node stays what it is.
    Descriptor fd(::open(resolved_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0)
        Fail("Cannot create file", named_, ErrnoText(errno));
    for (std::span<const std::uint8_t> piece = next(); !piece.empty(); piece = next())
        if (!WriteFully(fd.get(), piece))
            Fail("Cannot write file", named_, ErrnoText(errno));
    if (!fd.close())
        Fail("Cannot write file", named_, ErrnoText(errno));
}

void FileWriter::WriteBesideAndRename(const NextPiece &next) const
{
    std::filesystem::path temporary;
    int created = -1;
    for (int attempt = 0; attempt < 16 && created < 0; ++attempt) {
        temporary = TemporaryBeside(resolved_);
        created = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (created < 0 && errno != EEXIST)
            break;
    }
    if (created < 0)
        Fail("Cannot create file", named_, ErrnoText(errno));
    Descriptor fd(created);
    struct RemoveUnlessKept {
        const std::filesystem::path &file;
        bool keep = false;
        ~RemoveUnlessKept()
        {
            if (!keep)
                ::unlink(file.c_str());
        }
    } cleanup{temporary};

    if (replaces_) {
        // Root replacing another user's file gives it back to that user; for anyone else this is
        // their own file already, or not possible, and the permissions below still hold.
        if (::fchown(fd.get(), owner_, group_) != 0) {
        }
        if (::fchmod(fd.get(), mode_) != 0)
            Fail("Cannot create file", named_, ErrnoText(errno));
    }
    off_t written = 0;
    for (std::span<const std::uint8_t> piece = next(); !piece.empty(); piece = next()) {
        if (!WriteFully(fd.get(), piece))
            Fail("Cannot write file", named_, ErrnoText(errno));
        // Starts this piece on its way to the disk, so the flush below has less to wait for. Only
        // a hint: the flush reports any error.
        ::sync_file_range(fd.get(), written, off_t(piece.size()), SYNC_FILE_RANGE_WRITE);
        written += off_t(piece.size());
    }
    if (::fsync(fd.get()) != 0)
        Fail("Cannot write file", named_, ErrnoText(errno));
    if (!fd.close())
        Fail("Cannot write file", named_, ErrnoText(errno));
    if (::rename(temporary.c_str(), resolved_.c_str()) != 0)
        Fail("Cannot create file", named_, ErrnoText(errno));
    cleanup.keep = true;
}

void WriteFile(const std::filesystem::path &target, std::span<const std::uint8_t> bytes)
{
    FileWriter(target).Write(bytes);
}

} // namespace kaptiv::files
