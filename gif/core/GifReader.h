#pragma once

#include "gif/core/GifTypes.h"
#include "gif/core/LzwDecoder.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace kaptiv::gif {

// How far a file is read, as told to a progress handler.
struct Progress {
    std::int32_t BytesProcessed = 0;
    std::int32_t BytesToProcess = 0;
    std::int32_t PercentageProcessed = 0;  // rounded to the nearest whole percent
};

// Called at the start of every block, once after the last one, and every 32 or 64 rows of
// images above 100000 pixels. Leaving KeepOnProcessing false abandons the load.
using ProgressHandler = std::function<void(const Progress &, bool &KeepOnProcessing)>;

// Memory a file may make the reader take. A file with a frame beyond either pixel limit is refused
// rather than read in part; of a file with more than MaxFrames images the first MaxFrames are read.
// Readers that take one frame at a time (OnFrame, or no pixels) may lift the last two.
struct ReadLimits {
    std::uint64_t MaxFramePixels = std::uint64_t{1} << 28;  // e.g. 16384 x 16384
    std::uint64_t MaxTotalPixels = std::uint64_t{1} << 30;  // all frames of one file together
    int MaxFrames = gif::MaxFrames;
};

// Given every frame as soon as it is read, instead of keeping it in GifImage::Frames, so that a
// caller needs one frame in memory at a time. The frame is dropped when it returns; returning
// false abandons the load.
using FrameHandler = std::function<bool(GifFrame &frame, int number)>;

struct ParseOptions {
    ProgressHandler OnProgress;
    ReadLimits Limits;
    FrameHandler OnFrame;
    bool DecodePixels = true;   // false: frames without pixel buffers, their image data skipped
};

enum class ParseResult {
    Read,
    NotAGif,        // no bytes, no "GIF" signature, header, screen descriptor or global table cut short
    FileTooLarge,   // above 2 GB
    Abandoned,      // by the progress or frame handler
    OutOfMemory,
    FrameTooLarge,  // an image above Limits.MaxFramePixels
    TooManyPixels,  // the images together above Limits.MaxTotalPixels
};

// Reads a whole GIF file held in memory. A file cut short or ending in a block this reader does
// not know is read up to that point: a frame whose descriptor and colour table are complete
// stays, with index 0 where its data does not reach. Of a file with more than Limits.MaxFrames
// images the first ones are read (FramesBeyondLimit tells). A file that passes a memory limit is
// refused rather than read in part. After any result but Read the image is empty.
ParseResult ReadGIF(std::span<const std::uint8_t> file, GifImage &image, const ParseOptions &options = {});

// ReadGIF, true when the file was read.
bool ParseGIF(std::span<const std::uint8_t> file, GifImage &image, const ParseOptions &options = {});

// The six bytes of a graphic control extension after its label, as they stand.
using ControlBytes = std::array<std::uint8_t, 6>;

enum class ImageRead {
    Read,           // the frame is complete (its pixels perhaps only in part)
    NotAnImage,     // no image descriptor at the read position
    CutShort,       // descriptor or local colour table runs past the end of the file
    TooLarge,       // the frame would pass the reader's memory limits
    Abandoned,      // the progress handler asked to stop
};

// What an image takes from the file around it.
struct ImageContext {
    const ColorTable &GlobalTable;
    int ColorDepth = 0;             // largest colour table met before this image
    ControlBytes PendingControl{};
    std::uint64_t PixelsAllowed = 0;
    bool DecodePixels = true;
    RowProgress Progress;           // may be empty
    ZeroedArena *Memory = nullptr;  // where the frame's buffers come from; calloc without one
    LzwTables *Tables = nullptr;    // the decoder's table, shared with the file's other images
};

// Reads one image (descriptor, local colour table, image data) starting at readPos on its 0x2C
// byte, leaving readPos after its data. Without DecodePixels the frame gets no buffers; a frame
// whose transparent index occurs nowhere among its decoded pixels gets no mask.
ImageRead ReadImage(std::span<const std::uint8_t> file, std::size_t &readPos, const ImageContext &context,
                    GifFrame &frame);

} // namespace kaptiv::gif
