// Feeds arbitrary bytes to the GIF reader. Whatever it reads must be well formed, every frame
// decoded again alone from the file's index must be the frame read whole, and the first frame,
// written back out by the writer, must read back to the same colours.

#include "gif/core/FrameIndex.h"
#include "gif/core/GifReader.h"
#include "gif/core/GifWriter.h"

#include <cstdlib>
#include <vector>

namespace {

using namespace kaptiv::gif;

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

void CheckWellFormed(const GifImage &image)
{
    Require(image.FrameCount() <= MaxFrames);
    Require(image.IsAnimated == (image.FrameCount() > 1));
    for (const GifFrame &f : image.Frames) {
        Require(image.ImageWidth >= f.Left + f.Width && image.ImageHeight >= f.Top + f.Height);
        Require(image.ColorDepth >= f.LocalBits);
        if (f.Width == 0 || f.Height == 0)
            continue;
        Require(f.IndexStride % 4 == 0 && f.Indices.size() == f.IndexStride * static_cast<std::size_t>(f.Height));
        Require(f.Transparent || f.Mask.empty());  // a transparent frame may need no mask
        for (int y = 0; y < f.Height; ++y)
            for (int x = 0; x < f.Width; ++x)
                Require(!f.MaskAt(x, y) || f.IndexAt(x, y) == f.TransparentIndex);
    }
}

// Reading the facts only, as gif-info and gif-frames' first pass do, finds the same frames.
void CheckFactsOnly(std::span<const std::uint8_t> file, const ParseOptions &limits, ParseResult full,
                    const GifImage &image)
{
    ParseOptions factsOnly;
    factsOnly.Limits = limits.Limits;
    factsOnly.DecodePixels = false;
    GifImage facts;
    const ParseResult result = ReadGIF(file, facts, factsOnly);
    if (full == ParseResult::OutOfMemory)
        return;
    Require(result == full && facts.FrameCount() == image.FrameCount());
    Require(facts.ImageWidth == image.ImageWidth && facts.ImageHeight == image.ImageHeight);
    Require(facts.LoopCount == image.LoopCount && facts.FramesBeyondLimit == image.FramesBeyondLimit);
    for (int i = 0; i < facts.FrameCount(); ++i)
        Require(facts.Frames[i].Comment == image.Frames[i].Comment && facts.Frames[i].Indices.empty());
}

// The file indexed as the player holds it: the same facts, and each frame decoded alone (one
// string table for all, as the player decodes them) the same as read whole.
void CheckIndexed(std::span<const std::uint8_t> file, const ParseOptions &limits, ParseResult full,
                  const GifImage &image)
{
    ParseOptions indexed;
    indexed.Limits = limits.Limits;
    FrameIndex index;
    const ParseResult result = IndexGIF(file, index, indexed);
    if (full == ParseResult::OutOfMemory || result == ParseResult::OutOfMemory)
        return;
    Require(result == full);
    if (result != ParseResult::Read)
        return;
    Require(index.Frames.size() == image.Frames.size() && index.Image.ImageWidth == image.ImageWidth &&
            index.Image.ImageHeight == image.ImageHeight && index.Image.ColorDepth == image.ColorDepth);
    LzwTables tables;
    for (std::size_t n = index.Frames.size(); n-- > 0;) {  // last first: frames need not come in order
        const GifFrame &whole = image.Frames[n];
        GifFrame alone;
        Require(DecodeIndexedFrame(file, index, n, alone, &tables));
        Require(alone.Left == whole.Left && alone.Top == whole.Top && alone.Width == whole.Width &&
                alone.Height == whole.Height && alone.Delay == whole.Delay && alone.Disposal == whole.Disposal &&
                alone.Transparent == whole.Transparent && alone.TransparentIndex == whole.TransparentIndex &&
                alone.PaletteBits == whole.PaletteBits && alone.Colors == whole.Colors &&
                alone.Comment == whole.Comment && alone.Interlaced == whole.Interlaced);
        Require(alone.Indices.size() == whole.Indices.size() && alone.Mask.empty() == whole.Mask.empty());
        for (int y = 0; y < whole.Height && !whole.Indices.empty(); ++y)
            for (int x = 0; x < whole.Width; ++x)
                Require(alone.IndexAt(x, y) == whole.IndexAt(x, y) && alone.MaskAt(x, y) == whole.MaskAt(x, y));
    }
}

// The first frame's colours through the writer and back.
void CheckRoundTrip(const GifFrame &frame)
{
    const std::size_t pixels = static_cast<std::size_t>(frame.Width) * static_cast<std::size_t>(frame.Height);
    if (pixels == 0 || pixels > 65536)
        return;
    std::vector<std::uint8_t> bgrx(4 * pixels);
    for (int y = 0; y < frame.Height; ++y)
        for (int x = 0; x < frame.Width; ++x) {
            const std::uint8_t *rgb = &frame.Colors[3 * frame.IndexAt(x, y)];
            std::uint8_t *p = &bgrx[4 * (static_cast<std::size_t>(y) * frame.Width + x)];
            p[0] = rgb[2], p[1] = rgb[1], p[2] = rgb[0], p[3] = 0;
        }
    GifSaveInfo info;
    GifFrameInput input;
    input.Pixels = {bgrx.data(), frame.Width, frame.Height, 4 * frame.Width};
    input.Interlaced = frame.Interlaced;
    info.Frames.push_back(input);
    std::vector<std::uint8_t> file;
    Require(WriteGIFStream(info, file));
    GifImage back;
    Require(ParseGIF(file, back) && back.FrameCount() == 1);
    const GifFrame &b = back.Frames[0];
    for (int y = 0; y < frame.Height; ++y)
        for (int x = 0; x < frame.Width; ++x)
            for (int c = 0; c < 3; ++c)
                Require(b.Colors[3 * b.IndexAt(x, y) + c] == frame.Colors[3 * frame.IndexAt(x, y) + c]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    ParseOptions options;
    options.Limits = {std::uint64_t{1} << 22, std::uint64_t{1} << 24};
    std::int64_t lastPosition = -1;
    options.OnProgress = [&](const Progress &p, bool &) {
        Require(p.BytesProcessed >= lastPosition && p.BytesProcessed <= p.BytesToProcess);
        Require(p.PercentageProcessed >= 0 && p.PercentageProcessed <= 100);
        lastPosition = p.BytesProcessed;
    };
    GifImage image;
    const ParseResult result = ReadGIF({data, size}, image, options);
    CheckFactsOnly({data, size}, options, result, image);
    CheckIndexed({data, size}, options, result, image);
    if (result == ParseResult::Read) {
        CheckWellFormed(image);
        if (image.FrameCount() > 0)
            CheckRoundTrip(image.Frames[0]);
    }
    return 0;
}
