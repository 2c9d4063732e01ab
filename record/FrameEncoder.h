#pragma once
// The encoder's side of a recording: full frames of the area in, GIF bytes out as they are known.
// A frame is handed to the streaming writer once the next different frame (or the end) fixes its
// delay, so the encoder holds one frame's indices and the last picture grabbed, whatever the
// recording's length.
//
// Each frame is stored as the rectangle that changed since the picture before, and inside it the
// pixels that did not change draw nothing (a transparent index), so a still pixel keeps what it
// shows whatever table the frame's changed pixels get. A still pixel of the colour drawn just
// before it repeats that index instead, which never makes more runs along the rows (what the
// compressor turns into codes): one pass maps the colours and chooses, and one compression
// follows, rather than compressing the frame several ways to keep the smallest.

#include "gif/core/ColorMapper.h"
#include "gif/core/ColorReducer.h"
#include "gif/core/GifWriter.h"

#include <memory>

#include <cstdint>
#include <string>
#include <vector>

namespace kaptiv::record {

enum class ColorMode {
    AsIs,     // a frame of more than 256 colours ends the recording
    Adaptive, // such a frame goes through the colour reducer
};

// Hundredths of a second from the start to the due time of frame `index` at `fps` frames a second,
// rounded down. Delays are differences of these, so the rounding is carried: 30 fps plays
// 3, 3, 4, 3, 3, 4 ... and the file keeps time over any length.
constexpr std::int64_t dueHundredths(std::int64_t index, int fps) { return index * 100 / fps; }

// The longest delay a graphic control block holds; a frame shown longer is continued by a one-pixel
// frame that changes nothing.
constexpr int MaxDelayCs = 65535;

class FrameEncoder {
public:
    FrameEncoder(int width, int height, int fps, ColorMode colors, bool dither);

    // How the frames are compressed from now on (the frame waiting for its delay is compressed
    // by the next add() or finish()). Smaller unless told: a recording's large frames are about a
    // tenth smaller for about twice the compression time, which a live recording can afford
    // while it keeps up.
    void setCoding(gif::LzwCoding coding)
    {
        coding_ = coding;
        writer_->SetCoding(coding);
    }

    // The header, the screen descriptor and the looping block.
    void begin(std::vector<std::uint8_t> &out);

    enum class Added {
        NewFrame,  // a frame begins; the bytes of the one before it were appended
        Unchanged, // the picture equals the one shown, whose delay now runs on
        Refused,   // its colours cannot be written (message() says why); nothing changed
    };
    // A frame taken at due time `index` (larger than any before it): width x height words
    // 0xXXRRGGBB, rows `width` words apart.
    Added add(const std::uint32_t *pixels, std::int64_t index, std::vector<std::uint8_t> &out);

    // Appends the last frame, shown until due time `endIndex`, and the file's end. Without any
    // frame, nothing is appended (there is no file to finish).
    void finish(std::int64_t endIndex, std::vector<std::uint8_t> &out);

    bool hasFrames() const { return pendingIndex_ >= 0; }
    // Images the file holds once finished, the one waiting for its delay included (not the
    // one-pixel frames that only carry a long delay on).
    int framesWritten() const { return framesWritten_; }
    std::int64_t durationCs() const { return durationCs_; }
    const std::string &message() const { return message_; }
    // Frames whose colours went through the reducer (ColorMode::Adaptive).
    int reducedFrames() const { return reducedFrames_; }

private:
    struct Rect {
        int left = 0, top = 0, width = 0, height = 0;
    };
    Rect changedRect(const std::uint32_t *pixels) const;
    // Indices of the rectangle into indices_, with colours_ and colorCount_ set: exactly (false
    // when the changed pixels have more than 256 colours) or through the reducer.
    bool mapExact(const std::uint32_t *pixels, const Rect &rect, bool first);
    void mapReduced(const std::uint32_t *pixels, const Rect &rect, bool first);
    void writePending(std::int64_t endIndex);
    void take(std::vector<std::uint8_t> &out);

    int width_, height_, fps_;
    ColorMode colors_;
    bool dither_;
    gif::LzwCoding coding_ = gif::LzwCoding::Smaller;
    std::vector<std::uint8_t> bytes_;    // what the writer made, handed out after each call
    std::unique_ptr<gif::GifStreamWriter> writer_;
    std::vector<std::uint32_t> shown_;   // the last picture given, as grabbed
    // The frame being mapped: indices of the rectangle, its table, and whether index 0 is the
    // transparent one (then the colours are entries 1 and up).
    std::vector<std::uint8_t> indices_;
    gif::ColorTable colours_{};
    int colorCount_ = 0;
    bool transparent_ = false;
    // The last frame, waiting for its delay.
    Rect pendingRect_;
    std::vector<std::uint8_t> pending_;
    gif::ColorTable pendingColors_{};
    int pendingCount_ = 0;
    bool pendingTransparent_ = false;
    std::int64_t pendingIndex_ = -1;     // its due time; -1 before the first frame
    gif::PaletteBuilder palette_;
    std::unique_ptr<gif::ColorHistogram> histogram_; // made when a frame first needs reducing
    std::vector<std::uint32_t> changedPixels_;
    int framesWritten_ = 0;
    int reducedFrames_ = 0;
    std::int64_t durationCs_ = 0;
    std::string message_;
};

} // namespace kaptiv::record
