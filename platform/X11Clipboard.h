#pragma once
// The desktop's clipboard as another program holds it, read on a display connection of our own.
// The toolkit's clipboard waits for each answer with nothing but display events running and with
// no time limit we can set; an owner that lists pictures and never sends one would freeze the
// program for as long as it pleased. Here every answer is awaited until one deadline at most, and
// the waiting happens off the user-interface thread (see whileResponsive).

#include <QByteArray>
#include <QByteArrayList>

#include <chrono>
#include <cstdint>
#include <optional>

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
    // Takes the data the owner put in place (deleting it, which asks for the next piece).
    std::optional<QByteArray> takeProperty(std::uint64_t maxBytes, std::uint32_t *type);

    ClipboardClock::time_point deadline_;
    xcb_connection_t *connection_ = nullptr;
    std::uint32_t window_ = 0;
    std::uint32_t clipboard_ = 0, property_ = 0, targets_ = 0, incr_ = 0;
    int incremental_ = 0;
};

} // namespace kaptiv
