#pragma once
// The one way every reader gets its bytes and every writer puts them down. Plain C++ on POSIX, so
// the codecs with and without Qt share it.
//
// Reading: only a regular file is read (never a device, a FIFO or a folder), its first bytes are
// checked against what the reader expects before the rest is read, and no more than a limit is
// read (1 GiB unless the caller asks for less).
//
// Writing: a symbolic link is followed to its target. A name for one of the program's own
// descriptors (/dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N) is written through that
// descriptor as it stands, whatever it leads to: a pipe, a file opened to append. A target that
// exists and is not a regular file (a device, a FIFO) is written in place. Errors writing either
// are failures, a broken pipe and the file-size limit included (never a death by signal).
// Anything else becomes a regular file: the bytes go to an unnamed file in the target's folder
// (O_TMPFILE; a short-named temporary where the file system has no unnamed files), which is
// flushed to the disk, given a short temporary name, renamed over the target taking the old
// file's permissions, and then the folder is flushed too. On any failure, and even when the
// program is killed, nothing is left but the old file (only the named temporary of a file system
// without unnamed files, or a kill between the link and the rename, can leave a temporary). A
// new file is never made directly in /dev.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kaptiv::files {

// A file could not be read or written; the message names the file and says why.
class FileError : public std::runtime_error {
public:
    FileError(const std::string &message, std::string reason) : std::runtime_error(message), reason_(std::move(reason)) {}
    // Why, without the file's name: "No space left on device".
    const std::string &reason() const { return reason_; }

private:
    std::string reason_;
};

inline constexpr std::uint64_t MaxReadSize = std::uint64_t(1) << 30;

// The bytes of `file` when they begin with one of `signatures`; nullopt when they begin with none
// (then no more than the longest signature was read). Raises FileError for a file that cannot be
// opened, is not a regular file, or is larger than `limit`.
std::optional<std::vector<std::uint8_t>> ReadFileWithSignature(const std::filesystem::path &file,
                                                                std::span<const std::string_view> signatures,
                                                                std::uint64_t limit = MaxReadSize);

// The bytes of a regular file of at most `limit` bytes; raises FileError otherwise.
std::vector<std::uint8_t> ReadWholeFile(const std::filesystem::path &file, std::uint64_t limit = MaxReadSize);

// "1 GiB", "64 KiB", "1000 bytes": a size limit as messages give it.
std::string SizeText(std::uint64_t bytes);

// The system calls the writer makes, behind one small interface so that a test can make any of
// them fail. Each returns what the system call returns, with errno set on failure.
class WriterCalls {
public:
    virtual ~WriterCalls() = default;
    virtual int OpenAt(int folder, const char *name, int flags, unsigned mode) const;
    virtual long Write(int fd, const void *bytes, std::size_t size) const;
    virtual int Fsync(int fd) const; // a file's, and then its folder's
    virtual int Fchmod(int fd, unsigned mode) const;
    virtual int Close(int fd) const;
    virtual int LinkAt(int fromFolder, const char *from, int toFolder, const char *to, int flags) const;
    virtual int RenameAt(int fromFolder, const char *from, int toFolder, const char *to) const;
    virtual int UnlinkAt(int folder, const char *name) const;

    // The real ones.
    static const WriterCalls &System();
};

// A file being written in a folder before it has a name: a failure or a kill leaves nothing (on a
// file system without unnamed files it has a short temporary name, which a kill leaves). Give it
// a name with FileWriter(target).Write(file), which copies it, or FileWriter(target).Keep(file),
// which names this very file when the target is in its folder (no copy) and copies it otherwise.
// Useful for what is written long before its name is chosen, such as a recording.
class UnnamedFile {
public:
    // The permissions a new file takes over from the file it replaces.
    struct Permissions {
        unsigned mode = 0;
        unsigned owner = 0, group = 0;
    };

    // Starts an empty file in `folder`; `shownAs` names it in messages. Raises FileError.
    UnnamedFile(const std::filesystem::path &folder, std::filesystem::path shownAs,
                const WriterCalls &calls = WriterCalls::System(), std::optional<Permissions> permissions = {});
    ~UnnamedFile();
    UnnamedFile(const UnnamedFile &) = delete;
    UnnamedFile &operator=(const UnnamedFile &) = delete;

    // Adds bytes at the end; raises FileError (a full disk, the file-size limit).
    void Append(std::span<const std::uint8_t> bytes);

    std::uint64_t Size() const { return size_; }
    // Open for reading and writing (pread it back, say) until the file is named.
    int Descriptor() const { return fd_; }
    const std::filesystem::path &Folder() const { return folderPath_; }

private:
    friend class FileWriter;
    // Makes it the file `name` of its folder, replacing what was there once every byte is on the
    // disk, then flushes the folder. Done with it then: the descriptor is closed.
    // `permissions`, when given, are set first.
    void Publish(const std::string &name, const std::filesystem::path &shownAs,
                 const std::optional<Permissions> &permissions = {});
    bool SameFolderAs(int folder) const;
    void Release(); // closes, and removes the temporary name

    const WriterCalls &calls_;
    std::filesystem::path folderPath_, shownAs_;
    int folder_ = -1, fd_ = -1;
    std::string temporary_; // its name while it has one
    std::uint64_t size_ = 0;
};

class FileWriter {
public:
    // Finds where the bytes will go and refuses at once (FileError) a place that cannot take them,
    // so a caller learns it before doing the work. Nothing is created yet.
    explicit FileWriter(std::filesystem::path target, const WriterCalls &calls = WriterCalls::System());

    // Puts `bytes` in the target's place as described above; raises FileError.
    void Write(std::span<const std::uint8_t> bytes) const;

    // The same for bytes made piece by piece: `next` gives the next piece, an empty one at the end.
    // Each piece is on its way to the disk while the next is made. Whatever `next` raises leaves
    // things as a failed write does, and comes out as it is.
    using NextPiece = std::function<std::span<const std::uint8_t>()>;
    void Write(const NextPiece &next) const;

    // A copy of the unnamed file's bytes, which stays as it is.
    void Write(const UnnamedFile &file) const;
    // The unnamed file itself when the target is a regular file in its folder: named without a
    // copy, and done with then (its descriptor is closed); a copy otherwise.
    void Keep(UnnamedFile &file) const;

    // True when the target is an existing device or FIFO, or a descriptor, written as it stands.
    bool WritesInPlace() const { return inPlace_; }
    // The program's own descriptor the target names (1 for /dev/stdout), or -1.
    int Descriptor() const { return descriptor_; }

private:
    void WriteInPlace(const NextPiece &next) const;
    std::filesystem::path Folder() const;

    const WriterCalls &calls_;
    std::filesystem::path named_;    // as the caller named it, for messages
    std::filesystem::path resolved_; // after following symbolic links
    int descriptor_ = -1;            // a descriptor of ours the name stands for
    bool inPlace_ = false;           // an existing device or FIFO, or a descriptor
    std::optional<UnnamedFile::Permissions> replaces_; // of the existing regular file replaced
};

// FileWriter(target).Write(bytes).
void WriteFile(const std::filesystem::path &target, std::span<const std::uint8_t> bytes);

// Gives each standard descriptor (0, 1, 2) that the program was started without a stand-in:
// /dev/null to read from, /dev/full to write to. Otherwise the next file or display connection
// opened takes its number, and what is meant for standard output goes into it; this way a write
// to a closed standard output fails instead. Call first thing in main.
void OpenStandardDescriptors();

} // namespace kaptiv::files
