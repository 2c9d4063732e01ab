#include "record/X11AreaSource.h"

#include "platform/x11/X11Errors.h"
#include "platform/x11/X11ScreenReader.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <X11/extensions/Xfixes.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace kaptiv::record {

namespace {

struct DisplayCloser {
    void operator()(Display *display) const { XCloseDisplay(display); }
};

class X11AreaSource final : public AreaSource {
public:
    X11AreaSource(const AreaSourceOptions &options, Display *display)
        : options_(options), display_(display), reader_(std::make_unique<X11ScreenReader>(display))
    {
        int error = 0, major = 0, minor = 0;
        damageEvents_ = -1;
        // The server takes a client's requests of the versions it asked for, so both are asked.
        const bool fixes = XFixesQueryExtension(display, &error, &error) && XFixesQueryVersion(display, &major, &minor)
            && major >= 2;
        if (fixes && XDamageQueryExtension(display, &damageEvents_, &error)
            && XDamageQueryVersion(display, &major, &minor)) {
            damage_ = XDamageCreate(display, DefaultRootWindow(display), XDamageReportNonEmpty);
            parts_ = XFixesCreateRegion(display, nullptr, 0);
        }
    }

    ~X11AreaSource() override
    {
        if (damage_)
            XDamageDestroy(display_.get(), damage_);
        if (parts_)
            XFixesDestroyRegion(display_.get(), parts_);
        reader_.reset(); // gives the shared memory back before the connection closes
    }

    int width() const override { return options_.width; }
    int height() const override { return options_.height; }

    bool changed() override
    {
        bool changed = first_;
        first_ = false;
        if (!damage_)
            return true; // without DAMAGE every due time is read; equal frames cost no bytes
        Display *display = display_.get();
        bool damaged = false;
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            damaged = damaged || event.type == damageEvents_ + XDamageNotify;
        }
        if (damaged) {
            // What was drawn since the last look, taken out of the damage so the next drawing
            // reports again; only drawing that touches the area counts.
            XDamageSubtract(display, damage_, None, parts_);
            int count = 0;
            XRectangle *rects = XFixesFetchRegion(display, parts_, &count);
            for (int i = 0; i < count && !changed; ++i)
                changed = rects[i].x < options_.x + options_.width && rects[i].x + rects[i].width > options_.x
                    && rects[i].y < options_.y + options_.height && rects[i].y + rects[i].height > options_.y;
            if (rects)
                XFree(rects);
        }
        if (options_.includeCursor)
            changed = cursorChanged() || changed;
        return changed;
    }

    bool grab(std::uint32_t *out) override
    {
        const ScreenPixels pixels = reader_->read(options_.x, options_.y, options_.width, options_.height);
        if (!pixels.image)
            return false;
        const std::size_t w = std::size_t(options_.width);
        if (pixels.layout == PixelLayout::Bgrx32) {
            for (int y = 0; y < options_.height; ++y) {
                const auto *row = reinterpret_cast<const std::uint32_t *>(pixels.data() + y * pixels.bytesPerLine());
                std::uint32_t *to = out + y * w;
                for (std::size_t x = 0; x < w; ++x)
                    to[x] = row[x] & 0xFFFFFF; // the spare byte may hold anything
            }
        } else {
            convertThroughMasks(*pixels.image, out, std::ptrdiff_t(w) * 4);
            for (std::size_t i = 0; i < w * std::size_t(options_.height); ++i)
                out[i] &= 0xFFFFFF;
        }
        if (options_.includeCursor)
            stampCursor(out);
        return true;
    }

private:
    // The pointer's image and place, asked for at every due time: neither moving nor changing
    // the pointer damages the screen.
    bool cursorChanged()
    {
        XFixesCursorImage *image = XFixesGetCursorImage(display_.get());
        if (!image)
            return false;
        const bool changed = !cursor_ || image->x != cursor_->x || image->y != cursor_->y
            || image->cursor_serial != cursor_->cursor_serial;
        cursor_.reset(image);
        return changed && touchesArea();
    }

    bool touchesArea() const
    {
        const int left = cursor_->x - cursor_->xhot, top = cursor_->y - cursor_->yhot;
        return left < options_.x + options_.width && left + cursor_->width > options_.x
            && top < options_.y + options_.height && top + cursor_->height > options_.y;
    }

    // The cursor's pixels are premultiplied by their alpha (one 32-bit value in each long).
    void stampCursor(std::uint32_t *out)
    {
        if (!cursor_)
            cursorChanged();
        if (!cursor_ || !touchesArea())
            return;
        const int left = cursor_->x - cursor_->xhot - options_.x, top = cursor_->y - cursor_->yhot - options_.y;
        for (int cy = 0; cy < cursor_->height; ++cy) {
            const int y = top + cy;
            if (y < 0 || y >= options_.height)
                continue;
            for (int cx = 0; cx < cursor_->width; ++cx) {
                const int x = left + cx;
                if (x < 0 || x >= options_.width)
                    continue;
                const auto c = std::uint32_t(cursor_->pixels[cy * cursor_->width + cx]);
                const std::uint32_t alpha = c >> 24;
                if (alpha == 0)
                    continue;
                std::uint32_t &p = out[std::size_t(y) * std::size_t(options_.width) + std::size_t(x)];
                std::uint32_t blended = 0;
                for (int shift = 0; shift < 24; shift += 8) {
                    const std::uint32_t over = (c >> shift) & 0xFF, under = (p >> shift) & 0xFF;
                    blended |= std::min<std::uint32_t>(255, over + (under * (255 - alpha) + 127) / 255) << shift;
                }
                p = blended;
            }
        }
    }

    struct CursorFree {
        void operator()(XFixesCursorImage *image) const { XFree(image); }
    };

    AreaSourceOptions options_;
    std::unique_ptr<Display, DisplayCloser> display_;
    std::unique_ptr<X11ScreenReader> reader_;
    int damageEvents_ = 0;
    Damage damage_ = 0;
    XserverRegion parts_ = 0;
    bool first_ = true;
    std::unique_ptr<XFixesCursorImage, CursorFree> cursor_;
};

} // namespace

std::unique_ptr<AreaSource> openX11AreaSource(const AreaSourceOptions &options)
{
    recordXErrors();
    Display *display = XOpenDisplay(options.display.empty() ? nullptr : options.display.c_str());
    if (!display)
        throw std::runtime_error("cannot open display " + (options.display.empty() ? std::string("$DISPLAY") : options.display));
    std::unique_ptr<Display, DisplayCloser> owner(display);
    const int screenWidth = DisplayWidth(display, DefaultScreen(display));
    const int screenHeight = DisplayHeight(display, DefaultScreen(display));
    if (options.width < 1 || options.height < 1 || options.x < 0 || options.y < 0
        || options.x + options.width > screenWidth || options.y + options.height > screenHeight)
        throw std::runtime_error("the area " + std::to_string(options.x) + "," + std::to_string(options.y) + ","
                                 + std::to_string(options.width) + "," + std::to_string(options.height)
                                 + " does not lie on the " + std::to_string(screenWidth) + " x "
                                 + std::to_string(screenHeight) + " screen");
    if (options.width > 65535 || options.height > 65535)
        throw std::runtime_error("the area is larger than a GIF file holds");
    return std::make_unique<X11AreaSource>(options, owner.release());
}

} // namespace kaptiv::record
