#include "gif/core/FrameIndex.h"

#include <limits>

namespace kaptiv::gif {

FrameFacts FactsOf(const GifFrame &frame)
{
    FrameFacts facts;
    facts.Offset = static_cast<std::uint32_t>(frame.Offset);
    facts.Delay = frame.Delay;
    facts.Left = static_cast<std::uint16_t>(frame.Left);
    facts.Top = static_cast<std::uint16_t>(frame.Top);
    facts.Width = static_cast<std::uint16_t>(frame.Width);
    facts.Height = static_cast<std::uint16_t>(frame.Height);
    facts.Disposal = frame.Disposal;
    facts.TransparentIndex = frame.TransparentIndex;
    facts.PaletteBits = static_cast<std::uint8_t>(frame.PaletteBits);
    facts.LocalBits = static_cast<std::uint8_t>(frame.LocalBits);
    facts.Transparent = frame.Transparent;
    facts.Interlaced = frame.Interlaced;
    facts.HasLocalColors = frame.HasLocalColors;
    return facts;
}

ParseResult IndexGIF(std::span<const std::uint8_t> file, FrameIndex &index, const ParseOptions &options)
{
    index = FrameIndex();
    ParseOptions factsOnly = options;
    factsOnly.DecodePixels = false;
    factsOnly.OnFrame = [&index](GifFrame &frame, int number) {
        index.Frames.push_back(FactsOf(frame));
        if (!frame.Comment.empty())
            index.Comments.emplace(static_cast<std::size_t>(number - 1), std::move(frame.Comment));
        return true;
    };
    ParseResult result = ParseResult::OutOfMemory;
    try {
        result = ReadGIF(file, index.Image, factsOnly);
    } catch (const std::bad_alloc &) {
        result = ParseResult::OutOfMemory;
    }
    if (result != ParseResult::Read)
        index = FrameIndex();
    return result;
}

bool DecodeIndexedFrame(std::span<const std::uint8_t> file, const FrameIndex &index, std::size_t number,
                        GifFrame &frame, LzwTables *tables)
{
    frame = GifFrame();
    if (number >= index.Frames.size())
        return false;
    const FrameFacts &facts = index.Frames[number];
    // The graphic control block as the reader took it: the same disposal, delay and transparency.
    const int hundredths = facts.Delay / 10;
    const ControlBytes control{4, static_cast<std::uint8_t>(facts.Disposal << 2 | (facts.Transparent ? 1 : 0)),
                               static_cast<std::uint8_t>(hundredths & 0xFF), static_cast<std::uint8_t>(hundredths >> 8),
                               facts.TransparentIndex, 0};
    const ImageContext context{index.Image.GlobalTable, facts.HasLocalColors ? 0 : facts.PaletteBits, control,
                               std::numeric_limits<std::uint64_t>::max(), true, {}, nullptr, tables};
    std::size_t pos = facts.Offset;
    if (ReadImage(file, pos, context, frame) != ImageRead::Read || frame.Width != facts.Width ||
        frame.Height != facts.Height) {
        frame = GifFrame();
        return false;
    }
    if (const auto comment = index.Comments.find(number); comment != index.Comments.end())
        frame.Comment = comment->second;
    return true;
}

} // namespace kaptiv::gif
