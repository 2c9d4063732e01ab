#pragma once

#include "gif/core/ColorMapper.h"
#include "gif/core/LzwEncoder.h"

#include <cstdint>
#include <memory>
#include <span>
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
    bool Optimize = false;              // store each frame as its change (GifStreamStart::Optimize)

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

// A frame already in colour indices, as the streaming writer and the frame optimiser take it.
struct GifIndexedFrame {
    int Left = 0;                   // position on the screen; clamped to 0..65535
    int Top = 0;
    int Width = 0;                  // at most 65535 each way
    int Height = 0;
    std::span<const std::uint8_t> Indices;  // Width * Height, rows top first (never interlaced order)
    const ColorTable *LocalColors = nullptr; // the frame's own table, or none to use the shared one
    int LocalCount = 0;             // colours in LocalColors
    int TransparentIndex = NoTransparentIndex;
    int Disposal = 0;               // 0 none, 1 leave, 2 restore background, 3 restore previous
    int Delay = 0;                  // hundredths of a second, at most 65535
    bool Interlaced = false;        // stored in interlaced order
    std::string_view Comment;       // written before the frame when not empty
};

class FrameOptimizer;

// What a file begins with.
struct GifStreamStart {
    int Width = 0;                  // the logical screen; clamped to 0..65535
    int Height = 0;
    // The shared (global) table with every colour the frames will use; without it every frame
    // gets a table of its own. The writer keeps a copy.
    const PaletteBuilder *SharedColors = nullptr;
    bool Looping = false;           // write the looping block (what an animation has)
    std::uint16_t Loop = 0;         // 0 repeats for ever
    // Store each frame as the change from what is already shown (FrameOptimizer), instead of whole.
    bool Optimize = false;
    // How the frames' indices are compressed when not optimised (the optimiser keeps its own ways).
    LzwCoding Coding = LzwCoding::Fast;
};

// Writes a GIF89a file frame by frame, so only the frame in hand and the bytes made so far are
// held: Begin, AddFrame (or AddIndexedFrame) per frame, Finish. Bytes are appended to `out`; the
// caller may take them away (clear it) between calls. Without Optimize the bytes are those of
// WriteGIFStream for the same frames and tables.
class GifStreamWriter {
public:
    explicit GifStreamWriter(std::vector<std::uint8_t> &out);
    ~GifStreamWriter();
    GifStreamWriter(const GifStreamWriter &) = delete;
    GifStreamWriter &operator=(const GifStreamWriter &) = delete;

    void Begin(const GifStreamStart &start);

    // Maps the frame's pixels to the shared table (or to a table of its own) and writes it. False,
    // with nothing written, when the frame is larger than 65535 pixels either way, its pixels are
    // missing, or it has a colour the shared table lacks (or more than 256 of its own).
    bool AddFrame(const GifFrameInput &frame);

    // Writes a frame already in indices: false, with nothing written, when it is larger than
    // 65535 either way, its indices are fewer than its pixels, or it names no table (no local
    // table and no shared one).
    bool AddIndexedFrame(const GifIndexedFrame &frame);

    // How the frames from now on are compressed (GifStreamStart::Coding until then).
    void SetCoding(LzwCoding coding) { coding_ = coding; }

    // The credit comment and the trailer (after the optimiser's last frame). Nothing may follow.
    void Finish();

private:
    // The frame's comment, controls, descriptor and table, then `imageData` as it is.
    void PutEncoded(const GifIndexedFrame &frame, std::span<const std::uint8_t> imageData);

    std::vector<std::uint8_t> &out_;
    std::unique_ptr<PaletteBuilder> shared_;   // the global table, when there is one
    std::unique_ptr<PaletteBuilder> scratch_;  // the table of the frame in hand
    std::vector<std::uint8_t> indices_;
    std::vector<std::uint8_t> ordered_;
    std::unique_ptr<FrameOptimizer> optimizer_;
    int sharedCount_ = 0;
    LzwCoding coding_ = LzwCoding::Fast;
};

// Appends a frame's image data (compressed as `coding` says), its rows put in interlaced order
// when it is interlaced; `scratch` holds the reordered copy.
void CompressIndexedFrame(const GifIndexedFrame &frame, int colorCount, std::vector<std::uint8_t> &out,
                          std::vector<std::uint8_t> &scratch, LzwCoding coding = LzwCoding::Fast);

// Fetches a frame's pixels and maps them (MapFramePixels); false for pixels that are not there.
bool ReadFramePixels(const GifFrameInput &frame, PaletteBuilder &palette, std::span<std::uint8_t> indices,
                     int &transparentIndex);

// A comment extension carrying the text in sub-blocks of up to 255 bytes; nothing when empty.
void WriteComment(std::string_view text, std::vector<std::uint8_t> &stream);

} // namespace kaptiv::gif
