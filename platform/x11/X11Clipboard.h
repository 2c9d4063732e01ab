#pragma once
// The desktop's clipboard as another program holds it, read on a display connection of our own.
// The toolkit's clipboard waits for each answer with nothing but display events running and with
// no time limit we can set; an owner that lists pictures and never sends one would freeze the
// program for as long as it pleased. Here every answer is awaited until one deadline at most, and
// the waiting happens off the user-interface thread (see whileResponsive).

#include <QByteArray>
#include <QByteArrayList>

#include <chrono>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>

typedef struct xcb_connection_t xcb_connection_t;

namespace kaptiv {

using ClipboardClock = std::chrono::steady_clock;

// Whether the program runs on an X display (the offscreen platform of the tests has none).
bool runsOnX11Display();
// The name of the display the program runs on, for a connection of our own to it.
QByteArray x11DisplayName();

class X11ClipboardReader {
public:
    // Connects to `display`; every later answer is awaited until `deadline` at most. A reader
    // whose connection failed answers nothing.
    X11ClipboardReader(const QByteArray &display, ClipboardClock::time_point deadline);
    ~X11ClipboardReader();
    X11ClipboardReader(const X11ClipboardReader &) = delete;
    X11ClipboardReader &operator=(const X11ClipboardReader &) = delete;

    // The types the owner of CLIPBOARD offers, in its order; nothing when there is no owner, it
    // refuses or does not answer in time.
    std::optional<QByteArrayList> targets();
    // The owner's data as `target`, also when it comes in pieces (INCR); nothing when it refuses,
    // does not finish in time, or sends more than `maxBytes`.
    std::optional<QByteArray> read(const QByteArray &target, std::uint64_t maxBytes);
    // How many transfers so far came in pieces.
    int incrementalTransfers() const { return incremental_; }

private:
    // Asks the owner to convert CLIPBOARD to `target`; true once it has put the data in place.
    bool convert(std::uint32_t target);

    ClipboardClock::time_point deadline_;
    xcb_connection_t *connection_ = nullptr;
    std::uint32_t window_ = 0;
    std::uint32_t clipboard_ = 0, property_ = 0, targets_ = 0, incr_ = 0;
    int incremental_ = 0;
};

// The types the clipboard's owner offers, known before anyone asks. A thread with a display
// connection of its own learns of every new owner from the display (XFixes selection notices) and
// asks it for its types at once, giving it a time limit; the Edit menu then finds the answer
// ready, also for an owner that never answers, instead of waiting on that owner each time.
class X11ClipboardWatch {
public:
    // Watches CLIPBOARD on `display`; an owner that has not answered within `patience` counts as
    // offering nothing.
    X11ClipboardWatch(const QByteArray &display, std::chrono::milliseconds patience);
    ~X11ClipboardWatch();
    X11ClipboardWatch(const X11ClipboardWatch &) = delete;
    X11ClipboardWatch &operator=(const X11ClipboardWatch &) = delete;

    // False when the display cannot be reached or tells no selection changes.
    bool watching() const { return watching_; }
    // The types offered by `owner` (the window that holds CLIPBOARD now, 0 for none); nothing when
    // there is no owner or it did not answer in time. Until the watch has heard from that owner
    // it waits for it, until `deadline` at most.
    std::optional<QByteArrayList> targets(std::uint32_t owner, ClipboardClock::time_point deadline);

private:
    void run();
    // Asks `owner` for its types (none to ask when 0); the answer comes as an event.
    void ask(std::uint32_t owner);
    void answer(std::optional<QByteArrayList> targets);

    std::chrono::milliseconds patience_;
    xcb_connection_t *connection_ = nullptr;
    int stop_ = -1; // an event counter that wakes the thread to end
    std::atomic<bool> watching_ = false;
    std::uint8_t xfixesEvent_ = 0;
    std::uint32_t window_ = 0, clipboard_ = 0, targetsAtom_ = 0;
    // Each question goes into the next of a few properties, so that a late answer of an earlier
    // owner is not taken for the present one's.
    std::uint32_t properties_[4] = {};
    unsigned asking_ = 0;
    std::optional<ClipboardClock::time_point> askDeadline_; // while an answer is awaited
    // Shared with the callers of targets().
    std::mutex mutex_;
    std::condition_variable answered_;
    std::uint32_t owner_ = 0; // the owner last asked
    bool pending_ = true; // its answer is still awaited
    std::optional<QByteArrayList> targets_;
    std::thread thread_;
};

// The window that holds CLIPBOARD now (0 for none), as the program's own display connection sees it.
std::uint32_t clipboardOwnerWindow();

} // namespace kaptiv
