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

// Memory a file may make the reader take. A frame beyond either limit ends the reading before it;
// the frames before it stay.
struct ReadLimits {
    std::uint64_t MaxFramePixels = std::uint64_t{1} << 26;  // e.g. 8192 x 8192
    std::uint64_t MaxTotalPixels = std::uint64_t{1} << 29;  // all frames of one file together
};

struct ParseOptions {
    ProgressHandler OnProgress;
    ReadLimits Limits;
};

// Reads a whole GIF file held in memory. True when the file was read, possibly only in part (a
// file cut short or carrying an unknown block keeps the frames before that point); false when
// nothing could be read (no bytes, no "GIF" signature, header or global colour table cut short,
// a file above 2 GB, memory exhausted) or when the progress handler abandoned the load. After
// false the image is empty.
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
    RowProgress Progress;           // may be empty
};

// Reads one image (descriptor, local colour table, image data) starting at readPos on its 0x2C
// byte, leaving readPos after its data.
ImageRead ReadImage(std::span<const std::uint8_t> file, std::size_t &readPos, const ImageContext &context,
                    GifFrame &frame);

} // namespace kaptiv::gif
