#pragma once
// The one way every reader gets its bytes and every writer puts them down. Plain C++ on POSIX, so
// the codecs with and without Qt share it.
//
// Reading: only a regular file is read (never a device, a FIFO or a folder), its first bytes are
// checked against what the reader expects before the rest is read, and no more than a limit is
// read (1 GiB unless the caller asks for less).
//
// Writing: a symbolic link is followed to its target. A target that exists and is not a regular
// file (a device, a FIFO) is written in place, and any error writing to it is a failure. Otherwise
// the bytes go to a new file beside the target, which is flushed to the disk and then renamed over
// the target, taking the old file's permissions; on any failure that new file is removed, so the
// old file is intact and nothing is left behind.

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

class FileWriter {
public:
    // Finds where the bytes will go and refuses at once (FileError) a place that cannot take them,
    // so a caller learns it before doing the work. Nothing is created yet.
    explicit FileWriter(std::filesystem::path target);

    // Puts `bytes` in the target's place as described above; raises FileError.
    void Write(std::span<const std::uint8_t> bytes) const;

    // The same for bytes made piece by piece: `next` gives the next piece, an empty one at the end.
    // Each piece is on its way to the disk while the next is made. Whatever `next` raises leaves
    // things as a failed write does, and comes out as it is.
    using NextPiece = std::function<std::span<const std::uint8_t>()>;
    void Write(const NextPiece &next) const;

    // True when the target is an existing device or FIFO, written as it stands.
    bool WritesInPlace() const { return inPlace_; }

private:
    void WriteInPlace(const NextPiece &next) const;
    void WriteBesideAndRename(const NextPiece &next) const;

    std::filesystem::path named_;    // as the caller named it, for messages
    std::filesystem::path resolved_; // after following symbolic links
    bool inPlace_ = false;           // an existing device or FIFO
    bool replaces_ = false;          // an existing regular file, whose permissions are kept
    unsigned mode_ = 0;
    unsigned owner_ = 0, group_ = 0;
};

// FileWriter(target).Write(bytes).
void WriteFile(const std::filesystem::path &target, std::span<const std::uint8_t> bytes);

} // namespace kaptiv::files
