#include "record/FrameEncoder.h"

#include <algorithm>
#include <cstring>

namespace kaptiv::record {

FrameEncoder::FrameEncoder(int width, int height, int fps, ColorMode colors, bool dither)
    : width_(width), height_(height), fps_(std::clamp(fps, 1, 100)), colors_(colors), dither_(dither),
      writer_(std::make_unique<gif::GifStreamWriter>(bytes_)), shown_(std::size_t(width) * std::size_t(height))
{
}

void FrameEncoder::take(std::vector<std::uint8_t> &out)
{
    out.insert(out.end(), bytes_.begin(), bytes_.end());
    bytes_.clear();
}

void FrameEncoder::begin(std::vector<std::uint8_t> &out)
{
    gif::GifStreamStart start;
    start.Width = width_;
    start.Height = height_;
    start.Looping = true;
    start.Loop = 0; // for ever
    start.Optimize = false; // the encoder stores each frame as its change itself
    start.Coding = coding_;
    writer_->Begin(start);
    take(out);
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

bool FrameEncoder::mapExact(const std::uint32_t *pixels, const Rect &rect, bool first)
{
    palette_.Clear();
    const std::size_t count = std::size_t(rect.width) * std::size_t(rect.height);
    indices_.resize(count);
    const gif::BgrxPixels area{reinterpret_cast<const std::uint8_t *>(pixels + std::size_t(rect.top) * width_ + rect.left),
                               rect.width, rect.height, std::ptrdiff_t(width_) * 4};
    // Every pixel of the rectangle drawn with its own colour, no index kept for transparency.
    const auto mapWhole = [&] {
        int unused = gif::NoTransparentIndex;
        if (!gif::MapFramePixels(area, false, -1, palette_, indices_, unused))
            return false;
        colours_ = palette_.Table();
        colorCount_ = palette_.Count();
        transparent_ = false;
        return true;
    };
    if (first)
        return mapWhole(); // nothing is drawn yet, so every pixel is drawn
    // Index 0 is transparent, a changed colour is its entry in palette_ plus one. A still pixel
    // of the colour drawn just before it (on its left, or at the end of the row above) repeats
    // that index rather than breaking the run with a transparent one: the compressor codes runs,
    // and the pixel shows its own colour either way.
    constexpr std::uint32_t NoColour = 0xFFFFFFFF; // pixels hold 24 bits, so none has it
    std::uint8_t *out = indices_.data();
    std::uint8_t last = 0;
    std::uint32_t lastColour = NoColour;
    bool full = false; // a 256th changed colour: no index is left for transparency
    for (int y = rect.top; y < rect.top + rect.height; ++y) {
        const std::uint32_t *now = pixels + std::size_t(y) * width_ + rect.left;
        const std::uint32_t *before = &shown_[std::size_t(y) * width_ + rect.left];
        for (int x = 0; x < rect.width; ++x) {
            const std::uint32_t p = now[x];
            if (p == before[x]) {
                if (p != lastColour) {
                    last = 0;
                    lastColour = NoColour;
                }
            } else if (p != lastColour) {
                const int index = palette_.IndexOf(p);
                if (index < 0)
                    return false;
                full = full || index == 255;
                last = std::uint8_t(index + 1);
                lastColour = p;
            }
            *out++ = last;
        }
    }
    if (full) {
        // 256 colours changed: the rectangle is written whole, when its still pixels bring no
        // colour beyond those.
        return mapWhole();
    }
    colours_.fill(0);
    std::copy_n(palette_.Table().begin(), 3 * palette_.Count(), colours_.begin() + 3);
    colorCount_ = palette_.Count() + 1;
    transparent_ = true;
    return true;
}

void FrameEncoder::mapReduced(const std::uint32_t *pixels, const Rect &rect, bool first)
{
    const gif::BgrxPixels area{reinterpret_cast<const std::uint8_t *>(pixels + std::size_t(rect.top) * width_ + rect.left),
                               rect.width, rect.height, std::ptrdiff_t(width_) * 4};
    if (histogram_)
        histogram_->Clear();
    else
        histogram_ = std::make_unique<gif::ColorHistogram>();
    // The table is chosen for the pixels that change; the still ones keep what they show.
    if (first) {
        histogram_->Add(area);
    } else {
        changedPixels_.clear();
        for (int y = rect.top; y < rect.top + rect.height; ++y) {
            const std::uint32_t *now = pixels + std::size_t(y) * width_ + rect.left;
            const std::uint32_t *before = &shown_[std::size_t(y) * width_ + rect.left];
            for (int x = 0; x < rect.width; ++x)
                if (now[x] != before[x])
                    changedPixels_.push_back(now[x]);
        }
        histogram_->Add({reinterpret_cast<const std::uint8_t *>(changedPixels_.data()), int(changedPixels_.size()), 1,
                         std::ptrdiff_t(changedPixels_.size()) * 4});
    }
    // The dithering is anchored at the screen's corner, so a pixel's index depends only on its
    // colour and place.
    gif::PaletteMapper mapper(gif::ChoosePalette(*histogram_, first ? 256 : 255));
    indices_.resize(std::size_t(rect.width) * std::size_t(rect.height));
    mapper.Map(area, dither_, indices_.data(), rect.width, rect.left, rect.top);
    const gif::Palette &table = mapper.Table();
    ++reducedFrames_;
    if (first) {
        colours_ = table.Colors;
        colorCount_ = table.Count;
        transparent_ = false;
        return;
    }
    std::uint8_t *index = indices_.data();
    for (int y = rect.top; y < rect.top + rect.height; ++y) {
        const std::uint32_t *now = pixels + std::size_t(y) * width_ + rect.left;
        const std::uint32_t *before = &shown_[std::size_t(y) * width_ + rect.left];
        for (int x = 0; x < rect.width; ++x, ++index)
            *index = now[x] == before[x] ? 0 : std::uint8_t(*index + 1);
    }
    colours_.fill(0);
    std::copy_n(table.Colors.begin(), 3 * table.Count, colours_.begin() + 3);
    colorCount_ = table.Count + 1;
    transparent_ = true;
}

FrameEncoder::Added FrameEncoder::add(const std::uint32_t *pixels, std::int64_t index, std::vector<std::uint8_t> &out)
{
    // Only the rectangle that changed is mapped and held: a frame that changes a line of text
    // costs that line, and one that changes nothing costs a comparison.
    const bool first = !hasFrames();
    const Rect rect = first ? Rect{0, 0, width_, height_} : changedRect(pixels);
    if (rect.width == 0)
        return Added::Unchanged;
    if (!mapExact(pixels, rect, first)) {
        if (colors_ != ColorMode::Adaptive) {
            message_ = "a frame has more than 256 colours";
            return Added::Refused;
        }
        mapReduced(pixels, rect, first);
    }

    if (!first)
        writePending(index);
    take(out);
    for (int y = rect.top; y < rect.top + rect.height; ++y)
        std::memcpy(&shown_[std::size_t(y) * width_ + rect.left], pixels + std::size_t(y) * width_ + rect.left,
                    std::size_t(rect.width) * 4);
    std::swap(pending_, indices_);
    pendingColors_ = colours_;
    pendingCount_ = colorCount_;
    pendingTransparent_ = transparent_;
    pendingRect_ = rect;
    pendingIndex_ = index;
    ++framesWritten_;
    return Added::NewFrame;
}

void FrameEncoder::writePending(std::int64_t endIndex)
{
    std::int64_t delay = dueHundredths(endIndex, fps_) - dueHundredths(pendingIndex_, fps_);
    gif::GifIndexedFrame frame;
    frame.Left = pendingRect_.left;
    frame.Top = pendingRect_.top;
    frame.Width = pendingRect_.width;
    frame.Height = pendingRect_.height;
    frame.Indices = pending_;
    frame.LocalColors = &pendingColors_;
    frame.LocalCount = std::max(pendingCount_, 1);
    frame.TransparentIndex = pendingTransparent_ ? 0 : gif::NoTransparentIndex;
    frame.Disposal = 1; // left in place: the next frame draws only what changed over it
    frame.Delay = int(std::min<std::int64_t>(delay, MaxDelayCs));
    writer_->AddIndexedFrame(frame);
    // Longer than one block holds: a transparent pixel carries the rest of the time.
    for (delay -= MaxDelayCs; delay > 0; delay -= MaxDelayCs) {
        static const gif::ColorTable none{};
        const std::uint8_t transparent = 0;
        gif::GifIndexedFrame still;
        still.Width = still.Height = 1;
        still.Indices = std::span<const std::uint8_t>(&transparent, 1);
        still.LocalColors = &none;
        still.LocalCount = 1;
        still.TransparentIndex = 0;
        still.Disposal = 1;
        still.Delay = int(std::min<std::int64_t>(delay, MaxDelayCs));
        writer_->AddIndexedFrame(still);
    }
    durationCs_ = dueHundredths(endIndex, fps_);
}

void FrameEncoder::finish(std::int64_t endIndex, std::vector<std::uint8_t> &out)
{
    if (!hasFrames())
        return;
    writePending(std::max(endIndex, pendingIndex_ + 1));
    writer_->Finish();
    take(out);
}

} // namespace kaptiv::record
