#include "platform/desktop/WindowPlacement.h"

#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <QWindow>
#include <qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

namespace kaptiv {

namespace {

// The toolkit's own connection to the X server; none on another platform (offscreen tests).
xcb_connection_t *x11Connection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootOf(xcb_connection_t *connection)
{
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

template <typename Reply>
using Owned = std::unique_ptr<Reply, decltype(&std::free)>;

std::vector<long> cardinals(xcb_connection_t *connection, xcb_window_t window, const char *name, uint32_t most)
{
    const Owned<xcb_intern_atom_reply_t> atom(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, uint16_t(strlen(name)), name), nullptr), &std::free);
    if (!atom || atom->atom == XCB_ATOM_NONE)
        return {};
    const Owned<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(connection, xcb_get_property(connection, 0, window, atom->atom, XCB_ATOM_CARDINAL, 0, most),
                               nullptr),
        &std::free);
    if (!reply || reply->format != 32)
        return {};
    const auto *values = static_cast<const uint32_t *>(xcb_get_property_value(reply.get()));
    return std::vector<long>(values, values + xcb_get_property_value_length(reply.get()) / 4);
}

// The client area of a top-level window in screen pixels, as the server has it now.
std::optional<QRect> nativeClientRect(const QWidget &window)
{
    xcb_connection_t *connection = x11Connection();
    if (!connection || !window.internalWinId())
        return std::nullopt;
    const auto id = xcb_window_t(window.internalWinId());
    const Owned<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(connection, xcb_get_geometry(connection, id), nullptr),
                                                   &std::free);
    const Owned<xcb_translate_coordinates_reply_t> origin(
        xcb_translate_coordinates_reply(connection, xcb_translate_coordinates(connection, id, rootOf(connection), 0, 0), nullptr),
        &std::free);
    if (!geometry || !origin)
        return std::nullopt;
    return QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
}

// The screen's free area in screen pixels: the window manager's work area on this screen.
QRect freeArea(const QWidget &window)
{
    const QScreen *screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    const qreal ratio = window.devicePixelRatioF();
    const QRect whole(std::lround(screen->geometry().x() * ratio), std::lround(screen->geometry().y() * ratio),
                      std::lround(screen->geometry().width() * ratio), std::lround(screen->geometry().height() * ratio));
    if (xcb_connection_t *connection = x11Connection()) {
        // Read here rather than through the toolkit, whose device-independent figures are rounded.
        const std::vector<long> desktop = cardinals(connection, rootOf(connection), "_NET_CURRENT_DESKTOP", 1);
        const std::vector<long> areas = cardinals(connection, rootOf(connection), "_NET_WORKAREA", 4 * 64);
        const size_t at = 4 * size_t(desktop.empty() ? 0 : desktop[0]);
        if (areas.size() >= at + 4) {
            const QRect work = QRect(int(areas[at]), int(areas[at + 1]), int(areas[at + 2]), int(areas[at + 3])) & whole;
            if (!work.isEmpty())
                return work;
        }
        return whole;
    }
    const QRect available = screen->availableGeometry();
    return {available.topLeft() * ratio, available.size() * ratio};
}

int ceilDivide(int value, qreal ratio) { return int(std::ceil(value / ratio - 1e-9)); }
int floorDivide(int value, qreal ratio) { return int(std::floor(value / ratio + 1e-9)); }

void fitFrame(QWidget &window, FrameFit fit)
{
    const std::optional<QRect> client = nativeClientRect(window);
    const QRect area = freeArea(window);
    if (!client || area.isEmpty())
        return;
    const QMargins extents = frameExtents(window);
    const QRect frame = client->marginsAdded(extents);
    if (area.contains(frame))
        return;
    // Worked out in device-independent pixels, the frame rounded outwards and the area inwards, so
    // that whatever odd pixels the screen has the frame still lands inside.
    const qreal ratio = window.devicePixelRatioF();
    const QMargins border(ceilDivide(extents.left(), ratio), ceilDivide(extents.top(), ratio),
                          ceilDivide(extents.right(), ratio), ceilDivide(extents.bottom(), ratio));
    const int left = ceilDivide(area.left(), ratio), top = ceilDivide(area.top(), ratio);
    const QRect room(left, top, floorDivide(area.left() + area.width(), ratio) - left,
                     floorDivide(area.top() + area.height(), ratio) - top);
    QSize size = window.size();
    if (fit == FrameFit::MoveAndShrink) {
        const QSize most = room.size().shrunkBy(border);
        size = size.boundedTo(most).expandedTo(window.minimumSize().boundedTo(most)).expandedTo(QSize(1, 1));
    }
    const QSize outer = size.grownBy(border);
    auto place = [](int at, int length, int from, int roomLength) {
        return length >= roomLength ? from : std::clamp(at, from, from + roomLength - length);
    };
    const QPoint at(place(floorDivide(frame.left(), ratio), outer.width(), room.left(), room.width()),
                    place(floorDivide(frame.top(), ratio), outer.height(), room.top(), room.height()));
    if (size != window.size()) {
        if (window.minimumSize() == window.maximumSize())
            window.setFixedSize(size);
        else
            window.resize(size);
    }
    window.setGeometry(QRect(at + QPoint(border.left(), border.top()), size));
}

// Waits for each showing's first exposure: the window manager has then framed and placed it.
class FrameKeeper : public QObject {
public:
    FrameKeeper(QWidget &window, FrameFit fit) : QObject(&window), window_(window), fit_(fit)
    {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == &window_ && event->type() == QEvent::Show) {
            armed_ = true;
            if (QWindow *handle = window_.windowHandle(); handle && handle != handle_) {
                handle_ = handle;
                handle->installEventFilter(this);
            }
        } else if (armed_ && watched == handle_ && event->type() == QEvent::Expose && handle_->isExposed()) {
            armed_ = false;
            fitFrame(window_, fit_);
        }
        return false;
    }

private:
    QWidget &window_;
    const FrameFit fit_;
    QPointer<QWindow> handle_;
    bool armed_ = false;
};

} // namespace

void keepFrameInFreeArea(QWidget &window, FrameFit fit) { new FrameKeeper(window, fit); }

QMargins frameExtents(const QWidget &window)
{
    if (xcb_connection_t *connection = x11Connection(); connection && window.internalWinId()) {
        // left, right, top, bottom
        const std::vector<long> e = cardinals(connection, xcb_window_t(window.internalWinId()), "_NET_FRAME_EXTENTS", 4);
        if (e.size() == 4)
            return {int(e[0]), int(e[2]), int(e[1]), int(e[3])};
    }
    const qreal ratio = window.devicePixelRatioF();
    const QRect outer = window.frameGeometry(), inner = window.geometry();
    return QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                    outer.bottom() - inner.bottom())
        * ratio;
}

QPoint screenPixelOrigin(const QWidget &widget)
{
    const QWidget &top = *widget.window();
    const qreal ratio = widget.devicePixelRatioF();
    const QPointF inside = QPointF(widget.mapTo(&top, QPoint(0, 0))) * ratio;
    if (const std::optional<QRect> client = nativeClientRect(top))
        return client->topLeft() + QPoint(qRound(inside.x()), qRound(inside.y()));
    const QPointF global = QPointF(widget.mapToGlobal(QPoint(0, 0))) * ratio;
    return {qRound(global.x()), qRound(global.y())};
}

int titleBarRoom(const QWidget &window)
{
    QFont title = window.font();
    title.setBold(true);
    const int bar = window.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window);
    return QFontMetrics(title).horizontalAdvance(window.windowTitle()) + 5 * bar;
}

} // namespace kaptiv
