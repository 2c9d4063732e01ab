#include "record/FrameEncoder.h"

#include "gif/core/GifWriter.h"
#include "gif/core/LzwEncoder.h"

#include <algorithm>
#include <cstring>

namespace kaptiv::record {

namespace {

void putWord(std::vector<std::uint8_t> &s, int value)
{
    s.push_back(static_cast<std::uint8_t>(value));
    s.push_back(static_cast<std::uint8_t>(value >> 8));
}

// Leave the frame in place (disposal 1): the next frame draws only what changed over it.
void putGraphicControl(std::vector<std::uint8_t> &s, int delayCs)
{
    s.insert(s.end(), {0x21, 0xF9, 0x04, 1 << 2});
    putWord(s, delayCs);
    s.insert(s.end(), {0x00, 0x00});
}

void putImage(std::vector<std::uint8_t> &s, int left, int top, int width, int height,
              const gif::PaletteBuilder &palette, std::span<const std::uint8_t> indices)
{
    const int bits = gif::ColorBits(std::max(palette.Count(), 2));
    s.push_back(0x2C);
    putWord(s, left);
    putWord(s, top);
    putWord(s, width);
    putWord(s, height);
    s.push_back(static_cast<std::uint8_t>(0x80 | (bits - 1)));
    s.insert(s.end(), palette.Table().begin(), palette.Table().begin() + 3 * (1 << bits));
    gif::CompressFrame(indices, palette.Count(), s);
}

} // namespace

FrameEncoder::FrameEncoder(int width, int height, int fps, ColorMode colors, bool dither)
    : width_(width), height_(height), fps_(std::clamp(fps, 1, 100)), colors_(colors), dither_(dither),
      shown_(std::size_t(width) * std::size_t(height))
{
}

void FrameEncoder::begin(std::vector<std::uint8_t> &out)
{
    static constexpr char Header[] = "GIF89a";
    out.insert(out.end(), Header, Header + 6);
    putWord(out, width_);
    putWord(out, height_);
    out.insert(out.end(), {0x00, 0x00, 0x00}); // no global table: every frame brings its own
    static constexpr char Looping[] = "NETSCAPE2.0";
    out.insert(out.end(), {0x21, 0xFF, 0x0B});
    out.insert(out.end(), Looping, Looping + 11);
    out.insert(out.end(), {0x03, 0x01, 0x00, 0x00, 0x00}); // repeat for ever
}

FrameEncoder::Rect FrameEncoder::changedRect(const std::uint32_t *pixels) const
{
    const std::size_t rowBytes = std::size_t(width_) * 4;
    int top = 0;
    while (top < height_ && std::memcmp(pixels + std::size_t(top) * width_, &shown_[std::size_t(top) * width_], rowBytes) == 0)
        ++top;
    if (top == height_)
        return {};
    int bottom = height_ - 1;
    while (std::memcmp(pixels + std::size_t(bottom) * width_, &shown_[std::size_t(bottom) * width_], rowBytes) == 0)
        --bottom;
    int left = width_, right = -1;
    for (int y = top; y <= bottom; ++y) {
        const std::uint32_t *a = pixels + std::size_t(y) * width_;
        const std::uint32_t *b = &shown_[std::size_t(y) * width_];
        int x = 0;
        while (x < left && a[x] == b[x])
            ++x;
        left = std::min(left, x);
        x = width_ - 1;
        while (x > right && a[x] == b[x])
            --x;
        right = std::max(right, x);
    }
    return {left, top, right - left + 1, bottom - top + 1};
}

FrameEncoder::Added FrameEncoder::add(const std::uint32_t *pixels, std::int64_t index, std::vector<std::uint8_t> &out)
{
    const Rect rect = hasFrames() ? changedRect(pixels) : Rect{0, 0, width_, height_};
    if (rect.width == 0)
        return Added::Unchanged;

    const gif::BgrxPixels area{reinterpret_cast<const std::uint8_t *>(pixels + std::size_t(rect.top) * width_ + rect.left),
                               rect.width, rect.height, std::ptrdiff_t(width_) * 4};
    indices_.resize(std::size_t(rect.width) * std::size_t(rect.height));
    palette_.Clear();
    int transparentIndex = gif::NoTransparentIndex;
    if (!gif::MapFramePixels(area, false, -1, palette_, indices_, transparentIndex)) {
        message_ = "a frame has more than 256 colours";
        return Added::Refused;
    }

    if (hasFrames())
        writePending(index, out);
    for (int y = rect.top; y < rect.top + rect.height; ++y)
        std::memcpy(&shown_[std::size_t(y) * width_ + rect.left], pixels + std::size_t(y) * width_ + rect.left,
                    std::size_t(rect.width) * 4);
    pending_.clear();
    putImage(pending_, rect.left, rect.top, rect.width, rect.height, palette_, indices_);
    pendingIndex_ = index;
    return Added::NewFrame;
}

void FrameEncoder::writePending(std::int64_t endIndex, std::vector<std::uint8_t> &out)
{
    std::int64_t delay = dueHundredths(endIndex, fps_) - dueHundredths(pendingIndex_, fps_);
    putGraphicControl(out, int(std::min<std::int64_t>(delay, MaxDelayCs)));
    out.insert(out.end(), pending_.begin(), pending_.end());
    ++framesWritten_;
    // Longer than one block holds: one pixel drawn again as it is carries the rest of the time.
    for (delay -= MaxDelayCs; delay > 0; delay -= MaxDelayCs) {
        putGraphicControl(out, int(std::min<std::int64_t>(delay, MaxDelayCs)));
        gif::PaletteBuilder one;
        std::uint8_t index = std::uint8_t(one.IndexOf(shown_[0] & 0xFFFFFF));
        putImage(out, 0, 0, 1, 1, one, std::span<const std::uint8_t>(&index, 1));
    }
    durationCs_ = dueHundredths(endIndex, fps_);
}

void FrameEncoder::finish(std::int64_t endIndex, std::vector<std::uint8_t> &out)
{
    if (!hasFrames())
        return;
    writePending(std::max(endIndex, pendingIndex_ + 1), out);
    gif::WriteComment(gif::CreditText, out);
    out.push_back(0x3B);
}

} // namespace kaptiv::record
