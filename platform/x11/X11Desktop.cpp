#include "platform/x11/X11Desktop.h"

#include "platform/pixels/PixelFormats.h"

#include "platform/pixels/Bitmap.h"
#include "platform/ui/Errors.h"
#include "platform/x11/X11Errors.h"
#include "platform/x11/X11ScreenReader.h"

#include <QGuiApplication>
#include <qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace kaptiv {

namespace {

// The server leaves the spare byte of a 24-bit pixel at 0, but a 32-bit RGB image must hold 0xFF
// there: drawn as it comes, the picture would blend away to black.
// Rows of a 32-bit image are whole words apart, so the image is one run of words; sixteen bytes
// at a time keeps this pass near the speed of a plain copy.
void makeOpaque(XImage *image)
{
    using Words = std::uint32_t __attribute__((vector_size(16)));
    const size_t words = size_t(image->bytes_per_line) / 4 * size_t(image->height);
    auto *data = reinterpret_cast<std::uint32_t *>(image->data);
    const Words alpha = {0xFF000000u, 0xFF000000u, 0xFF000000u, 0xFF000000u};
    size_t i = 0;
    for (; i + 4 <= words; i += 4) {
        Words block;
        std::memcpy(&block, data + i, sizeof block);
        block |= alpha;
        std::memcpy(data + i, &block, sizeof block);
    }
    for (; i < words; ++i)
        data[i] |= 0xFF000000u;
}


} // namespace

struct X11Desktop::State {
    Display *display = nullptr;
    int screen = 0;
    Window root = 0;
    int depth = 0;
    bool xfixes = false;
    std::unique_ptr<X11ScreenReader> reader;
    Atom netActiveWindow = 0, netFrameExtents = 0, wmState = 0;

    ~State()
    {
        if (!display)
            return;
        reader.reset(); // gives the shared memory back while the connection is open
        XCloseDisplay(display);
    }

    // The pixels as a QImage in place where the program keeps them as they are, else converted.
    static QImage wrap(ScreenPixels pixels, int displayDepth)
    {
        const PixelLayout words = keptPixelsOf(pixels.layout, displayDepth).words;
        if (words != pixels.layout) { // converted into an image of its own
            QImage out = allocateImage(pixels.width(), pixels.height(), imageFormatOf(words));
            convertThroughMasks(*pixels.image, reinterpret_cast<std::uint32_t *>(out.bits()), out.bytesPerLine());
            return out;
        }
        if (pixels.layout == PixelLayout::Bgrx32)
            makeOpaque(pixels.image.get());
        auto *kept = new ScreenPixels(std::move(pixels)); // the image's memory, until the QImage goes
        return QImage(kept->data(), kept->width(), kept->height(), kept->bytesPerLine(), imageFormatOf(words),
                      [](void *info) { delete static_cast<ScreenPixels *>(info); }, kept);
    }

    bool readCardinals(Window window, Atom property, Atom type, long count, std::vector<long> &out)
    {
        Atom actualType = 0;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char *data = nullptr;
        XErrorTrap trap(display);
        const int status = XGetWindowProperty(display, window, property, 0, count, False, type,
                                              &actualType, &format, &items, &after, &data);
        const bool ok = !trap.failed() && status == Success && data && format == 32 && items > 0;
        if (ok) {
            const long *values = reinterpret_cast<const long *>(data);
            out.assign(values, values + items);
        }
        if (data)
            XFree(data);
        return ok;
    }

    bool hasWmState(Window window)
    {
        std::vector<long> values;
        return readCardinals(window, wmState, wmState, 2, values);
    }

    bool isIconic(Window window)
    {
        std::vector<long> values;
        return readCardinals(window, wmState, wmState, 2, values) && values[0] == IconicState;
    }

    Window parentOf(Window window)
    {
        Window rootReturn = 0, parent = 0;
        Window *children = nullptr;
        unsigned count = 0;
        XErrorTrap trap(display);
        const Status ok = XQueryTree(display, window, &rootReturn, &parent, &children, &count);
        if (children)
            XFree(children);
        return ok && !trap.failed() ? parent : 0;
    }

    // The window's child of the root: the window manager's frame when it has one.
    Window topLevelOf(Window window)
    {
        Window current = window;
        for (int guard = 0; current && guard < 64; ++guard) {
            const Window parent = parentOf(current);
            if (parent == root || parent == 0)
                return current;
            current = parent;
        }
        return current;
    }

    // A window manager's frame holds the client window (the one with WM_STATE) a few levels down.
    Window clientInFrame(Window frame, int levels = 3)
    {
        Window rootReturn = 0, parent = 0;
        Window *children = nullptr;
        unsigned count = 0;
        XErrorTrap trap(display);
        if (!XQueryTree(display, frame, &rootReturn, &parent, &children, &count) || trap.failed())
            return 0;
        std::vector<Window> below(children, children + count);
        if (children)
            XFree(children);
        for (Window child : below)
            if (hasWmState(child))
                return child;
        if (levels > 1)
            for (Window child : below)
                if (const Window client = clientInFrame(child, levels - 1))
                    return client;
        return 0;
    }

    // Viewable (mapped, and so are its ancestors) with some of it on the screen. A window the
    // window manager still names after its program hid it, or a helper parked off the screen (a
    // window manager's own 1 x 1 window at -100, -100), is nothing the user can see.
    bool isOnScreen(Window window)
    {
        XWindowAttributes attributes;
        {
            XErrorTrap trap(display);
            if (!XGetWindowAttributes(display, window, &attributes) || trap.failed())
                return false;
        }
        if (attributes.map_state != IsViewable)
            return false;
        ScreenRect rect;
        int border = 0;
        if (!geometry(window, rect, border))
            return false;
        const int width = DisplayWidth(display, screen), height = DisplayHeight(display, screen);
        return rect.Right > 0 && rect.Bottom > 0 && rect.Left < width && rect.Top < height;
    }

    bool geometry(Window window, ScreenRect &inner, int &border)
    {
        XWindowAttributes attributes;
        XErrorTrap trap(display);
        if (!XGetWindowAttributes(display, window, &attributes) || trap.failed())
            return false;
        int x = 0, y = 0;
        Window child = 0;
        XTranslateCoordinates(display, window, root, 0, 0, &x, &y, &child);
        if (trap.failed())
            return false;
        inner = {x, y, x + attributes.width, y + attributes.height};
        border = attributes.border_width;
        return true;
    }
};

X11Desktop::X11Desktop(const QString &displayName) : d(std::make_unique<State>())
{
    const QByteArray name = displayName.toLocal8Bit();
    d->display = XOpenDisplay(displayName.isEmpty() ? nullptr : name.constData());
    if (!d->display) {
        const QString shown = displayName.isEmpty() ? qEnvironmentVariable("DISPLAY") : displayName;
        throw EDisplayError(shown.isEmpty()
                                ? QStringLiteral("Cannot open the display: DISPLAY is not set.")
                                : QStringLiteral("Cannot open the display '%1'.").arg(shown));
    }
    recordXErrors();
    d->screen = DefaultScreen(d->display);
    d->root = RootWindow(d->display, d->screen);
    d->depth = DefaultDepth(d->display, d->screen);
    // A palette display (8 bits, say) has no true-colour visual: the toolkit cannot draw a window
    // on it and its screen's pixels are palette entries, not colours. Refused, never shown black.
    const int visualClass = DefaultVisual(d->display, d->screen)->c_class;
    if (d->depth < 15 || (visualClass != TrueColor && visualClass != DirectColor))
        throw EDisplayError(QStringLiteral("The display '%1' shows %2-bit colour through a palette; Kaptiv "
                                           "needs a true-colour display of 15 bits or more.")
                                .arg(QString::fromLocal8Bit(DisplayString(d->display)))
                                .arg(d->depth));
    d->reader = std::make_unique<X11ScreenReader>(d->display);
    int eventBase = 0, errorBase = 0;
    d->xfixes = XFixesQueryExtension(d->display, &eventBase, &errorBase);
    d->netActiveWindow = XInternAtom(d->display, "_NET_ACTIVE_WINDOW", False);
    d->netFrameExtents = XInternAtom(d->display, "_NET_FRAME_EXTENTS", False);
    d->wmState = XInternAtom(d->display, "WM_STATE", False);
}

X11Desktop::~X11Desktop() = default;

bool X11Desktop::usesSharedMemory() const { return d->reader->usesSharedMemory(); }

bool X11Desktop::hasWindowManager()
{
    // The check window of a window manager that has gone stays named on the root: it must exist.
    std::vector<long> values;
    return d->readCardinals(d->root, XInternAtom(d->display, "_NET_SUPPORTING_WM_CHECK", False), XA_WINDOW, 1,
                            values)
        && windowExists(WindowId(values[0]));
}

QSize X11Desktop::screenSize()
{
    return {DisplayWidth(d->display, d->screen), DisplayHeight(d->display, d->screen)};
}

int X11Desktop::displayDepth() { return d->depth; }

QImage X11Desktop::grabScreen(const ScreenRect &area)
{
    const QSize screen = screenSize();
    const int left = std::max(area.Left, 0), top = std::max(area.Top, 0);
    const int right = std::min(area.Right, screen.width()), bottom = std::min(area.Bottom, screen.height());
    QImage inside;
    if (right > left && bottom > top) {
        ScreenPixels pixels = d->reader->read(left, top, right - left, bottom - top);
        if (pixels.image)
            inside = State::wrap(std::move(pixels), d->depth);
    }
    if (left == area.Left && top == area.Top && right == area.Right && bottom == area.Bottom
        && !inside.isNull())
        return inside;

    // Part of the area is off the screen: black around what could be read.
    const QImage::Format format = inside.isNull() ? imageFormatOf(usualLayoutOf(d->depth)) : inside.format();
    QImage whole = allocateImage(std::max(area.width(), 0), std::max(area.height(), 0), format);
    whole.fill(Qt::black);
    if (!inside.isNull()) {
        const int bytesPerPixel = inside.depth() / 8;
        for (int y = 0; y < inside.height(); ++y)
            std::memcpy(whole.scanLine(top - area.Top + y) + (left - area.Left) * bytesPerPixel,
                        inside.constScanLine(y), size_t(inside.width()) * bytesPerPixel);
    }
    return whole;
}

QPoint X11Desktop::cursorPos()
{
    Window rootReturn = 0, child = 0;
    int rootX = 0, rootY = 0, winX = 0, winY = 0;
    unsigned mask = 0;
    XQueryPointer(d->display, d->root, &rootReturn, &child, &rootX, &rootY, &winX, &winY, &mask);
    return {rootX, rootY};
}

void X11Desktop::setCursorPos(QPoint pos)
{
    XWarpPointer(d->display, 0, d->root, 0, 0, 0, 0, pos.x(), pos.y());
    XFlush(d->display);
}

CursorImage X11Desktop::currentCursor()
{
    CursorImage cursor;
    if (!d->xfixes)
        return cursor;
    XFixesCursorImage *image = XFixesGetCursorImage(d->display);
    if (!image)
        return cursor;
    cursor.image = QImage(image->width, image->height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < image->height; ++y) {
        QRgb *row = reinterpret_cast<QRgb *>(cursor.image.scanLine(y));
        for (int x = 0; x < image->width; ++x) // the array is of unsigned long; ARGB is the low half
            row[x] = QRgb(image->pixels[size_t(y) * image->width + x] & 0xFFFFFFFFu);
    }
    cursor.hotSpot = {image->xhot, image->yhot};
    XFree(image);
    return cursor;
}

WindowId X11Desktop::foregroundWindow()
{
    Window active = 0;
    if (hasWindowManager()) {
        // Its word alone counts: without one, no window is active. Right after it starts the input
        // focus rests on a window of its own, which is no window of the user's.
        std::vector<long> values;
        if (d->readCardinals(d->root, d->netActiveWindow, XA_WINDOW, 1, values))
            active = Window(values[0]);
    } else {
        // No window manager to ask: the window holding the input focus, taken up to its top level.
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(d->display, &focus, &revert);
        if (focus != 0 && focus != PointerRoot && focus != d->root) {
            active = d->topLevelOf(focus);
            for (Window w = focus; w && w != d->root; w = d->parentOf(w))
                if (d->hasWmState(w)) {
                    active = w;
                    break;
                }
        }
    }
    return active && d->isOnScreen(active) ? WindowId(active) : 0;
}

ScreenRect X11Desktop::windowRect(WindowId window)
{
    ScreenRect inner;
    int border = 0;
    if (!d->geometry(Window(window), inner, border))
        return {};
    std::vector<long> extents; // left, right, top, bottom
    if (d->readCardinals(Window(window), d->netFrameExtents, XA_CARDINAL, 4, extents)
        && extents.size() == 4)
        return {inner.Left - int(extents[0]), inner.Top - int(extents[2]),
                inner.Right + int(extents[1]), inner.Bottom + int(extents[3])};
    // Reparented by a window manager that does not publish its extents: its frame is the window.
    const Window top = d->topLevelOf(Window(window));
    if (top && top != Window(window))
        d->geometry(top, inner, border);
    return {inner.Left - border, inner.Top - border, inner.Right + border, inner.Bottom + border};
}

ScreenRect X11Desktop::clientRect(WindowId window)
{
    // The client area of a window manager's frame is that of the client window inside it.
    Window target = Window(window);
    if (target && !d->hasWmState(target) && d->parentOf(target) == d->root)
        if (const Window client = d->clientInFrame(target))
            target = client;
    ScreenRect inner;
    int border = 0;
    if (!d->geometry(target, inner, border))
        return {};
    return inner;
}

bool X11Desktop::windowExists(WindowId window)
{
    if (!window)
        return false;
    XWindowAttributes attributes;
    XErrorTrap trap(d->display);
    return XGetWindowAttributes(d->display, Window(window), &attributes) && !trap.failed();
}

std::vector<DesktopWindow> X11Desktop::listWindows()
{
    std::vector<DesktopWindow> result;
    // XQueryTree lists children bottom to top; walk them top first, each window before its own.
    auto visit = [&](auto &&self, Window window, Window parent) -> void {
        XWindowAttributes attributes;
        {
            XErrorTrap trap(d->display);
            if (!XGetWindowAttributes(d->display, window, &attributes) || trap.failed())
                return;
        }
        if (attributes.c_class == InputOnly)
            return;
        DesktopWindow entry;
        entry.id = window;
        entry.parent = parent == d->root ? 0 : parent;
        entry.visible = attributes.map_state == IsViewable;
        entry.hasWmState = d->hasWmState(window);
        entry.minimized = entry.hasWmState && d->isIconic(window);
        int border = 0;
        d->geometry(window, entry.clientRect, border);
        entry.rect = {entry.clientRect.Left - border, entry.clientRect.Top - border,
                      entry.clientRect.Right + border, entry.clientRect.Bottom + border};
        result.push_back(entry);

        Window rootReturn = 0, parentReturn = 0;
        Window *children = nullptr;
        unsigned count = 0;
        XErrorTrap trap(d->display);
        if (!XQueryTree(d->display, window, &rootReturn, &parentReturn, &children, &count) || trap.failed())
            return;
        std::vector<Window> ordered(children, children + count);
        if (children)
            XFree(children);
        for (auto it = ordered.rbegin(); it != ordered.rend(); ++it)
            self(self, *it, window);
    };

    Window rootReturn = 0, parentReturn = 0;
    Window *children = nullptr;
    unsigned count = 0;
    XQueryTree(d->display, d->root, &rootReturn, &parentReturn, &children, &count);
    std::vector<Window> topLevel(children, children + count);
    if (children)
        XFree(children);
    for (auto it = topLevel.rbegin(); it != topLevel.rend(); ++it)
        visit(visit, *it, d->root);
    return result;
}

namespace {

// An active pointer grab confined to an input-only window covering the allowed area. The grab is
// made on the toolkit's own connection: with owner_events the pointer's events then keep reaching
// the program's windows as usual. The input-only window lies at the bottom of the stack, so it
// never stands between the pointer and the windows above it.
class X11PointerConfinement : public PointerConfinement {
public:
    X11PointerConfinement(xcb_connection_t *connection, xcb_window_t root, const ScreenRect &area,
                          xcb_window_t eventWindow)
        : connection_(connection), box_(xcb_generate_id(connection))
    {
        const uint32_t overrideRedirect = 1;
        xcb_create_window(connection_, 0, box_, root, int16_t(area.Left), int16_t(area.Top),
                          uint16_t(std::max(area.width(), 1)), uint16_t(std::max(area.height(), 1)), 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT,
                          &overrideRedirect);
        const uint32_t below = XCB_STACK_MODE_BELOW;
        xcb_configure_window(connection_, box_, XCB_CONFIG_WINDOW_STACK_MODE, &below);
        xcb_map_window(connection_, box_);
        const uint16_t events = XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE
            | XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_ENTER_WINDOW | XCB_EVENT_MASK_LEAVE_WINDOW;
        xcb_grab_pointer_reply_t *reply = xcb_grab_pointer_reply(
            connection_,
            xcb_grab_pointer(connection_, 1, eventWindow, events, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC,
                             box_, XCB_NONE, XCB_CURRENT_TIME),
            nullptr);
        grabbed_ = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
        free(reply);
        xcb_flush(connection_);
    }
    ~X11PointerConfinement() override
    {
        if (grabbed_)
            xcb_ungrab_pointer(connection_, XCB_CURRENT_TIME);
        xcb_destroy_window(connection_, box_);
        xcb_flush(connection_);
    }

private:
    xcb_connection_t *connection_;
    xcb_window_t box_;
    bool grabbed_ = false;
};

// Stands in when the toolkit does not run on X: its windows are not ours to confine to.
class NoPointerConfinement : public PointerConfinement {};

} // namespace

std::unique_ptr<PointerConfinement> X11Desktop::confinePointer(const ScreenRect &area, WindowId eventWindow)
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return std::make_unique<NoPointerConfinement>();
    xcb_connection_t *connection = x11->connection();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    return std::make_unique<X11PointerConfinement>(connection, root, area, xcb_window_t(eventWindow));
}

} // namespace kaptiv
