#include "gif/GifFile.h"

#include "formats/core/CodecError.h"
#include "platform/files/FileAccess.h"

#include <cmath>
#include <limits>

namespace kaptiv::gif {

namespace {

[[noreturn]] void refuse(const std::string &message) { throw CodecError(CodecError::Kind::Gif, message); }

std::string quoted(const std::string &path) { return "\"" + path + "\""; }

[[noreturn]] void unreadable(const std::string &path) { refuse(quoted(path) + " is not a GIF file that can be read."); }

[[noreturn]] void notRead(const std::string &path, ParseResult result, const ReadLimits &limits)
{
    const auto side = [](std::uint64_t pixels) { return std::to_string(std::llround(std::sqrt(double(pixels)))); };
    switch (result) {
    case ParseResult::FrameTooLarge:
        refuse(quoted(path) + " has a frame of more than " + std::to_string(limits.MaxFramePixels) + " pixels ("
               + side(limits.MaxFramePixels) + " x " + side(limits.MaxFramePixels) + "), the largest frame Kaptiv reads.");
    case ParseResult::TooManyPixels:
        refuse(quoted(path) + " has more than " + std::to_string(limits.MaxTotalPixels)
               + " pixels in its frames together, the most Kaptiv reads from one file.");
    case ParseResult::OutOfMemory:
        refuse("There is not enough memory to read " + quoted(path) + ".");
    case ParseResult::FileTooLarge:
        refuse(quoted(path) + " is larger than 2 GB, the largest GIF file Kaptiv reads.");
    case ParseResult::Abandoned:
        refuse("Reading " + quoted(path) + " was stopped.");
    case ParseResult::NotAGif:
    case ParseResult::Read:
        break;
    }
    unreadable(path);
}

} // namespace

ReadLimits oneFrameAtATime()
{
    ReadLimits limits;
    limits.MaxFrames = MaxFramesAsShown;
    limits.MaxTotalPixels = std::numeric_limits<std::uint64_t>::max();
    return limits;
}

std::vector<std::uint8_t> readGifFile(const std::string &path)
{
    static constexpr std::string_view Signature[] = {"GIF"};
    std::optional<std::vector<std::uint8_t>> bytes;
    try {
        bytes = files::ReadFileWithSignature(path, Signature);
    } catch (const files::FileError &error) {
        failFile(error.what());
    }
    if (!bytes)
        unreadable(path);
    return std::move(*bytes);
}

GifImage parseGifFile(const std::string &path, std::span<const std::uint8_t> bytes, const ParseOptions &options)
{
    GifImage image;
    const ParseResult result = ReadGIF(bytes, image, options);
    if (result != ParseResult::Read)
        notRead(path, result, options.Limits);
    return image;
}

} // namespace kaptiv::gif
