#pragma once
// Recording an area of the screen into an animated GIF, as a pipeline of its own: a grab thread
// takes frames at their due times on a monotonic clock, a bounded queue hands them on, and an
// encoder thread writes the file as it goes. Nothing here knows Qt or X11: the area comes through
// `AreaSource`, the bytes leave through `RecordingOutput`.

#include "record/FrameEncoder.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>

namespace kaptiv::record {

// Where the frames come from; used by the grab thread only, after start().
class AreaSource {
public:
    virtual ~AreaSource() = default;
    virtual int width() const = 0;
    virtual int height() const = 0;
    // True when the area may have changed since the last grab (the first call is always true).
    virtual bool changed() = 0;
    // The area's pixels as 0xXXRRGGBB words, `width()` to a row; false when they could not be read.
    virtual bool grab(std::uint32_t *pixels) = 0;
};

// Where the file's bytes go. It calls `next` until it gives an empty piece, putting each piece
// down as it comes; it raises (any exception) when they cannot be put down. The recording's
// encoder thread runs it, so a file writer that asks for its bytes piece by piece fits as it is.
using NextPiece = std::function<std::span<const std::uint8_t>()>;
using RecordingOutput = std::function<void(const NextPiece &next)>;

struct RecordingOptions {
    int fps = 15;                     // 1 to 50
    std::int64_t maxDurationMs = 0;   // 0: until stop()
    ColorMode colors = ColorMode::AsIs;
    bool dither = true;
    int queueFrames = 3;              // frames waiting between the threads; more are dropped
};

// How far a recording has come; any thread may ask.
struct RecordingStats {
    int framesWritten = 0;       // images in the file (identical frames only lengthen the one shown)
    int framesGrabbed = 0;
    int framesDropped = 0;       // due while the encoder was behind, or missed by a late grab
    std::int64_t durationCs = 0; // the sum of the written frames' delays
    std::uint64_t bytes = 0;     // bytes handed to the output
    std::int64_t elapsedMs = 0;  // recording time so far, pauses left out
};

class Recorder {
public:
    Recorder(std::unique_ptr<AreaSource> source, RecordingOutput output, RecordingOptions options);
    ~Recorder(); // stops and waits, as stop() and wait() do

    Recorder(const Recorder &) = delete;
    Recorder &operator=(const Recorder &) = delete;

    // Starts the threads and returns once the first frame has been taken (or the recording
    // failed), so what the area shows from then on is in the file.
    void start();
    // Ends the recording at the next due time; the file is finished properly. Safe from any
    // thread, and from a signal handler's thread through requestStop().
    void stop();
    void pause();
    void resume();
    bool paused() const { return paused_; }

    // Waits until the file is finished (by stop(), the maximum length, a failure or a frame the
    // colours refuse). True when a complete file was written.
    bool wait();
    // Waits at most `timeout`; true when the recording has ended.
    bool waitFor(std::chrono::milliseconds timeout);
    bool finished() const { return finished_; }

    RecordingStats stats() const;
    // Why the recording ended early or failed: empty when it ended as asked.
    std::string message() const;
    // True when the file is complete and holds at least one frame.
    bool succeeded() const;

    struct State;

private:
    std::shared_ptr<State> d;
    std::atomic<bool> paused_{false};
    std::atomic<bool> finished_{false};
};

} // namespace kaptiv::record
