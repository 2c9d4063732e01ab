#pragma once
// Reading the screen's pixels from an X server with nothing but Xlib and the standard library, so
// the program and its quick command-line front read the screen the same way: through memory
// shared with the server where it offers that, through the connection otherwise. Xlib's headers
// stay in the .cpp (their macros break Qt's).

#include "platform/pixels/DisplayPixels.h"

#include <cstddef>
#include <cstdint>
#include <memory>

typedef struct _XDisplay Display;
struct _XImage;

namespace kaptiv {

PixelLayout layoutOf(const _XImage &image);

// Pixels of any true-colour layout as words 0xFFRRGGBB, each channel scaled to 8 bits through a
// table (a 30-bit display gives 24-bit colour); `out` rows are `outBytesPerLine` apart.
void convertThroughMasks(const _XImage &image, std::uint32_t *out, std::ptrdiff_t outBytesPerLine);

// Pixels read from the screen, rows top to bottom, in the server's format. The image keeps its
// memory (shared with the server, or Xlib's) for as long as a copy of it lives.
struct ScreenPixels {
    std::shared_ptr<_XImage> image; // null when nothing could be read
    PixelLayout layout = PixelLayout::Other;

    std::uint8_t *data() const;
    int width() const;
    int height() const;
    std::ptrdiff_t bytesPerLine() const;
};

class X11ScreenReader {
public:
    // Reads from `display`'s default screen; the connection stays the caller's and must outlive
    // the reader. Shared memory is used when the server offers it (version 1.2, memory handed over
    // as a file descriptor) and KAPTIV_NO_SHM is not set.
    explicit X11ScreenReader(Display *display);
    ~X11ScreenReader(); // gives the shared memory back to the server
    X11ScreenReader(const X11ScreenReader &) = delete;
    X11ScreenReader &operator=(const X11ScreenReader &) = delete;

    // False once the server refused shared memory (a remote display), or when it never had it.
    bool usesSharedMemory() const { return shm_; }

    // The w x h pixels of the root window at x, y, which must lie on the screen; no image when
    // the server could not give them.
    ScreenPixels read(int x, int y, int w, int h);

private:
    struct Segment;
    std::shared_ptr<Segment> freeSegment(std::size_t size);
    ScreenPixels readShared(int x, int y, int w, int h);
    ScreenPixels readPlain(int x, int y, int w, int h);

    Display *display_;
    bool shm_ = false;
    std::shared_ptr<Segment> segment_; // attached to the server, reused while free
};

} // namespace kaptiv
