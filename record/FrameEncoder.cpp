#include "record/FrameEncoder.h"

#include "gif/core/ColorReducer.h"

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
    start.Optimize = true;
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

FrameEncoder::Added FrameEncoder::add(const std::uint32_t *pixels, std::int64_t index, std::vector<std::uint8_t> &out)
{
    // Only the rectangle that changed is mapped and held: a frame that changes a line of text
    // costs that line, and one that changes nothing costs a comparison.
    const Rect rect = hasFrames() ? changedRect(pixels) : Rect{0, 0, width_, height_};
    if (rect.width == 0)
        return Added::Unchanged;

    const gif::BgrxPixels area{reinterpret_cast<const std::uint8_t *>(pixels + std::size_t(rect.top) * width_ + rect.left),
                               rect.width, rect.height, std::ptrdiff_t(width_) * 4};
    indices_.resize(std::size_t(rect.width) * std::size_t(rect.height));
    palette_.Clear();
    int transparentIndex = gif::NoTransparentIndex;
    gif::ColorTable colors{};
    int colorCount = 0;
    if (!gif::MapFramePixels(area, false, -1, palette_, indices_, transparentIndex)) {
        if (colors_ != ColorMode::Adaptive) {
            message_ = "a frame has more than 256 colours";
            return Added::Refused;
        }
        // An adaptive table for the rectangle; the dithering is anchored at the screen's corner,
        // so a pixel keeps its index while its colour stays.
        gif::ColorHistogram histogram;
        histogram.Add(area);
        gif::PaletteMapper mapper(gif::ChoosePalette(histogram));
        mapper.Map(area, dither_, indices_.data(), rect.width, rect.left, rect.top);
        colors = mapper.Table().Colors;
        colorCount = mapper.Table().Count;
        ++reducedFrames_;
    } else {
        colors = palette_.Table();
        colorCount = palette_.Count();
    }

    if (hasFrames())
        writePending(index);
    take(out);
    for (int y = rect.top; y < rect.top + rect.height; ++y)
        std::memcpy(&shown_[std::size_t(y) * width_ + rect.left], pixels + std::size_t(y) * width_ + rect.left,
                    std::size_t(rect.width) * 4);
    std::swap(pending_, indices_);
    pendingColors_ = colors;
    pendingCount_ = colorCount;
    pendingRect_ = rect;
    pendingIndex_ = index;
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
    frame.Disposal = 1; // left in place: the next frame draws only what changed over it
    frame.Delay = int(std::min<std::int64_t>(delay, MaxDelayCs));
    writer_->AddIndexedFrame(frame);
    ++framesWritten_;
    // Longer than one block holds: one pixel drawn again as it is carries the rest of the time.
    for (delay -= MaxDelayCs; delay > 0; delay -= MaxDelayCs) {
        gif::PaletteBuilder one;
        const std::uint8_t index = std::uint8_t(one.IndexOf(shown_[0] & 0xFFFFFF));
        gif::GifIndexedFrame still;
        still.Width = still.Height = 1;
        still.Indices = std::span<const std::uint8_t>(&index, 1);
        still.LocalColors = &one.Table();
        still.LocalCount = 1;
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
