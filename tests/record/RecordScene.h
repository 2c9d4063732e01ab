#pragma once
// A scripted scene for recordings on a real display, and the frames of a file as a viewer shows them.
#include "GiflibOracle.h"

#include <QFile>
#include <QString>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace kaptiv::testing {

using Picture = std::vector<std::uint32_t>;

// A window without a frame over the recorded area whose pixels the server paints itself (its
// background), so the test changes the scene with one request and no event loop.
class Scene {
public:
    Scene(int x, int y, int w, int h) : display_(XOpenDisplay(nullptr)), X(x), Y(y), W(w), H(h)
    {
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        attributes.background_pixel = 0;
        window_ = XCreateWindow(display_, DefaultRootWindow(display_), X, Y, W, H, 0, CopyFromParent, InputOutput,
                                CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
        XMapRaised(display_, window_);
        XSync(display_, False);
    }
    ~Scene()
    {
        if (pixmap_)
            XFreePixmap(display_, pixmap_);
        XDestroyWindow(display_, window_);
        XCloseDisplay(display_);
    }
    void fill(std::uint32_t rgb)
    {
        XSetWindowBackground(display_, window_, rgb);
        XClearWindow(display_, window_);
        XSync(display_, False);
    }
    void show(const Picture &picture)
    {
        if (!pixmap_)
            pixmap_ = XCreatePixmap(display_, window_, W, H, unsigned(DefaultDepth(display_, DefaultScreen(display_))));
        XImage *image = XCreateImage(display_, DefaultVisual(display_, DefaultScreen(display_)),
                                     unsigned(DefaultDepth(display_, DefaultScreen(display_))), ZPixmap, 0,
                                     reinterpret_cast<char *>(const_cast<std::uint32_t *>(picture.data())), W, H, 32, W * 4);
        GC gc = XCreateGC(display_, pixmap_, 0, nullptr);
        XPutImage(display_, pixmap_, gc, image, 0, 0, 0, 0, W, H);
        XFreeGC(display_, gc);
        image->data = nullptr;
        XDestroyImage(image);
        XSetWindowBackgroundPixmap(display_, window_, pixmap_);
        XClearWindow(display_, window_);
        XSync(display_, False);
    }
    // The area as the server has it now.
    Picture grab()
    {
        XImage *image = XGetImage(display_, DefaultRootWindow(display_), X, Y, W, H, AllPlanes, ZPixmap);
        Picture pixels(std::size_t(W) * H);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                pixels[std::size_t(y) * W + x] = std::uint32_t(XGetPixel(image, x, y)) & 0xFFFFFF;
        XDestroyImage(image);
        return pixels;
    }

private:
    Display *display_;
    int X, Y, W, H;
    Window window_ = 0;
    Pixmap pixmap_ = 0;
};

inline std::optional<gif::oracle::Image> readWithGiflib(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    return gif::oracle::Read(std::span(reinterpret_cast<const std::uint8_t *>(bytes.data()), std::size_t(bytes.size())));
}

} // namespace kaptiv::testing

// Xlib's macros would break the Qt headers that follow.
#undef Bool
#undef Status
#undef None
#undef True
#undef False
#undef Always
#undef Success
#undef KeyPress
#undef KeyRelease
#undef FocusIn
#undef FocusOut
#undef FontChange
#undef Expose
#undef CursorShape
#undef Unsorted
