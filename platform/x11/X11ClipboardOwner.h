#pragma once
// Holding one picture on the desktop's clipboard (the CLIPBOARD selection of an X display) for a
// program that is about to go: a display connection of its own answers every program that pastes,
// whatever the size (large pictures go in pieces, INCR), and asks a clipboard manager, where one
// runs, to keep a copy (SAVE_TARGETS), so that the picture outlives its owner. Plain C++ on xcb.

#include <chrono>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <utility>
#include <vector>

typedef struct xcb_connection_t xcb_connection_t;

namespace kaptiv {

class X11ClipboardOwner {
public:
    // How holding the clipboard came to an end.
    enum class Ended {
        TakenOver,   // another program owns the clipboard now
        Stored,      // a clipboard manager has kept a copy
        TimeUp,      // the time given passed
        DisplayGone, // the connection to the display broke
    };

    // Connects to `display` (the DISPLAY variable's when null) and takes the clipboard with `png`,
    // the bytes of a PNG file, as image/png. Raises std::runtime_error saying why it cannot.
    X11ClipboardOwner(const char *display, std::vector<std::uint8_t> png);
    ~X11ClipboardOwner();
    X11ClipboardOwner(const X11ClipboardOwner &) = delete;
    X11ClipboardOwner &operator=(const X11ClipboardOwner &) = delete;

    // Answers the programs that paste until the clipboard is taken over or stored, or `until`
    // passes; a transfer in pieces under way then gets a few seconds more to finish.
    Ended serve(std::chrono::steady_clock::time_point until);

private:
    // A picture going to a program in pieces: the next piece goes when it has taken the last.
    struct Transfer {
        std::size_t sent = 0;
        bool finished = false; // the closing empty piece is out
        std::chrono::steady_clock::time_point lastHeard;
    };

    // Each takes an event as xcb gives it.
    void handle(const void *event);
    void answerRequest(const void *event);
    // Puts the clipboard as `target` into `property` of `requestor`; false when it has no such form.
    bool convert(std::uint32_t requestor, std::uint32_t target, std::uint32_t property);
    bool convertMultiple(std::uint32_t requestor, std::uint32_t property);
    void sendNextPiece(std::uint32_t requestor, std::uint32_t property);
    void askClipboardManager();
    std::uint32_t atom(const char *name);
    // Waits for events until `until`; false when it passed or the connection broke.
    bool waitForEvent(std::chrono::steady_clock::time_point until);

    std::vector<std::uint8_t> png_;
    xcb_connection_t *connection_ = nullptr;
    std::uint32_t window_ = 0, root_ = 0;
    std::uint32_t acquired_ = 0; // the server time the clipboard became ours
    std::size_t pieceBytes_ = 0;
    std::uint32_t clipboard_ = 0, targets_ = 0, timestamp_ = 0, multiple_ = 0, atomPair_ = 0, incr_ = 0,
                  imagePng_ = 0, manager_ = 0, saveTargets_ = 0, saveProperty_ = 0;
    std::map<std::pair<std::uint32_t, std::uint32_t>, Transfer> transfers_; // by requestor and property
    bool takenOver_ = false, stored_ = false;
};

} // namespace kaptiv
