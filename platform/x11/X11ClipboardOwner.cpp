#include "platform/x11/X11ClipboardOwner.h"

#include <xcb/xcb.h>

#include <poll.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

namespace kaptiv {

namespace {

using Clock = std::chrono::steady_clock;

// A program that takes a picture in pieces and then stops asking is given up on after this long.
constexpr auto TransferPatience = std::chrono::seconds(10);
// Transfers under way when the clipboard is taken over or stored are given this long to finish.
constexpr auto LastTransfers = std::chrono::seconds(5);
// The largest piece put down at once; a larger picture goes in pieces.
constexpr std::size_t LargestPiece = std::size_t(256) << 10;

struct FreeDeleter {
    void operator()(void *p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

} // namespace

X11ClipboardOwner::X11ClipboardOwner(const char *display, std::vector<std::uint8_t> png) : png_(std::move(png))
{
    const char *name = display ? display : std::getenv("DISPLAY");
    const std::string shown = name ? name : "";
    if (shown.empty())
        throw std::runtime_error("Cannot put the picture on the clipboard: DISPLAY is not set.");
    int screenNumber = 0;
    connection_ = xcb_connect(display, &screenNumber);
    if (xcb_connection_has_error(connection_)) {
        xcb_disconnect(connection_);
        connection_ = nullptr;
        throw std::runtime_error("Cannot put the picture on the clipboard: the display '" + shown + "' cannot be reached.");
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < screenNumber && screens.rem > 1; ++i)
        xcb_screen_next(&screens);
    root_ = screens.data->root;
    clipboard_ = atom("CLIPBOARD");
    targets_ = atom("TARGETS");
    timestamp_ = atom("TIMESTAMP");
    multiple_ = atom("MULTIPLE");
    atomPair_ = atom("ATOM_PAIR");
    incr_ = atom("INCR");
    imagePng_ = atom("image/png");
    manager_ = atom("CLIPBOARD_MANAGER");
    saveTargets_ = atom("SAVE_TARGETS");
    saveProperty_ = atom("KAPTIV_SAVE_TARGETS");
    const std::size_t largestRequest = std::size_t(xcb_get_maximum_request_length(connection_)) * 4;
    pieceBytes_ = std::min(LargestPiece, largestRequest > 4096 ? largestRequest - 1024 : std::size_t(1024));

    window_ = xcb_generate_id(connection_);
    const std::uint32_t values[] = {1, XCB_EVENT_MASK_PROPERTY_CHANGE};
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, root_, -10, -10, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK,
                      values);
    // The selection is taken at a real server time, which the programs that paste compare theirs
    // with: a change to a property of our own tells it.
    xcb_change_property(connection_, XCB_PROP_MODE_APPEND, window_, saveProperty_, XCB_ATOM_ATOM, 32, 0, nullptr);
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!acquired_) {
        Reply<xcb_generic_event_t> event(xcb_poll_for_event(connection_));
        if (!event) {
            if (!waitForEvent(deadline))
                throw std::runtime_error("Cannot put the picture on the clipboard: the display '" + shown + "' does not answer.");
            continue;
        }
        if ((event->response_type & 0x7F) == XCB_PROPERTY_NOTIFY) {
            const auto *notify = reinterpret_cast<const xcb_property_notify_event_t *>(event.get());
            if (notify->window == window_)
                acquired_ = notify->time ? notify->time : 1;
        }
    }
    xcb_set_selection_owner(connection_, window_, clipboard_, acquired_);
    Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(connection_, xcb_get_selection_owner(connection_, clipboard_), nullptr));
    if (!owner || owner->owner != window_)
        throw std::runtime_error("Cannot put the picture on the clipboard: another program would not let it go.");
    askClipboardManager();
    xcb_flush(connection_);
}

X11ClipboardOwner::~X11ClipboardOwner()
{
    if (connection_)
        xcb_disconnect(connection_); // the server gives the selection up with the window
}

std::uint32_t X11ClipboardOwner::atom(const char *name)
{
    Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(connection_, xcb_intern_atom(connection_, 0, std::uint16_t(std::strlen(name)), name), nullptr));
    if (!reply)
        throw std::runtime_error("Cannot put the picture on the clipboard: the display does not answer.");
    return reply->atom;
}

bool X11ClipboardOwner::waitForEvent(Clock::time_point until)
{
    xcb_flush(connection_);
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
    if (left <= 0 || xcb_connection_has_error(connection_))
        return false;
    pollfd descriptor{xcb_get_file_descriptor(connection_), POLLIN, 0};
    return ::poll(&descriptor, 1, int(std::min<long long>(left, 60000))) >= 0;
}

// A clipboard manager keeps a copy when asked for it: it reads the picture, takes the clipboard
// and then answers.
void X11ClipboardOwner::askClipboardManager()
{
    Reply<xcb_get_selection_owner_reply_t> manager(
        xcb_get_selection_owner_reply(connection_, xcb_get_selection_owner(connection_, manager_), nullptr));
    if (!manager || manager->owner == XCB_NONE)
        return;
    // The forms worth keeping.
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window_, saveProperty_, XCB_ATOM_ATOM, 32, 1, &imagePng_);
    xcb_convert_selection(connection_, window_, manager_, saveTargets_, saveProperty_, acquired_);
}

X11ClipboardOwner::Ended X11ClipboardOwner::serve(Clock::time_point until)
{
    std::optional<Clock::time_point> lastCall;
    for (;;) {
        while (Reply<xcb_generic_event_t> event{xcb_poll_for_event(connection_)})
            handle(event.get());
        if (xcb_connection_has_error(connection_))
            return Ended::DisplayGone;
        const Clock::time_point now = Clock::now();
        std::erase_if(transfers_, [now](const auto &entry) { return now - entry.second.lastHeard > TransferPatience; });
        const bool over = takenOver_ || stored_ || now >= until;
        if (over && !lastCall)
            lastCall = now + LastTransfers;
        if (over && (transfers_.empty() || now >= *lastCall))
            return takenOver_ ? Ended::TakenOver : stored_ ? Ended::Stored : Ended::TimeUp;
        Clock::time_point wake = over ? *lastCall : until;
        for (const auto &entry : transfers_)
            wake = std::min(wake, entry.second.lastHeard + TransferPatience);
        waitForEvent(std::max(wake, now + std::chrono::milliseconds(1)));
    }
}

void X11ClipboardOwner::handle(const void *received)
{
    const auto *event = static_cast<const xcb_generic_event_t *>(received);
    switch (event->response_type & 0x7F) {
    case XCB_SELECTION_REQUEST:
        answerRequest(event);
        break;
    case XCB_SELECTION_CLEAR:
        if (reinterpret_cast<const xcb_selection_clear_event_t *>(event)->selection == clipboard_)
            takenOver_ = true;
        break;
    case XCB_SELECTION_NOTIFY: {
        const auto *notify = reinterpret_cast<const xcb_selection_notify_event_t *>(event);
        // Without a property the manager kept nothing: the picture is still ours to hold.
        if (notify->selection == manager_ && notify->target == saveTargets_ && notify->property != XCB_NONE)
            stored_ = true;
        break;
    }
    case XCB_PROPERTY_NOTIFY: {
        const auto *notify = reinterpret_cast<const xcb_property_notify_event_t *>(event);
        if (notify->state == XCB_PROPERTY_DELETE)
            sendNextPiece(notify->window, notify->atom);
        break;
    }
    default: // errors, such as a window that went away during a transfer, end nothing
        break;
    }
    xcb_flush(connection_);
}

void X11ClipboardOwner::answerRequest(const void *event)
{
    const auto *request = static_cast<const xcb_selection_request_event_t *>(event);
    // Programs that ask without a property are old ones, answered in the property named after the form.
    const std::uint32_t property = request->property != XCB_NONE ? request->property : request->target;
    const bool current = !takenOver_ && (request->time == XCB_CURRENT_TIME || request->time >= acquired_);
    bool answered = false;
    if (request->selection == clipboard_ && current)
        answered = request->target == multiple_
            ? request->property != XCB_NONE && convertMultiple(request->requestor, request->property)
            : convert(request->requestor, request->target, property);
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request->time;
    notify.requestor = request->requestor;
    notify.selection = request->selection;
    notify.target = request->target;
    notify.property = answered ? property : XCB_NONE;
    char sent[32] = {}; // an event is sent as 32 bytes
    static_assert(sizeof notify <= sizeof sent);
    std::memcpy(sent, &notify, sizeof notify);
    xcb_send_event(connection_, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT, sent);
}

bool X11ClipboardOwner::convert(std::uint32_t requestor, std::uint32_t target, std::uint32_t property)
{
    if (target == targets_) {
        const std::uint32_t forms[] = {targets_, timestamp_, multiple_, imagePng_};
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_ATOM, 32, 4, forms);
        return true;
    }
    if (target == timestamp_) {
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_INTEGER, 32, 1, &acquired_);
        return true;
    }
    if (target != imagePng_)
        return false;
    if (png_.size() <= pieceBytes_) {
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, requestor, property, imagePng_, 8,
                            std::uint32_t(png_.size()), png_.data());
        return true;
    }
    if (png_.size() > 0xFFFFFFFFu)
        return false;
    // In pieces: the size first; each time the program has taken a piece (deleted the property),
    // the next one; an empty piece ends it.
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection_, requestor, XCB_CW_EVENT_MASK, &mask);
    const std::uint32_t size = std::uint32_t(png_.size());
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, requestor, property, incr_, 32, 1, &size);
    transfers_[{requestor, property}] = Transfer{0, false, Clock::now()};
    return true;
}

// Several forms asked at once: the property holds pairs of a form and the property it goes to;
// a form that cannot be given has its property replaced by None.
bool X11ClipboardOwner::convertMultiple(std::uint32_t requestor, std::uint32_t property)
{
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection_, xcb_get_property(connection_, 0, requestor, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 16),
        nullptr));
    if (!reply || reply->format != 32)
        return false;
    const int count = xcb_get_property_value_length(reply.get()) / 4;
    auto *pairs = static_cast<std::uint32_t *>(xcb_get_property_value(reply.get()));
    std::vector<std::uint32_t> answered(pairs, pairs + count - count % 2);
    for (std::size_t i = 0; i + 1 < answered.size(); i += 2)
        if (answered[i] == multiple_ || answered[i + 1] == XCB_NONE || !convert(requestor, answered[i], answered[i + 1]))
            answered[i + 1] = XCB_NONE;
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, requestor, property, atomPair_, 32,
                        std::uint32_t(answered.size()), answered.data());
    return true;
}

void X11ClipboardOwner::sendNextPiece(std::uint32_t requestor, std::uint32_t property)
{
    const auto found = transfers_.find({requestor, property});
    if (found == transfers_.end())
        return;
    Transfer &transfer = found->second;
    if (transfer.finished) { // the program took the closing empty piece
        transfers_.erase(found);
        return;
    }
    const std::size_t piece = std::min(pieceBytes_, png_.size() - transfer.sent);
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, requestor, property, imagePng_, 8, std::uint32_t(piece),
                        png_.data() + transfer.sent);
    transfer.sent += piece;
    transfer.finished = piece == 0;
    transfer.lastHeard = Clock::now();
}

} // namespace kaptiv
