#include "platform/x11/X11ScreenReader.h"

#include "platform/x11/X11Errors.h"

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdlib>
#include <vector>

namespace kaptiv {

// Memory shared with the X server, handed to it as a file descriptor: no System V segment exists
// that a process killed at the wrong moment could leave behind, and the memory goes once both
// sides have let go of it, however the program ends. Read images point straight into it, so it
// lives as long as the last image made in it; `inUse` lets the next read take it again.
struct X11ScreenReader::Segment {
    xcb_shm_seg_t id = 0; // the server's name for it
    void *address = MAP_FAILED;
    std::size_t size = 0;
    std::atomic<bool> inUse{false};
    ~Segment()
    {
        if (address != MAP_FAILED)
            munmap(address, size);
    }
};

PixelLayout layoutOf(const XImage &image)
{
    if (image.byte_order != (std::endian::native == std::endian::little ? LSBFirst : MSBFirst))
        return PixelLayout::Other;
    if (image.bits_per_pixel == 32 && image.red_mask == 0xFF0000 && image.green_mask == 0xFF00
        && image.blue_mask == 0xFF)
        return PixelLayout::Bgrx32;
    if (image.bits_per_pixel == 16 && image.red_mask == 0xF800 && image.green_mask == 0x07E0
        && image.blue_mask == 0x1F)
        return PixelLayout::Rgb565;
    if (image.bits_per_pixel == 16 && image.red_mask == 0x7C00 && image.green_mask == 0x03E0
        && image.blue_mask == 0x1F)
        return PixelLayout::Rgb555;
    return PixelLayout::Other;
}

namespace {

int shiftOf(unsigned long mask)
{
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

} // namespace

void convertThroughMasks(const XImage &image, std::uint32_t *out, std::ptrdiff_t outBytesPerLine)
{
    const unsigned long masks[3] = {image.red_mask, image.green_mask, image.blue_mask};
    int shifts[3];
    std::vector<std::uint8_t> scale[3];
    for (int i = 0; i < 3; ++i) {
        shifts[i] = shiftOf(masks[i]);
        const unsigned long maximum = std::min(masks[i] >> shifts[i], 0xFFFFUL);
        scale[i].resize(maximum + 1);
        for (unsigned long v = 0; v <= maximum; ++v)
            scale[i][v] = maximum ? std::uint8_t((v * 255 + maximum / 2) / maximum) : 0;
    }
    const bool words = image.bits_per_pixel == 32
        && image.byte_order == (std::endian::native == std::endian::little ? LSBFirst : MSBFirst);
    XImage &source = const_cast<XImage &>(image); // XGetPixel takes no const image, but only reads
    for (int y = 0; y < image.height; ++y) {
        const auto *in = reinterpret_cast<const std::uint32_t *>(image.data + std::ptrdiff_t(y) * image.bytes_per_line);
        auto *row = reinterpret_cast<std::uint32_t *>(reinterpret_cast<std::uint8_t *>(out) + y * outBytesPerLine);
        for (int x = 0; x < image.width; ++x) {
            const unsigned long p = words ? in[x] : XGetPixel(&source, x, y);
            std::uint32_t rgb = 0xFF000000u;
            for (int i = 0; i < 3; ++i)
                rgb |= std::uint32_t(scale[i][std::min((p & masks[i]) >> shifts[i], scale[i].size() - 1)]) << (16 - 8 * i);
            row[x] = rgb;
        }
    }
}

std::uint8_t *ScreenPixels::data() const { return reinterpret_cast<std::uint8_t *>(image->data); }
int ScreenPixels::width() const { return image->width; }
int ScreenPixels::height() const { return image->height; }
std::ptrdiff_t ScreenPixels::bytesPerLine() const { return image->bytes_per_line; }

X11ScreenReader::X11ScreenReader(Display *display) : display_(display)
{
    recordXErrors();
    int major = 0, minor = 0;
    Bool pixmaps = False;
    const char *noShm = std::getenv("KAPTIV_NO_SHM");
    shm_ = XShmQueryVersion(display_, &major, &minor, &pixmaps) && (major > 1 || (major == 1 && minor >= 2))
        && !(noShm && *noShm);
}

X11ScreenReader::~X11ScreenReader()
{
    if (segment_) {
        xcb_shm_detach(XGetXCBConnection(display_), segment_->id);
        XSync(display_, False);
    }
}

ScreenPixels X11ScreenReader::read(int x, int y, int w, int h)
{
    ScreenPixels pixels;
    if (shm_)
        pixels = readShared(x, y, w, h);
    if (!pixels.image)
        pixels = readPlain(x, y, w, h);
    if (pixels.image)
        pixels.layout = layoutOf(*pixels.image);
    return pixels;
}

std::shared_ptr<X11ScreenReader::Segment> X11ScreenReader::freeSegment(std::size_t size)
{
    if (segment_ && !segment_->inUse && segment_->size >= size)
        return segment_;
    const int fd = memfd_create("kaptiv-grab", MFD_CLOEXEC);
    if (fd < 0)
        return nullptr;
    auto fresh = std::make_shared<Segment>();
    fresh->size = size;
    if (ftruncate(fd, off_t(size)) == 0)
        fresh->address = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, fd, 0);
    if (fresh->address == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    xcb_connection_t *connection = XGetXCBConnection(display_);
    fresh->id = xcb_generate_id(connection);
    // The descriptor goes to the server, which maps it too; sending it closes our copy.
    xcb_generic_error_t *error
        = xcb_request_check(connection, xcb_shm_attach_fd_checked(connection, fresh->id, fd, 0));
    if (error) {
        free(error);
        shm_ = false; // a remote display, most likely: plain reads from now on
        return nullptr;
    }
    if (segment_)
        xcb_shm_detach(connection, segment_->id);
    segment_ = fresh;
    return fresh;
}

ScreenPixels X11ScreenReader::readShared(int x, int y, int w, int h)
{
    const int screen = DefaultScreen(display_);
    XShmSegmentInfo probe{};
    XImage *image = XShmCreateImage(display_, DefaultVisual(display_, screen),
                                    unsigned(DefaultDepth(display_, screen)), ZPixmap, nullptr, &probe,
                                    unsigned(w), unsigned(h));
    if (!image)
        return {};
    image->obdata = nullptr; // `probe` is gone when we return; the segment is ours, not Xlib's
    // The header only: Xlib frees no pixels of a shared-memory image.
    const auto destroy = [](XImage *header) { XDestroyImage(header); };
    std::unique_ptr<XImage, decltype(destroy)> header(image, destroy);
    std::shared_ptr<Segment> segment = freeSegment(std::size_t(image->bytes_per_line) * std::size_t(h));
    if (!segment)
        return {};
    xcb_connection_t *connection = XGetXCBConnection(display_);
    xcb_generic_error_t *error = nullptr;
    xcb_shm_get_image_reply_t *reply = xcb_shm_get_image_reply(
        connection,
        xcb_shm_get_image(connection, RootWindow(display_, screen), int16_t(x), int16_t(y), uint16_t(w),
                          uint16_t(h), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, segment->id, 0),
        &error);
    const bool read = reply && !error;
    free(reply);
    free(error);
    if (!read)
        return {};
    segment->inUse = true;
    header->data = static_cast<char *>(segment->address);
    return {std::shared_ptr<XImage>(header.release(), [segment](XImage *done) {
        done->data = nullptr;
        XDestroyImage(done);
        segment->inUse = false;
    })};
}

ScreenPixels X11ScreenReader::readPlain(int x, int y, int w, int h)
{
    XErrorTrap trap(display_);
    XImage *image = XGetImage(display_, DefaultRootWindow(display_), x, y, unsigned(w), unsigned(h), AllPlanes,
                              ZPixmap);
    if (trap.failed() || !image) {
        if (image)
            XDestroyImage(image);
        return {};
    }
    return {std::shared_ptr<XImage>(image, [](XImage *done) { XDestroyImage(done); })};
}

} // namespace kaptiv
