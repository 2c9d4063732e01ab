// grab --clipboard with a clipboard manager running: the process holding the picture asks the
// manager to keep it (SAVE_TARGETS), gives it the picture, and ends once the manager says it has
// kept it. The manager here is the test, on a display connection of its own.
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

struct FreeDeleter {
    void operator()(void *p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

class Manager {
public:
    Manager() : connection_(xcb_connect(nullptr, nullptr))
    {
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        window_ = xcb_generate_id(connection_);
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        managerSelection = atom("CLIPBOARD_MANAGER");
        saveTargets = atom("SAVE_TARGETS");
        clipboard = atom("CLIPBOARD");
        png = atom("image/png");
        kept = atom("KEPT");
        xcb_set_selection_owner(connection_, window_, managerSelection, XCB_CURRENT_TIME);
        Reply<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
            connection_, xcb_get_selection_owner(connection_, managerSelection), nullptr));
        owns = owner && owner->owner == window_;
    }
    ~Manager() { xcb_disconnect(connection_); }

    std::uint32_t atom(const char *name)
    {
        Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
            connection_, xcb_intern_atom(connection_, 0, std::uint16_t(std::strlen(name)), name), nullptr));
        return reply ? reply->atom : 0;
    }

    // The next event, or nothing once `deadline` has passed.
    Reply<xcb_generic_event_t> next(Clock::time_point deadline)
    {
        for (;;) {
            if (xcb_generic_event_t *event = xcb_poll_for_event(connection_))
                return Reply<xcb_generic_event_t>(event);
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0 || xcb_connection_has_error(connection_))
                return nullptr;
            xcb_flush(connection_);
            pollfd descriptor{xcb_get_file_descriptor(connection_), POLLIN, 0};
            ::poll(&descriptor, 1, int(left));
        }
    }

    // The clipboard's picture, as a program that pastes it asks for it.
    std::optional<QByteArray> paste(Clock::time_point deadline)
    {
        xcb_convert_selection(connection_, window_, clipboard, png, kept, XCB_CURRENT_TIME);
        xcb_flush(connection_);
        while (Reply<xcb_generic_event_t> event = next(deadline)) {
            if ((event->response_type & 0x7F) != XCB_SELECTION_NOTIFY)
                continue;
            if (reinterpret_cast<const xcb_selection_notify_event_t *>(event.get())->property == XCB_NONE)
                return std::nullopt;
            Reply<xcb_get_property_reply_t> property(xcb_get_property_reply(
                connection_, xcb_get_property(connection_, 1, window_, kept, XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 24),
                nullptr));
            if (!property || property->type != png)
                return std::nullopt;
            return QByteArray(static_cast<const char *>(xcb_get_property_value(property.get())),
                              xcb_get_property_value_length(property.get()));
        }
        return std::nullopt;
    }

    // Keeps the clipboard's picture the way a manager does when asked to, and answers that it kept
    // it (or, `answer` false, that it did not); the picture, or nothing when no request came.
    std::optional<QByteArray> keepWhenAsked(Clock::time_point deadline, bool answer = true)
    {
        Reply<xcb_generic_event_t> event = next(deadline);
        while (event && (event->response_type & 0x7F) != XCB_SELECTION_REQUEST)
            event = next(deadline);
        if (!event)
            return std::nullopt;
        const auto asked = *reinterpret_cast<const xcb_selection_request_event_t *>(event.get());
        if (asked.selection != managerSelection || asked.target != saveTargets)
            return std::nullopt;
        std::optional<QByteArray> picture = paste(deadline);
        xcb_selection_notify_event_t done{};
        done.response_type = XCB_SELECTION_NOTIFY;
        done.time = asked.time;
        done.requestor = asked.requestor;
        done.selection = asked.selection;
        done.target = asked.target;
        done.property = answer && picture ? asked.property : XCB_NONE;
        char sent[32] = {};
        std::memcpy(sent, &done, sizeof done);
        xcb_send_event(connection_, 0, asked.requestor, XCB_EVENT_MASK_NO_EVENT, sent);
        xcb_flush(connection_);
        return picture;
    }

    QSize screenSize() const
    {
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        return {screen->width_in_pixels, screen->height_in_pixels};
    }

    bool owns = false;
    std::uint32_t managerSelection = 0, saveTargets = 0, clipboard = 0, png = 0, kept = 0;

private:
    xcb_connection_t *connection_;
    std::uint32_t window_ = 0;
};

// The holder's process id, from the command's report.
pid_t grabToClipboard(const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess grab;
    grab.setProcessEnvironment(environment);
    grab.start(QStringLiteral(KAPTIV_EXECUTABLE), {"grab", "screen", "--clipboard"});
    if (!grab.waitForFinished(30000) || grab.exitCode() != 0)
        return 0;
    static const QRegularExpression holder(QStringLiteral("held by process (\\d+) "));
    return pid_t(holder.match(QString::fromLocal8Bit(grab.readAllStandardOutput())).captured(1).toInt());
}

// Whether the process ended before `deadline` (a zombie nobody reaps has ended).
bool ends(pid_t process, Clock::time_point deadline)
{
    const int pidfd = int(::syscall(SYS_pidfd_open, process, 0));
    if (pidfd < 0)
        return true; // already gone
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd descriptor{pidfd, POLLIN, 0};
    const bool ended = ::poll(&descriptor, 1, int(std::max<long long>(left, 0))) == 1;
    ::close(pidfd);
    return ended;
}

TEST(ClipboardManager, KeepsTheGrabAndTheHolderEnds)
{
    Manager manager;
    ASSERT_TRUE(manager.owns);
    const pid_t holder = grabToClipboard();
    ASSERT_GT(holder, 0);
    const std::optional<QByteArray> kept = manager.keepWhenAsked(Clock::now() + std::chrono::seconds(30));
    ASSERT_TRUE(kept.has_value()) << "the holder did not ask the manager to keep the picture";
    EXPECT_EQ(QImage::fromData(*kept, "PNG").size(), manager.screenSize());
    EXPECT_TRUE(ends(holder, Clock::now() + std::chrono::seconds(20))) << "the holder stayed after the manager kept it";
    ::kill(holder, SIGTERM);
}

TEST(ClipboardManager, AHolderWhoseCopyWasRefusedHoldsOnUntilItsTime)
{
    Manager manager;
    ASSERT_TRUE(manager.owns);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KAPTIV_CLIPBOARD_HOLD_MS"), QStringLiteral("4000"));
    const pid_t holder = grabToClipboard(environment);
    ASSERT_GT(holder, 0);
    const std::optional<QByteArray> offered = manager.keepWhenAsked(Clock::now() + std::chrono::seconds(30), false);
    ASSERT_TRUE(offered.has_value());
    // Still holding it after the refusal, then gone at its time.
    EXPECT_EQ(manager.paste(Clock::now() + std::chrono::seconds(30)), offered);
    EXPECT_TRUE(ends(holder, Clock::now() + std::chrono::seconds(20)));
    ::kill(holder, SIGTERM);
}

} // namespace
