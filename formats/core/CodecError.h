#pragma once
// What the codecs without Qt raise for the user: the kind of failure and the message the user
// sees, the very text the windowed program shows for it (there it becomes EOpenFile or
// EOutOfMemory, platform/ui/Errors.h). A message may hold a file name's bytes as they were given.

#include <stdexcept>
#include <string>

namespace kaptiv {

class CodecError : public std::runtime_error {
public:
    enum class Kind {
        File,        // the bytes are no picture this program reads, or a file could not be read or written
        Gif,         // the GIF reader refused a file, or one of its limits stopped it
        OutOfMemory  // a picture did not fit in memory
    };
    CodecError(Kind kind, const std::string &message) : std::runtime_error(message), kind_(kind) {}
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

[[noreturn]] inline void failFile(const std::string &message) { throw CodecError(CodecError::Kind::File, message); }

// "Out of memory: the command was stopped.", what memory running out anywhere else is told as.
inline const char *outOfMemoryText() { return "Out of memory: the command was stopped."; }

} // namespace kaptiv
