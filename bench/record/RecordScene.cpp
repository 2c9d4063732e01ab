// The scripted scene of the recording benchmark: a terminal-like window scrolling text and a
// patterned window moving across the screen, 60 steps a second, for the seconds given.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

int main(int argc, char **argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 12.0;
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "record-scene: cannot open the display\n");
        return 1;
    }
    const int screen = DefaultScreen(display);
    const Window root = RootWindow(display, screen);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = 0x101418;
    const int termW = 900, termH = 700;
    const Window terminal = XCreateWindow(display, root, 40, 40, termW, termH, 0, CopyFromParent, InputOutput,
                                          CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
    attributes.background_pixel = 0x2050A0;
    const int boxW = 320, boxH = 240;
    const Window box = XCreateWindow(display, root, 0, 760, boxW, boxH, 0, CopyFromParent, InputOutput, CopyFromParent,
                                     CWOverrideRedirect | CWBackPixel, &attributes);
    // The moving window's picture: stripes and a frame, drawn once into its background.
    const Pixmap picture = XCreatePixmap(display, box, boxW, boxH, unsigned(DefaultDepth(display, screen)));
    GC gc = XCreateGC(display, picture, 0, nullptr);
    for (int y = 0; y < boxH; y += 20) {
        XSetForeground(display, gc, (y / 20) % 2 ? 0xE0C040 : 0x2050A0);
        XFillRectangle(display, picture, gc, 0, y, boxW, 20);
    }
    XSetForeground(display, gc, 0xFFFFFF);
    XDrawRectangle(display, picture, gc, 0, 0, boxW - 1, boxH - 1);
    XSetWindowBackgroundPixmap(display, box, picture);
    XMapRaised(display, terminal);
    XMapRaised(display, box);

    XFontStruct *font = XLoadQueryFont(display, "fixed");
    GC text = XCreateGC(display, terminal, 0, nullptr);
    if (font)
        XSetFont(display, text, font->fid);
    const int lineHeight = font ? font->ascent + font->descent + 2 : 15;
    const unsigned long colours[] = {0xD0D0D0, 0x60D060, 0xE0E070, 0x70A0F0};
    const auto start = std::chrono::steady_clock::now();
    const auto step = std::chrono::microseconds(1000000 / 60);
    for (long n = 0;; ++n) {
        const auto due = start + n * step;
        if (due - start > std::chrono::duration<double>(seconds))
            break;
        std::this_thread::sleep_until(due);
        // A new line every other step, the text above scrolled up by one line.
        if (n % 2 == 0) {
            XCopyArea(display, terminal, terminal, text, 0, lineHeight, termW, termH - lineHeight, 0, 0);
            XSetForeground(display, text, 0x101418);
            XFillRectangle(display, terminal, text, 0, termH - lineHeight, termW, lineHeight);
            XSetForeground(display, text, colours[(n / 2) % 4]);
            const std::string line = "$ line " + std::to_string(n / 2) + ": make -j2 kaptiv  [" + std::string((n / 2) % 60, '#') + "]";
            XDrawString(display, terminal, text, 8, termH - (font ? font->descent : 3) - 1, line.c_str(), int(line.size()));
        }
        XMoveWindow(display, box, int((n * 6) % (1920 + boxW)) - boxW, 760);
        XFlush(display);
    }
    XSync(display, False);
    XCloseDisplay(display);
    return 0;
}
