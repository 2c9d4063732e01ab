#include "record/Recorder.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <stdexcept>
#include <thread>
#include <vector>

namespace kaptiv::record {

namespace {

using Clock = std::chrono::steady_clock;

// Raised through the output when the recording ends before its first frame: the output then
// leaves no file, as for any failure.
struct NoFrames : std::runtime_error {
    NoFrames() : std::runtime_error("no frame was recorded") {}
};

} // namespace

struct Recorder::State {
    std::unique_ptr<AreaSource> source;
    RecordingOutput output;
    RecordingOptions options;
    int width = 0, height = 0;

    mutable std::mutex m;
    std::condition_variable cv;
    // Frame buffers: the queue's, plus the one being grabbed. A grab without a free buffer is a
    // dropped frame, so memory stays at these whatever the recording's length.
    std::vector<std::vector<std::uint32_t>> buffers;
    std::vector<int> freeBuffers;
    std::deque<std::pair<int, std::int64_t>> queue; // buffer, due index
    bool stopRequested = false;
    bool pauseRequested = false;
    bool firstTaken = false;    // the first due time has been handled
    bool grabEnded = false;     // no more frames will come; endIndex is set
    bool encoderEnded = false;  // the encoder takes no more frames (finished or failed)
    bool done = false;          // both threads are through
    std::int64_t endIndex = 0;

    Clock::time_point start;
    Clock::time_point pauseStart;
    bool pausedNow = false;

    RecordingStats stats;
    std::string message;
    bool succeeded = false;

    std::thread grabber, encoder;
    std::mutex joinMutex;

    std::chrono::nanoseconds dueOffset(std::int64_t index) const
    {
        return std::chrono::nanoseconds(index * 1000000000LL / options.fps);
    }
    // Where the grab loop stands: the next due index, the last index queued, and whether a change
    // was seen but not grabbed (its frame was dropped).
    struct GrabPosition {
        std::int64_t next = 0;
        std::int64_t lastPushed = -1;
        bool dirty = false;
    };
    bool lengthReached(std::int64_t index) const;
    // Grabs into a free buffer and queues it; false when none was free (the frame is dropped).
    bool grabInto(std::unique_lock<std::mutex> &lock, std::int64_t index, GrabPosition &at);
    void sitOutPause(std::unique_lock<std::mutex> &lock);
    // One due time: grabs the frame if the area changed; false when the length was reached.
    bool grabDueFrame(std::unique_lock<std::mutex> &lock, GrabPosition &at);
    void grabLastChange(std::unique_lock<std::mutex> &lock, GrabPosition &at);
    void grabLoop();
    void encodeLoop();
};

bool Recorder::State::lengthReached(std::int64_t index) const
{
    return options.maxDurationMs > 0 && dueOffset(index) >= std::chrono::milliseconds(options.maxDurationMs);
}

bool Recorder::State::grabInto(std::unique_lock<std::mutex> &lock, std::int64_t index, GrabPosition &at)
{
    if (freeBuffers.empty())
        return false;
    const int buffer = freeBuffers.back();
    freeBuffers.pop_back();
    lock.unlock();
    const bool read = source->grab(buffers[buffer].data());
    lock.lock();
    if (!read) {
        freeBuffers.push_back(buffer);
        if (message.empty())
            message = "the screen could not be read";
        stopRequested = true;
        return true;
    }
    queue.emplace_back(buffer, index);
    at.lastPushed = index;
    ++stats.framesGrabbed;
    cv.notify_all();
    return true;
}

void Recorder::State::sitOutPause(std::unique_lock<std::mutex> &lock)
{
    pausedNow = true;
    pauseStart = Clock::now();
    cv.wait(lock, [&] { return !pauseRequested || stopRequested || encoderEnded; });
    // The time paused is not part of the recording: its clock starts that much later.
    start += Clock::now() - pauseStart;
    pausedNow = false;
}

bool Recorder::State::grabDueFrame(std::unique_lock<std::mutex> &lock, GrabPosition &at)
{
    lock.unlock();
    const bool changed = source->changed() || at.dirty;
    lock.lock();
    // A grab that came late skips the due times it missed; those frames are dropped when
    // there was something to show, and the frame grabbed now stands for them.
    const std::int64_t reached = (Clock::now() - start) / dueOffset(1);
    if (reached > at.next) {
        if (changed)
            stats.framesDropped += int(reached - at.next);
        at.next = reached;
        if (lengthReached(at.next))
            return false;
    }
    if (changed) {
        at.dirty = !grabInto(lock, at.next, at);
        if (at.dirty)
            ++stats.framesDropped;
    }
    ++at.next;
    return true;
}

void Recorder::State::grabLastChange(std::unique_lock<std::mutex> &lock, GrabPosition &at)
{
    // The picture at the end is the last frame, so a change not yet grabbed is grabbed now,
    // waiting for the encoder if it must. At the end of the maximum length only a dropped frame
    // is: what changed after the last due time is past the end.
    if (encoderEnded)
        return;
    bool changed = at.dirty;
    if (!lengthReached(at.next)) {
        lock.unlock();
        changed = source->changed() || changed;
        lock.lock();
    }
    if (!changed)
        return;
    cv.wait(lock, [&] { return !freeBuffers.empty() || encoderEnded; });
    if (encoderEnded)
        return;
    const std::int64_t index = std::max(at.lastPushed + 1, at.next - 1);
    grabInto(lock, index, at);
    at.next = std::max(at.next, index + 1);
}

void Recorder::State::grabLoop()
{
    GrabPosition at;
    std::unique_lock lock(m);
    start = Clock::now();
    while (!lengthReached(at.next)) {
        cv.wait_until(lock, start + dueOffset(at.next), [&] { return stopRequested || encoderEnded || pauseRequested; });
        if (stopRequested || encoderEnded)
            break;
        if (pauseRequested) {
            sitOutPause(lock);
            continue;
        }
        if (!grabDueFrame(lock, at))
            break;
        if (!firstTaken) {
            firstTaken = true;
            // The first grab also sets the shared memory up and touches every page of its
            // buffer, so it can take several frames' time: the clock starts once that frame is
            // in hand, or the next due times would be missed at once and dropped.
            start = Clock::now();
            cv.notify_all();
        }
    }
    grabLastChange(lock, at);
    endIndex = at.next;
    grabEnded = true;
    cv.notify_all();
}

void Recorder::State::encodeLoop()
{
    FrameEncoder encoder(width, height, options.fps, options.colors, options.dither);
    std::vector<std::uint8_t> piece;
    bool finished = false;

    const NextPiece next = [&]() -> std::span<const std::uint8_t> {
        piece.clear();
        while (!finished) {
            std::unique_lock lock(m);
            cv.wait(lock, [&] { return !queue.empty() || grabEnded; });
            if (queue.empty()) {
                if (!encoder.hasFrames())
                    throw NoFrames();
                encoder.finish(endIndex, piece);
                finished = true;
            } else {
                const auto [buffer, index] = queue.front();
                queue.pop_front();
                // With a frame already waiting behind this one, the encoder hurries: the plain
                // compression keeps frames from being dropped, the smaller one is for when it
                // keeps up.
                encoder.setCoding(queue.empty() ? gif::LzwCoding::Smaller : gif::LzwCoding::Fast);
                lock.unlock();
                if (!encoder.hasFrames())
                    encoder.begin(piece);
                const FrameEncoder::Added added = encoder.add(buffers[buffer].data(), index, piece);
                lock.lock();
                freeBuffers.push_back(buffer);
                if (added == FrameEncoder::Added::Refused) {
                    // The frames before it stay a complete file; the last one lasts until it.
                    if (message.empty())
                        message = encoder.message();
                    encoderEnded = true;
                    if (!encoder.hasFrames()) {
                        cv.notify_all();
                        throw NoFrames();
                    }
                    encoder.finish(index, piece);
                    finished = true;
                }
                cv.notify_all();
            }
            stats.framesWritten = encoder.framesWritten();
            stats.durationCs = encoder.durationCs();
            stats.bytes += piece.size();
            if (!piece.empty())
                return piece;
        }
        return {};
    };

    bool complete = false;
    try {
        output(next);
        complete = finished;
    } catch (const NoFrames &e) {
        std::lock_guard lock(m);
        if (message.empty())
            message = e.what();
    } catch (const std::exception &e) {
        std::lock_guard lock(m);
        message = e.what(); // a failed write says more than what ended the recording
    } catch (...) {
        std::lock_guard lock(m);
        message = "the recording could not be written";
    }
    std::lock_guard lock(m);
    succeeded = complete;
    encoderEnded = true;
    cv.notify_all();
}

Recorder::Recorder(std::unique_ptr<AreaSource> source, RecordingOutput output, RecordingOptions options)
    : d(std::make_shared<State>())
{
    d->source = std::move(source);
    d->output = std::move(output);
    d->options = options;
    d->options.fps = std::clamp(options.fps, 1, 50);
    d->width = d->source->width();
    d->height = d->source->height();
    const int count = std::max(options.queueFrames, 1) + 1;
    d->buffers.resize(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        d->buffers[std::size_t(i)].resize(std::size_t(d->width) * std::size_t(d->height));
        d->freeBuffers.push_back(i);
    }
}

Recorder::~Recorder()
{
    stop();
    wait();
}

void Recorder::start()
{
    std::lock_guard lock(d->joinMutex);
    if (d->grabber.joinable() || d->done)
        return;
    d->encoder = std::thread([s = d.get()] { s->encodeLoop(); });
    d->grabber = std::thread([s = d.get()] { s->grabLoop(); });
    std::unique_lock wait(d->m);
    d->cv.wait(wait, [&] { return d->firstTaken || d->grabEnded; });
}

void Recorder::stop()
{
    std::lock_guard lock(d->m);
    d->stopRequested = true;
    d->cv.notify_all();
}

void Recorder::pause()
{
    std::lock_guard lock(d->m);
    d->pauseRequested = true;
    paused_ = true;
    d->cv.notify_all();
}

void Recorder::resume()
{
    std::lock_guard lock(d->m);
    d->pauseRequested = false;
    paused_ = false;
    d->cv.notify_all();
}

bool Recorder::wait()
{
    std::lock_guard join(d->joinMutex);
    if (d->grabber.joinable())
        d->grabber.join();
    if (d->encoder.joinable())
        d->encoder.join();
    std::lock_guard lock(d->m);
    d->done = true;
    finished_ = true;
    return d->succeeded;
}

bool Recorder::waitFor(std::chrono::milliseconds timeout)
{
    {
        std::unique_lock lock(d->m);
        if (!d->cv.wait_for(lock, timeout, [&] { return d->grabEnded && d->encoderEnded; }))
            return false;
    }
    wait();
    return true;
}

RecordingStats Recorder::stats() const
{
    std::lock_guard lock(d->m);
    RecordingStats s = d->stats;
    if (d->start != Clock::time_point{}) {
        const Clock::time_point now = d->pausedNow ? d->pauseStart : Clock::now();
        s.elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(now - d->start).count();
        if (d->grabEnded)
            s.elapsedMs = d->endIndex * 1000 / d->options.fps;
    }
    return s;
}

std::string Recorder::message() const
{
    std::lock_guard lock(d->m);
    return d->message;
}

bool Recorder::succeeded() const
{
    std::lock_guard lock(d->m);
    return d->succeeded;
}

} // namespace kaptiv::record
