#include "front/ScreenGrabToFile.h"

#include "formats/core/BmpEncoder.h"
#include "formats/core/PngEncoder.h"
#include "platform/pixels/DisplayPixels.h"
#include "platform/files/FileAccess.h"
#include "platform/x11/X11ScreenReader.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <new>
#include <thread>
#include <vector>

namespace kaptiv::front {

namespace {

// The screen is read in bands of about this many bytes of the server's pixels, in the order the
// file stores its rows (a bitmap's from the bottom up, a PNG's from the top down): one small piece of shared memory serves every band, and each band
// is on its way to the disk while the next is read. Fresh memory costs more here than the round
// trips: this is several times faster than one read of the whole screen.
constexpr std::size_t BandBytes = std::size_t(1) << 20;

// The words the file's rows are made from, as the program keeps the pixels of this display; nothing
// when the program would keep them at another depth than the one the file was planned at.
std::optional<bmp::SourcePixels> sourcePixelsOf(PixelLayout layout, int displayDepth, int depth)
{
    const KeptPixels kept = keptPixelsOf(layout, displayDepth);
    if (kept.depth != depth)
        return std::nullopt;
    return bmp::sourcePixelsOf(kept.words);
}

// Xlib prints why a server refused the connection ("Authorization required, ..."). The full
// program, which is then handed the grab and tries again, prints it with its own message.
Display *openDisplayQuietly()
{
    std::fflush(stderr);
    const int terminal = ::fcntl(2, F_DUPFD_CLOEXEC, 3);
    const int nowhere = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    const bool quiet = terminal >= 0 && nowhere >= 0 && ::dup2(nowhere, 2) == 2;
    Display *display = XOpenDisplay(nullptr);
    if (quiet)
        ::dup2(terminal, 2);
    for (const int fd : {terminal, nowhere})
        if (fd >= 0)
            ::close(fd);
    return display;
}

struct DisplayConnection {
    Display *display = openDisplayQuietly();
    ~DisplayConnection()
    {
        if (display)
            XCloseDisplay(display);
    }
};

struct CannotFinish {}; // raised while the file is being written: the full program takes over

class BandedGrab {
public:
    BandedGrab(Display *display, int width, int height, int displayDepth, int depth, bool png)
        : reader_(display), width_(width), height_(height), displayDepth_(displayDepth), depth_(depth), png_(png),
          bandRows_(int(std::clamp<std::size_t>(BandBytes / (std::size_t(width) * (depth == 16 ? 2 : 4)), 1,
                                                std::size_t(height))))
    {
    }

    // Reads the bottom band; false when the full program must take the grab.
    bool start()
    {
        ScreenPixels band = readBand();
        if (!band.image || !(kind_ = sourcePixelsOf(band.layout, displayDepth_, depth_)))
            return false;
        layout_ = band.layout;
        if (png_) {
            if (*kind_ != bmp::SourcePixels::Xrgb32 && *kind_ != bmp::SourcePixels::Words565
                && *kind_ != bmp::SourcePixels::Words555)
                return false; // pixels with alpha: the full program writes those
            encoder_.emplace(width_, height_, *kind_);
        }
        if (keptPixelsOf(layout_, displayDepth_).words != layout_)
            converted_.resize(std::size_t(width_) * std::size_t(bandRows_));
        first_ = std::move(band);
        if (png_)
            return true;
        const std::size_t headers = bmp::headersSize(depth_), row = bmp::rowSize(width_, depth_);
        // Made in full before any byte is written.
        buffer_.resize(headers + row * std::size_t(bandRows_));
        bmp::writeHeaders({nullptr, 0, width_, height_, *kind_}, {depth_}, buffer_.data());
        return true;
    }

    // The next piece of the file: for a bitmap the headers with the bottom band, then band after
    // band up; for a PNG what the encoder made of the next band down, possibly nothing yet.
    std::span<const std::uint8_t> next()
    {
        std::span<const std::uint8_t> piece;
        while (piece.empty() && done_ < height_)
            piece = nextBand();
        return piece;
    }

private:
    std::span<const std::uint8_t> nextBand()
    {
        const std::size_t headers = done_ == 0 && !png_ ? bmp::headersSize(depth_) : 0;
        const ScreenPixels band = done_ == 0 ? std::move(first_) : readBand();
        if (!band.image || band.layout != layout_)
            throw CannotFinish{};
        bmp::SourceRows rows{band.data(), band.bytesPerLine(), width_, band.height(), *kind_};
        if (!converted_.empty()) {
            rows.bytesPerLine = std::ptrdiff_t(width_) * 4;
            convertThroughMasks(*band.image, converted_.data(), rows.bytesPerLine);
            rows.top = reinterpret_cast<const std::uint8_t *>(converted_.data());
        }
        done_ += band.height();
        if (png_)
            return encoder_->write(rows);
        bmp::writeRows(rows, depth_, buffer_.data() + headers);
        return {buffer_.data(), headers + bmp::rowSize(width_, depth_) * std::size_t(band.height())};
    }

    ScreenPixels readBand()
    {
        const int rows = std::min(bandRows_, height_ - done_);
        return reader_.read(0, png_ ? done_ : height_ - done_ - rows, width_, rows);
    }

    X11ScreenReader reader_;
    const int width_, height_, displayDepth_, depth_;
    const bool png_;
    const int bandRows_;
    PixelLayout layout_ = PixelLayout::Other;
    std::optional<bmp::SourcePixels> kind_;
    int done_ = 0;     // rows read, from the bottom
    ScreenPixels first_;
    std::vector<std::uint8_t> buffer_;
    std::vector<std::uint32_t> converted_; // a band through its masks
    std::optional<png::RowEncoder> encoder_;
};

} // namespace

bool grabScreenToFile(const ScreenGrabRequest &request)
{
    const DisplayConnection connection;
    Display *display = connection.display;
    if (!display)
        return false;
    const int screen = DefaultScreen(display);
    if (DefaultDepth(display, screen) < 15) // a palette display: the full program refuses it
        return false;
    const int width = DisplayWidth(display, screen), height = DisplayHeight(display, screen);
    const int depth = capturedDepthOfDisplay(DefaultDepth(display, screen));
    if (!request.png && !bmp::fileSize(width, height, depth))
        return false;
    try {
        // A place that cannot take the file is refused before the wait. A device, a FIFO or a
        // descriptor (/dev/stdout) is left to the full program, as what went to one cannot be
        // taken back if a later band failed.
        const files::FileWriter file(request.output);
        if (file.WritesInPlace())
            return false;
        if (request.delayMilliseconds > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(request.delayMilliseconds));
        BandedGrab grab(display, width, height, DefaultDepth(display, screen), depth, request.png);
        if (!grab.start())
            return false;
        file.Write([&grab] { return grab.next(); });
    } catch (const files::FileError &) {
        return false;
    } catch (const CannotFinish &) {
        return false;
    } catch (const png::EncodeError &) {
        return false;
    } catch (const std::bad_alloc &) {
        return false;
    }
    std::printf("%s: %d x %d, %d bits per pixel\n", request.output.c_str(), width, height, depth);
    return true;
}

} // namespace kaptiv::front
