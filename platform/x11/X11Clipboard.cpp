#include "platform/x11/X11Clipboard.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>
#include <poll.h>
#include <X11/Xlib.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <algorithm>
#include <sys/eventfd.h>
#include <unistd.h>

namespace kaptiv {

namespace {

struct FreeDeleter {
    void operator()(void *p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    const Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, std::uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The next event from the display, or null once `deadline` has passed or the link broke.
Reply<xcb_generic_event_t> nextEvent(xcb_connection_t *connection, ClipboardClock::time_point deadline)
{
    for (;;) {
        if (xcb_generic_event_t *event = xcb_poll_for_event(connection))
            return Reply<xcb_generic_event_t>(event);
        if (xcb_connection_has_error(connection))
            return nullptr;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - ClipboardClock::now());
        if (left.count() <= 0)
            return nullptr;
        pollfd readable{xcb_get_file_descriptor(connection), POLLIN, 0};
        ::poll(&readable, 1, int(std::min<std::int64_t>(left.count(), 1000)));
    }
}

// An unmapped window of our own that the clipboard's owner sends its data to; its property
// changes pace a transfer in pieces.
xcb_window_t createReceiver(xcb_connection_t *connection)
{
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_window_t window = xcb_generate_id(connection);
    const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
    return window;
}

int eventType(const xcb_generic_event_t &event) { return event.response_type & 0x7F; }

// Takes the data an owner put in `property` of `window` (deleting it, which for a transfer in
// pieces asks for the next one); nothing when it holds more than `maxBytes`.
std::optional<QByteArray> takeProperty(xcb_connection_t *connection, xcb_window_t window, xcb_atom_t property,
                                       std::uint64_t maxBytes, xcb_atom_t *type)
{
    QByteArray bytes;
    // Asked for in parts of at most 4 MiB, so one answer never has to be one huge block.
    constexpr std::uint32_t Words = 1u << 20;
    for (std::uint32_t offset = 0;;) {
        const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, offset, Words),
            nullptr));
        if (!reply)
            return std::nullopt;
        *type = reply->type;
        const auto length = std::uint64_t(xcb_get_property_value_length(reply.get()));
        if (std::uint64_t(bytes.size()) + length > maxBytes)
            return std::nullopt;
        bytes.append(static_cast<const char *>(xcb_get_property_value(reply.get())), qsizetype(length));
        if (reply->bytes_after == 0)
            break;
        offset += std::uint32_t(length / 4);
    }
    xcb_delete_property(connection, window, property);
    xcb_flush(connection);
    return bytes;
}

// The names of the types an owner listed in `property` (an ATOM list, or one typed TARGETS as
// some owners write it).
std::optional<QByteArrayList> takeTargets(xcb_connection_t *connection, xcb_window_t window, xcb_atom_t property,
                                          xcb_atom_t targets)
{
    xcb_atom_t type = XCB_ATOM_NONE;
    const std::optional<QByteArray> bytes = takeProperty(connection, window, property, 1u << 20, &type);
    if (!bytes || (type != XCB_ATOM_ATOM && type != targets))
        return std::nullopt;
    // Every name asked for at once, then the answers collected: one round trip in all.
    const auto *atoms = reinterpret_cast<const xcb_atom_t *>(bytes->constData());
    const qsizetype count = bytes->size() / qsizetype(sizeof(xcb_atom_t));
    std::vector<xcb_get_atom_name_cookie_t> cookies;
    for (qsizetype i = 0; i < count; ++i)
        cookies.push_back(xcb_get_atom_name(connection, atoms[i]));
    QByteArrayList names;
    for (const xcb_get_atom_name_cookie_t cookie : cookies) {
        const Reply<xcb_get_atom_name_reply_t> reply(xcb_get_atom_name_reply(connection, cookie, nullptr));
        if (reply)
            names << QByteArray(xcb_get_atom_name_name(reply.get()), xcb_get_atom_name_name_length(reply.get()));
    }
    return names;
}

} // namespace

bool runsOnX11Display()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 && x11->connection();
}

QByteArray x11DisplayName()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (Display *display = x11 ? x11->display() : nullptr)
        return DisplayString(display);
    return qgetenv("DISPLAY");
}

X11ClipboardReader::X11ClipboardReader(const QByteArray &display, ClipboardClock::time_point deadline)
    : deadline_(deadline)
{
    connection_ = xcb_connect(display.isEmpty() ? nullptr : display.constData(), nullptr);
    if (xcb_connection_has_error(connection_))
        return;
    window_ = createReceiver(connection_);
    clipboard_ = internAtom(connection_, "CLIPBOARD");
    property_ = internAtom(connection_, "KAPTIV_CLIPBOARD");
    targets_ = internAtom(connection_, "TARGETS");
    incr_ = internAtom(connection_, "INCR");
}

X11ClipboardReader::~X11ClipboardReader()
{
    if (window_ && !xcb_connection_has_error(connection_))
        xcb_destroy_window(connection_, window_);
    xcb_disconnect(connection_); // also for a failed connection, which xcb_connect still allocated
}

bool X11ClipboardReader::convert(std::uint32_t target)
{
    // Past the deadline nothing more is asked: the owner would only be kept busy.
    if (xcb_connection_has_error(connection_) || target == XCB_ATOM_NONE || ClipboardClock::now() >= deadline_)
        return false;
    xcb_delete_property(connection_, window_, property_);
    xcb_convert_selection(connection_, window_, clipboard_, target, property_, XCB_CURRENT_TIME);
    xcb_flush(connection_);
    while (const Reply<xcb_generic_event_t> event = nextEvent(connection_, deadline_)) {
        if (eventType(*event) != XCB_SELECTION_NOTIFY)
            continue;
        const auto &notify = reinterpret_cast<const xcb_selection_notify_event_t &>(*event);
        if (notify.requestor == window_ && notify.selection == clipboard_ && notify.target == target)
            return notify.property != XCB_ATOM_NONE;
    }
    return false;
}

std::optional<QByteArrayList> X11ClipboardReader::targets()
{
    if (!convert(targets_))
        return std::nullopt;
    return takeTargets(connection_, window_, property_, targets_);
}

std::optional<QByteArray> X11ClipboardReader::read(const QByteArray &target, std::uint64_t maxBytes)
{
    if (xcb_connection_has_error(connection_) || !convert(internAtom(connection_, target.constData())))
        return std::nullopt;
    xcb_atom_t type = XCB_ATOM_NONE;
    std::optional<QByteArray> first = takeProperty(connection_, window_, property_, maxBytes, &type);
    if (!first || type != incr_)
        return first;
    // In pieces: each piece arrives as a new value of the property, which we delete to ask for
    // the next; an empty piece ends the transfer.
    ++incremental_;
    QByteArray bytes;
    while (const Reply<xcb_generic_event_t> event = nextEvent(connection_, deadline_)) {
        if (eventType(*event) != XCB_PROPERTY_NOTIFY)
            continue;
        const auto &change = reinterpret_cast<const xcb_property_notify_event_t &>(*event);
        if (change.window != window_ || change.atom != property_ || change.state != XCB_PROPERTY_NEW_VALUE)
            continue;
        const std::optional<QByteArray> piece =
            takeProperty(connection_, window_, property_, maxBytes - std::uint64_t(bytes.size()), &type);
        if (!piece)
            return std::nullopt;
        if (type == XCB_ATOM_NONE)
            continue; // news of a value already taken: the property is gone until the next piece
        if (piece->isEmpty())
            return bytes;
        bytes += *piece;
    }
    return std::nullopt; // the deadline passed before the last piece
}

X11ClipboardWatch::X11ClipboardWatch(const QByteArray &display, std::chrono::milliseconds patience)
    : patience_(patience)
{
    connection_ = xcb_connect(display.isEmpty() ? nullptr : display.constData(), nullptr);
    stop_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (xcb_connection_has_error(connection_) || stop_ < 0)
        return;
    const Reply<xcb_xfixes_query_version_reply_t> version(
        xcb_xfixes_query_version_reply(connection_, xcb_xfixes_query_version(connection_, 1, 0), nullptr));
    const xcb_query_extension_reply_t *xfixes = xcb_get_extension_data(connection_, &xcb_xfixes_id);
    if (!version || !xfixes || !xfixes->present)
        return;
    xfixesEvent_ = xfixes->first_event;
    window_ = createReceiver(connection_);
    clipboard_ = internAtom(connection_, "CLIPBOARD");
    for (unsigned i = 0; i < std::size(properties_); ++i)
        properties_[i] = internAtom(connection_, (QByteArray("KAPTIV_CLIPBOARD_TYPES") + QByteArray::number(i)).constData());
    targetsAtom_ = internAtom(connection_, "TARGETS");
    xcb_xfixes_select_selection_input(connection_, window_, clipboard_,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER
                                          | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY
                                          | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    const Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(connection_, xcb_get_selection_owner(connection_, clipboard_), nullptr));
    if (!owner)
        return;
    watching_ = true;
    ask(owner->owner);
    thread_ = std::thread([this] { run(); });
}

X11ClipboardWatch::~X11ClipboardWatch()
{
    if (thread_.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(stop_, &one, sizeof one);
        thread_.join();
    }
    if (stop_ >= 0)
        ::close(stop_);
    if (window_ && !xcb_connection_has_error(connection_))
        xcb_destroy_window(connection_, window_);
    xcb_disconnect(connection_);
}

void X11ClipboardWatch::ask(std::uint32_t owner)
{
    {
        const std::lock_guard lock(mutex_);
        owner_ = owner;
        pending_ = owner != XCB_WINDOW_NONE;
        targets_.reset();
    }
    answered_.notify_all();
    askDeadline_.reset();
    if (owner == XCB_WINDOW_NONE)
        return;
    const xcb_atom_t property = properties_[++asking_ % std::size(properties_)];
    xcb_delete_property(connection_, window_, property);
    xcb_convert_selection(connection_, window_, clipboard_, targetsAtom_, property, XCB_CURRENT_TIME);
    xcb_flush(connection_);
    askDeadline_ = ClipboardClock::now() + patience_;
}

void X11ClipboardWatch::answer(std::optional<QByteArrayList> targets)
{
    askDeadline_.reset();
    {
        const std::lock_guard lock(mutex_);
        pending_ = false;
        targets_ = std::move(targets);
    }
    answered_.notify_all();
}

std::optional<QByteArrayList> X11ClipboardWatch::targets(std::uint32_t owner, ClipboardClock::time_point deadline)
{
    std::unique_lock lock(mutex_);
    answered_.wait_until(lock, deadline, [&] { return (owner_ == owner && !pending_) || !watching_; });
    if (owner_ != owner || pending_ || !watching_)
        return std::nullopt;
    return targets_;
}

void X11ClipboardWatch::run()
{
    const int display = xcb_get_file_descriptor(connection_);
    for (;;) {
        int timeout = -1;
        if (askDeadline_) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*askDeadline_ - ClipboardClock::now());
            timeout = int(std::clamp<std::int64_t>(left.count(), 0, 1000));
        }
        pollfd waits[] = {{display, POLLIN, 0}, {stop_, POLLIN, 0}};
        ::poll(waits, 2, timeout);
        if (waits[1].revents & POLLIN)
            return;
        while (const Reply<xcb_generic_event_t> event{xcb_poll_for_event(connection_)}) {
            const int type = eventType(*event);
            if (type == xfixesEvent_ + XCB_XFIXES_SELECTION_NOTIFY) {
                const auto &notice = reinterpret_cast<const xcb_xfixes_selection_notify_event_t &>(*event);
                if (notice.selection == clipboard_)
                    ask(notice.owner);
            } else if (type == XCB_SELECTION_NOTIFY && askDeadline_) {
                const auto &notify = reinterpret_cast<const xcb_selection_notify_event_t &>(*event);
                const xcb_atom_t property = properties_[asking_ % std::size(properties_)];
                if (notify.requestor != window_ || notify.target != targetsAtom_)
                    continue;
                if (notify.property == XCB_ATOM_NONE)
                    answer(std::nullopt); // refused
                else if (notify.property == property)
                    answer(takeTargets(connection_, window_, property, targetsAtom_));
            }
        }
        if (xcb_connection_has_error(connection_)) {
            // The display went away: from now on callers ask the owner themselves.
            {
                const std::lock_guard lock(mutex_);
                watching_ = false;
            }
            answer(std::nullopt);
            return;
        }
        if (askDeadline_ && ClipboardClock::now() >= *askDeadline_)
            answer(std::nullopt); // an owner that never answers offers nothing
    }
}

std::uint32_t clipboardOwnerWindow()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return XCB_WINDOW_NONE;
    const xcb_atom_t clipboard = internAtom(connection, "CLIPBOARD");
    const Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, clipboard), nullptr));
    return owner ? owner->owner : xcb_window_t(XCB_WINDOW_NONE);
}

} // namespace kaptiv
