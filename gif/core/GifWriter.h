#pragma once

#include "gif/core/ColorMapper.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kaptiv::gif {

// The settings of one frame as the writer reads them.
struct GifFrameInput {
    BgrxPixels Pixels;              // its width and height are the frame's size
    int Left = 0;                   // position on the screen; clamped to 0..65535
    int Top = 0;
    int Delay = 0;                  // milliseconds; written in hundredths, at most 65535
    bool Interlaced = false;
    bool Transparent = false;
    std::int32_t TransparentColor = -1;  // red in the low byte, then green, blue; -1 (none) is white
    int Disposal = 0;               // 0 none, 1 leave, 2 restore background, 3 restore previous
    std::string Comment;            // written before the frame when not empty
};

// What a caller hands to the writer.
struct GifSaveInfo {
    std::vector<GifFrameInput> Frames;  // in display order
    std::uint16_t Loop = 0;             // 0 repeats for ever
    bool GlobalColors = false;          // share one colour table; cleared when they do not fit one

    int Count() const { return static_cast<int>(Frames.size()); }
};

// The comment every file ends with.
inline constexpr std::string_view CreditText =
    "Created with Kaptiv v1.0\r\nScreen capture and GIF animation\r\nExact colours, no dithering\r\nQuillmar";

// Appends a whole GIF89a file to `stream`. False when there are no frames, a frame is larger
// than 65535 pixels either way or its pixels are missing, or a frame needs more than 256
// colours (its own, or of the first frame in a shared table); what was appended until then
// stays, so callers write it to a file only after success. A shared table that the colours of
// later frames overflow falls back to a local table per frame and clears info.GlobalColors.
bool WriteGIFStream(GifSaveInfo &info, std::vector<std::uint8_t> &stream);

// Fetches a frame's pixels and maps them (MapFramePixels); false for pixels that are not there.
bool ReadFramePixels(const GifFrameInput &frame, PaletteBuilder &palette, std::span<std::uint8_t> indices,
                     int &transparentIndex);

// A comment extension carrying the text in sub-blocks of up to 255 bytes; nothing when empty.
void WriteComment(std::string_view text, std::vector<std::uint8_t> &stream);

} // namespace kaptiv::gif
