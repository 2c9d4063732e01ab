#include "platform/X11Clipboard.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>
#include <poll.h>
#include <X11/Xlib.h>
#include <xcb/xcb.h>

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

int eventType(const xcb_generic_event_t &event) { return event.response_type & 0x7F; }

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
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    window_ = xcb_generate_id(connection_);
    // An unmapped window of our own receives the data; its property changes pace the pieces.
    const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
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
    if (xcb_connection_has_error(connection_) || target == XCB_ATOM_NONE)
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

std::optional<QByteArray> X11ClipboardReader::takeProperty(std::uint64_t maxBytes, std::uint32_t *type)
{
    QByteArray bytes;
    // Asked for in parts of at most 4 MiB, so one answer never has to be one huge block.
    constexpr std::uint32_t Words = 1u << 20;
    for (std::uint32_t offset = 0;;) {
        const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            connection_, xcb_get_property(connection_, 0, window_, property_, XCB_GET_PROPERTY_TYPE_ANY, offset, Words),
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
    xcb_delete_property(connection_, window_, property_); // for a transfer in pieces: "next one"
    xcb_flush(connection_);
    return bytes;
}

std::optional<QByteArrayList> X11ClipboardReader::targets()
{
    if (!convert(targets_))
        return std::nullopt;
    std::uint32_t type = 0;
    const std::optional<QByteArray> bytes = takeProperty(1u << 20, &type);
    if (!bytes || (type != XCB_ATOM_ATOM && type != targets_))
        return std::nullopt;
    // Every name asked for at once, then the answers collected: one round trip in all.
    const auto *atoms = reinterpret_cast<const xcb_atom_t *>(bytes->constData());
    const qsizetype count = bytes->size() / qsizetype(sizeof(xcb_atom_t));
    std::vector<xcb_get_atom_name_cookie_t> cookies;
    for (qsizetype i = 0; i < count; ++i)
        cookies.push_back(xcb_get_atom_name(connection_, atoms[i]));
    QByteArrayList names;
    for (const xcb_get_atom_name_cookie_t cookie : cookies) {
        const Reply<xcb_get_atom_name_reply_t> reply(xcb_get_atom_name_reply(connection_, cookie, nullptr));
        if (reply)
            names << QByteArray(xcb_get_atom_name_name(reply.get()), xcb_get_atom_name_name_length(reply.get()));
    }
    return names;
}

std::optional<QByteArray> X11ClipboardReader::read(const QByteArray &target, std::uint64_t maxBytes)
{
    if (xcb_connection_has_error(connection_) || !convert(internAtom(connection_, target.constData())))
        return std::nullopt;
    std::uint32_t type = 0;
    std::optional<QByteArray> first = takeProperty(maxBytes, &type);
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
        const std::optional<QByteArray> piece = takeProperty(maxBytes - std::uint64_t(bytes.size()), &type);
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

} // namespace kaptiv
