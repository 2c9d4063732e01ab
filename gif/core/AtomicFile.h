#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>

namespace kaptiv::gif {

// A file could not be created or written; the message names the file and the reason.
class FileWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Saves a file so that a failed save never destroys what was there: the bytes go to a new file
// beside the target, which replaces the target only once it is complete. Creating the writer
// makes that file (so an unwritable place is reported before any work is done); the writer
// removes it again unless Commit succeeded.
class AtomicFileWriter {
public:
    explicit AtomicFileWriter(std::filesystem::path target);  // throws FileWriteError
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter &) = delete;
    AtomicFileWriter &operator=(const AtomicFileWriter &) = delete;

    // Writes the bytes and puts the file in the target's place; throws FileWriteError.
    void Commit(std::span<const std::uint8_t> bytes);

private:
    std::filesystem::path target_;
    std::filesystem::path temporary_;
    std::FILE *file_ = nullptr;
    bool committed_ = false;
};

} // namespace kaptiv::gif
