#pragma once
// The encoder's side of a recording: full frames of the area in, GIF bytes out as they are known.
// A frame is handed to the streaming writer once the next different frame (or the end) fixes its
// delay, so the encoder holds one frame's indices and the last picture shown, and the writer's
// optimiser its own screen and one frame, whatever the recording's length.

#include "gif/core/ColorMapper.h"
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
    void writePending(std::int64_t endIndex);
    void take(std::vector<std::uint8_t> &out);

    int width_, height_, fps_;
    ColorMode colors_;
    bool dither_;
    std::vector<std::uint8_t> bytes_;    // what the writer made, handed out after each call
    std::unique_ptr<gif::GifStreamWriter> writer_;
    std::vector<std::uint32_t> shown_;   // the picture as a viewer shows it after the last frame
    // The last frame, waiting for its delay: the rectangle that changed, in indices of its table.
    Rect pendingRect_;
    std::vector<std::uint8_t> pending_;
    gif::ColorTable pendingColors_{};
    int pendingCount_ = 0;
    std::int64_t pendingIndex_ = -1;     // its due time; -1 before the first frame
    std::vector<std::uint8_t> indices_;  // of the frame being mapped
    gif::PaletteBuilder palette_;
    int framesWritten_ = 0;
    int reducedFrames_ = 0;
    std::int64_t durationCs_ = 0;
    std::string message_;
};

} // namespace kaptiv::record
