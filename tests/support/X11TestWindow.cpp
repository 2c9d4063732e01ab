#include "X11TestWindow.h"

#include <QPainter>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

// Xlib last: its macros break Qt's headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace kaptiv::testing {

struct X11TestWindow::State {
    Display *display = nullptr;
    Window window = 0;
    Pixmap pixmap = 0;

    Atom atom(const char *name) { return XInternAtom(display, name, False); }

    // The first items of a window property (32-bit values), at most `count` of them.
    std::vector<long> property(Window window, const char *name, Atom type, long count)
    {
        Atom actual;
        int format;
        unsigned long items = 0, after;
        unsigned char *data = nullptr;
        XGetWindowProperty(display, window, atom(name), 0, count, False, type, &actual, &format, &items, &after,
                           &data);
        std::vector<long> values;
        if (data && format == 32)
            values.assign(reinterpret_cast<long *>(data), reinterpret_cast<long *>(data) + items);
        if (data)
            XFree(data);
        return values;
    }

    bool hasWindowManager()
    {
        return !property(DefaultRootWindow(display), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW, 1).empty();
    }

    Window activeWindow()
    {
        const auto values = property(DefaultRootWindow(display), "_NET_ACTIVE_WINDOW", XA_WINDOW, 1);
        return values.empty() ? 0 : Window(values[0]);
    }
};

namespace {

template <typename Done>
void waitFor(Done done, int milliseconds = 5000)
{
    for (int waited = 0; waited < milliseconds; waited += 10) {
        if (done())
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    throw std::runtime_error("X11TestWindow: the display did not do what was asked in time");
}

} // namespace

X11TestWindow::X11TestWindow(const QString &display, QPoint position, const QImage &pattern, const QString &title)
    : d(std::make_unique<State>())
{
    const QByteArray name = display.toLocal8Bit();
    d->display = XOpenDisplay(display.isEmpty() ? nullptr : name.constData());
    if (!d->display)
        throw std::runtime_error("X11TestWindow: cannot open the display");
    Display *dpy = d->display;
    const int screen = DefaultScreen(dpy);
    const int depth = DefaultDepth(dpy, screen);
    const Window root = RootWindow(dpy, screen);
    const int w = pattern.width(), h = pattern.height();

    // The pattern in the display's own pixel format.
    const QImage::Format format = depth == 16 ? QImage::Format_RGB16
        : depth == 15                        ? QImage::Format_RGB555
        : depth == 30                        ? QImage::Format_RGB30
                                             : QImage::Format_RGB32;
    const QImage pixels = pattern.convertToFormat(format);
    XImage *image = XCreateImage(dpy, DefaultVisual(dpy, screen), unsigned(depth), ZPixmap, 0,
                                 const_cast<char *>(reinterpret_cast<const char *>(pixels.constBits())),
                                 unsigned(w), unsigned(h), 32, int(pixels.bytesPerLine()));
    d->pixmap = XCreatePixmap(dpy, root, unsigned(w), unsigned(h), unsigned(depth));
    GC gc = XCreateGC(dpy, d->pixmap, 0, nullptr);
    XPutImage(dpy, d->pixmap, gc, image, 0, 0, 0, 0, unsigned(w), unsigned(h));
    XFreeGC(dpy, gc);
    image->data = nullptr;
    XDestroyImage(image);

    XSetWindowAttributes attributes{};
    attributes.background_pixmap = d->pixmap;
    attributes.event_mask = StructureNotifyMask | ExposureMask;
    d->window = XCreateWindow(dpy, root, position.x(), position.y(), unsigned(w), unsigned(h), 0, depth,
                              InputOutput, CopyFromParent, CWBackPixmap | CWEventMask, &attributes);
    XStoreName(dpy, d->window, title.toUtf8().constData());
    // Ask the window manager to keep the position and size we chose.
    XSizeHints hints{};
    hints.flags = USPosition | PPosition | USSize | PSize | PMinSize | PMaxSize;
    hints.x = position.x();
    hints.y = position.y();
    hints.width = hints.min_width = hints.max_width = w;
    hints.height = hints.min_height = hints.max_height = h;
    XSetWMNormalHints(dpy, d->window, &hints);
    XMapRaised(dpy, d->window);
    XSync(dpy, False);
    waitFor([&] {
        XWindowAttributes a;
        XGetWindowAttributes(dpy, d->window, &a);
        return a.map_state == IsViewable;
    });
    settle();
}

X11TestWindow::~X11TestWindow()
{
    if (!d->display)
        return;
    XDestroyWindow(d->display, d->window);
    XFreePixmap(d->display, d->pixmap);
    XSync(d->display, False);
    XCloseDisplay(d->display);
}

WindowId X11TestWindow::id() const { return d->window; }

void X11TestWindow::settle()
{
    XSync(d->display, False);
    if (d->hasWindowManager()) {
        waitFor([&] { return d->property(d->window, "_NET_FRAME_EXTENTS", XA_CARDINAL, 4).size() == 4; });
    }
    // Give the server a moment to paint the background after any move or reparenting.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    XSync(d->display, False);
}

void X11TestWindow::activate()
{
    Display *dpy = d->display;
    if (d->hasWindowManager()) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = d->window;
        event.xclient.message_type = d->atom("_NET_ACTIVE_WINDOW");
        event.xclient.format = 32;
        event.xclient.data.l[0] = 2; // from a pager: do as asked
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(dpy, DefaultRootWindow(dpy), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
        XSync(dpy, False);
        waitFor([&] { return d->activeWindow() == d->window; });
    } else {
        XRaiseWindow(dpy, d->window);
        XSetInputFocus(dpy, d->window, RevertToParent, CurrentTime);
        XSync(dpy, False);
    }
    settle();
}

void X11TestWindow::moveTo(QPoint position)
{
    XMoveWindow(d->display, d->window, position.x(), position.y());
    settle();
}

ScreenRect X11TestWindow::frameRect() const
{
    Display *dpy = d->display;
    const Window root = DefaultRootWindow(dpy);
    Window top = d->window;
    for (;;) { // up to the child of the root: the frame when a window manager reparented us
        Window rootReturn = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        XQueryTree(dpy, top, &rootReturn, &parent, &children, &count);
        if (children)
            XFree(children);
        if (parent == root || parent == 0)
            break;
        top = parent;
    }
    Window rootReturn = 0;
    int x = 0, y = 0;
    unsigned w = 0, h = 0, border = 0, depth = 0;
    XGetGeometry(dpy, top, &rootReturn, &x, &y, &w, &h, &border, &depth);
    return {x, y, x + int(w + 2 * border), y + int(h + 2 * border)};
}

QString displayFromEnvironment(const char *variable) { return qEnvironmentVariable(variable); }

QImage quarteredPattern(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    const int hw = width / 2, hh = height / 2;
    p.fillRect(0, 0, hw, hh, QColor(255, 0, 0));
    p.fillRect(hw, 0, width - hw, hh, QColor(0, 255, 0));
    p.fillRect(0, hh, hw, height - hh, QColor(0, 0, 255));
    p.fillRect(hw, hh, width - hw, height - hh, QColor(255, 255, 0));
    p.end();
    image.setPixel(0, 0, qRgb(255, 255, 255));
    image.setPixel(width - 1, 0, qRgb(0, 0, 0));
    image.setPixel(0, height - 1, qRgb(0, 255, 255));
    image.setPixel(width - 1, height - 1, qRgb(255, 0, 255));
    return image;
}

} // namespace kaptiv::testing
