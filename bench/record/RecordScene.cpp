// The scripted scene of the recording benchmark: a terminal-like window scrolling text and a
// patterned window moving across the screen, 60 steps a second, for the seconds given. The
// terminal takes a new line, the text above scrolled up by one line, so many times a second
// (30 unless told: a line at every frame of a 30 fps recording).
//   record_scene [SECONDS] [LINES_A_SECOND]
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
    const int linesASecond = argc > 2 ? std::atoi(argv[2]) : 30;
    if (linesASecond < 0 || linesASecond > 60) {
        std::fprintf(stderr, "record-scene: lines a second go from 0 to 60\n");
        return 2;
    }
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
    // The terminal starts full, as one in use is, so that every scroll moves a screenful of text.
    const auto drawLine = [&](long line, int bottom) {
        XSetForeground(display, text, colours[line % 4]);
        const std::string words = "$ line " + std::to_string(line) + ": make -j2 kaptiv  [" + std::string(line % 60, '#') + "]";
        XDrawString(display, terminal, text, 8, bottom - (font ? font->descent : 3) - 1, words.c_str(), int(words.size()));
    };
    const int rows = termH / lineHeight;
    XSync(display, False);
    for (int row = 0; row < rows; ++row)
        drawLine(row, termH - (rows - 1 - row) * lineHeight);
    const auto start = std::chrono::steady_clock::now();
    const auto step = std::chrono::microseconds(1000000 / 60);
    for (long n = 0;; ++n) {
        const auto due = start + n * step;
        if (due - start > std::chrono::duration<double>(seconds))
            break;
        std::this_thread::sleep_until(due);
        // A new line when its time has come, the text above scrolled up by one line.
        if (n == 0 || n * linesASecond / 60 != (n - 1) * linesASecond / 60) {
            XCopyArea(display, terminal, terminal, text, 0, lineHeight, termW, termH - lineHeight, 0, 0);
            XSetForeground(display, text, 0x101418);
            XFillRectangle(display, terminal, text, 0, termH - lineHeight, termW, lineHeight);
            drawLine(rows + n * linesASecond / 60, termH);
        }
        XMoveWindow(display, box, int((n * 6) % (1920 + boxW)) - boxW, 760);
        XFlush(display);
    }
    XSync(display, False);
    XCloseDisplay(display);
    return 0;
}
