#include "gif/core/FrameOptimizer.h"

#include <algorithm>
#include <array>
#include <optional>

namespace kaptiv::gif {

namespace {

constexpr int MaxField = 65535;
// A screen pixel nothing is drawn on (or that was cleared), and a frame pixel that draws nothing.
constexpr std::uint32_t Clear = 0x01000000;
constexpr std::uint32_t Keeps = 0x02000000;

} // namespace

// The colour count a frame's codes must cover: one past its highest index. Codes need only be
// wide enough for the indices used, not for the whole table, and narrower codes are fewer bytes.
static int IndicesUpTo(std::span<const std::uint8_t> indices)
{
    std::uint8_t highest = 0;
    for (const std::uint8_t i : indices)
        highest = std::max(highest, i);
    return highest + 1;
}

struct FrameOptimizer::Box {
    int X0 = 0, Y0 = 0, X1 = 0, Y1 = 0;  // X1, Y1 one past
    bool Empty() const { return X1 <= X0 || Y1 <= Y0; }
    int Width() const { return X1 - X0; }
    int Height() const { return Y1 - Y0; }
};

FrameOptimizer::FrameOptimizer(int screenWidth, int screenHeight, const ColorTable *shared, int sharedCount,
                               Emit emit)
    : width_(std::max(screenWidth, 0)), height_(std::max(screenHeight, 0)), shared_(shared),
      sharedCount_(sharedCount), emit_(std::move(emit)),
      screen_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), Clear)
{
}

// A frame as it falls on the screen.
struct FrameOptimizer::Placed {
    const GifIndexedFrame &Frame;
    std::array<std::uint32_t, 256> Colors; // what each index shows; Keeps where it draws nothing
    int TableSize;
    int Disposal;
    int Left, Top; // where it would have been written
    Box Area;      // the same, cut to the screen

    std::uint8_t IndexAt(int x, int y) const
    {
        return Frame.Indices[static_cast<std::size_t>(y - Top) * static_cast<std::size_t>(Frame.Width) +
                             static_cast<std::size_t>(x - Left)];
    }
};

FrameOptimizer::Placed FrameOptimizer::Place(const GifIndexedFrame &frame) const
{
    const ColorTable &table = frame.LocalColors ? *frame.LocalColors : *shared_;
    const int count = frame.LocalColors ? frame.LocalCount : sharedCount_;
    std::array<std::uint32_t, 256> colors;
    for (int i = 0; i < 256; ++i)
        colors[static_cast<std::size_t>(i)] = std::uint32_t{table[3 * i]} << 16 | std::uint32_t{table[3 * i + 1]} << 8 |
                                              table[3 * i + 2];
    if (frame.TransparentIndex >= 0 && frame.TransparentIndex < 256)
        colors[static_cast<std::size_t>(frame.TransparentIndex)] = Keeps;
    const int left = std::clamp(frame.Left, 0, MaxField), top = std::clamp(frame.Top, 0, MaxField);
    return {frame,
            colors,
            1 << ColorBits(count),
            frame.Disposal >= 0 && frame.Disposal <= 3 ? frame.Disposal : 0,
            left,
            top,
            {std::min(left, width_), std::min(top, height_), std::min(left + frame.Width, width_),
             std::min(top + frame.Height, height_)}};
}

std::uint32_t &FrameOptimizer::ScreenAt(int x, int y)
{
    return screen_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)];
}

void FrameOptimizer::Add(const GifIndexedFrame &frame)
{
    const Placed placed = Place(frame);
    const Box &area = placed.Area;

    // The rectangle of the pixels this frame changes on screen.
    Box changed{width_, height_, 0, 0};
    for (int y = area.Y0; y < area.Y1; ++y)
        for (int x = area.X0; x < area.X1; ++x) {
            const std::uint32_t c = placed.Colors[placed.IndexAt(x, y)];
            if (c != Keeps && c != ScreenAt(x, y)) {
                changed.X0 = std::min(changed.X0, x);
                changed.X1 = std::max(changed.X1, x + 1);
                changed.Y0 = std::min(changed.Y0, y);
                changed.Y1 = std::max(changed.Y1, y + 1);
            }
        }
    // A frame restoring the background changes the screen after it unless its rectangle is clear.
    bool clearsNothing = true;
    if (placed.Disposal == 2)
        for (int y = area.Y0; y < area.Y1 && clearsNothing; ++y)
            for (int x = area.X0; x < area.X1 && clearsNothing; ++x)
                clearsNothing = ScreenAt(x, y) == Clear;

    GifIndexedFrame out;
    out.LocalColors = frame.LocalColors;
    out.LocalCount = frame.LocalCount;
    out.Disposal = frame.Disposal;
    out.Delay = std::clamp(frame.Delay, 0, MaxField);
    out.Interlaced = frame.Interlaced;
    out.Comment = frame.Comment;
    if (changed.Empty() && clearsNothing) {
        AddUnchanged(placed, out);
        return;
    }
    // Restoring the background clears the frame's whole rectangle, so it keeps that rectangle.
    CodeSmallest(placed, placed.Disposal == 2 && !area.Empty() ? area : changed, out);

    // The screen as the frame given would leave it.
    if (placed.Disposal == 2) {
        for (int y = area.Y0; y < area.Y1; ++y)
            std::fill_n(&ScreenAt(area.X0, y), area.Width(), Clear);
    } else if (placed.Disposal != 3) {
        for (int y = area.Y0; y < area.Y1; ++y)
            for (int x = area.X0; x < area.X1; ++x) {
                const std::uint32_t c = placed.Colors[placed.IndexAt(x, y)];
                if (c != Keeps)
                    ScreenAt(x, y) = c;
            }
    }
    Hold(out, first_);
}

void FrameOptimizer::AddUnchanged(const Placed &placed, GifIndexedFrame &out)
{
    // Nothing changes: the frame before shows for longer, if it leaves the screen as it shows it.
    const int before = hasPending_ ? pending_.Frame.Disposal : -1;
    if (placed.Frame.Comment.empty() && (before == 0 || before == 1 || before > 3) &&
        pending_.Frame.Delay + out.Delay <= MaxField) {
        pending_.Frame.Delay += out.Delay;
        return;
    }
    // One transparent pixel keeps the frame's comment and delay in their place.
    out.Left = placed.Area.Empty() ? 0 : placed.Area.X0;
    out.Top = placed.Area.Empty() ? 0 : placed.Area.Y0;
    out.Width = width_ > 0 && height_ > 0 ? 1 : 0;
    out.Height = out.Width;
    crop_.assign(static_cast<std::size_t>(out.Width), 0);
    out.TransparentIndex = 0;
    out.Indices = crop_;
    first_.clear();
    CompressIndexedFrame(out, 1, first_, scratch_);
    Hold(out, first_);
}

void FrameOptimizer::CodeSmallest(const Placed &placed, const Box &stored, GifIndexedFrame &out)
{
    const std::array<std::uint32_t, 256> &colors = placed.Colors;
    // The frame as given, cut to the rectangle.
    out.Left = stored.X0;
    out.Top = stored.Y0;
    out.Width = stored.Width();
    out.Height = stored.Height();
    crop_.resize(static_cast<std::size_t>(out.Width) * static_cast<std::size_t>(out.Height));
    std::array<bool, 256> used{};
    int same = 0;  // pixels drawn in the colour already shown
    for (int y = stored.Y0; y < stored.Y1; ++y)
        for (int x = stored.X0; x < stored.X1; ++x) {
            const std::uint8_t index = placed.IndexAt(x, y);
            crop_[static_cast<std::size_t>(y - stored.Y0) * static_cast<std::size_t>(out.Width) +
                  static_cast<std::size_t>(x - stored.X0)] = index;
            const std::uint32_t c = colors[index];
            if (c == Keeps)
                continue;
            if (c == ScreenAt(x, y))
                ++same;
            else
                used[index] = true;
        }
    const int transparent = placed.Frame.TransparentIndex;
    out.TransparentIndex = transparent;
    out.Indices = crop_;
    first_.clear();
    CompressIndexedFrame(out, IndicesUpTo(crop_), first_, scratch_);

    // The same with every pixel that keeps its colour made transparent, when an index is free
    // for that: the frame's own transparent index, else one past the colours, else one unused.
    // (The lowest free one: codes are as narrow as the highest index a frame uses allows.)
    int free = transparent < placed.TableSize ? transparent : NoTransparentIndex;
    for (int i = 0; free < 0 && i < placed.TableSize; ++i)
        if (!used[static_cast<std::size_t>(i)])
            free = i;
    std::optional<Hiding> best;
    if (same > 0 && free >= 0) {
        const auto t = static_cast<std::uint8_t>(free);
        for (const Hiding hiding : {Hiding::All, Hiding::AfterOtherColour, Hiding::InsideHoles, Hiding::FewestRunsHoles,
                                    Hiding::FewestRunsColours}) {
            Hide(stored, colors, t, hiding);
            GifIndexedFrame variant = out;
            variant.TransparentIndex = free;
            variant.Indices = holes_;
            second_.clear();
            CompressIndexedFrame(variant, IndicesUpTo(holes_), second_, scratch_);
            if (second_.size() < first_.size()) {
                first_.swap(second_);
                out.TransparentIndex = free;
                best = hiding;
            }
        }
    }
    // The way chosen, coded again with the slower coder that saves more on large frames.
    if (best)
        Hide(stored, colors, static_cast<std::uint8_t>(free), *best);
    const std::span<const std::uint8_t> chosen = best ? std::span<const std::uint8_t>(holes_) : crop_;
    GifIndexedFrame final = out;
    final.Indices = chosen;
    second_.clear();
    CompressIndexedFrame(final, IndicesUpTo(chosen), second_, scratch_, LzwCoding::Smallest);
    if (second_.size() < first_.size())
        first_.swap(second_);
}

void FrameOptimizer::Hide(const Box &box, const std::array<std::uint32_t, 256> &colors, std::uint8_t t, Hiding hiding)
{
    holes_.resize(crop_.size());
    if (hiding == Hiding::FewestRunsHoles || hiding == Hiding::FewestRunsColours) {
        FewestRuns(box, colors, t, hiding == Hiding::FewestRunsHoles);
        return;
    }
    std::size_t n = 0;
    for (int y = box.Y0; y < box.Y1; ++y) {
        std::uint8_t before = t;
        for (int x = box.X0; x < box.X1; ++x, ++n) {
            const std::uint8_t index = crop_[n];
            const std::uint32_t c = colors[index];
            std::uint8_t chosen = index;
            if (c == Keeps)
                chosen = t;
            else if (c == screen_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)])
                chosen = hiding == Hiding::All                ? t
                         : hiding == Hiding::AfterOtherColour ? (before == index ? index : t)
                                                              : (before == t ? t : index);
            holes_[n] = before = chosen;
        }
    }
}

// Chooses, for each pixel that may be either transparent or its own colour, the one that makes
// the fewest changes from one index to the next along the rows (a shortest path over the two
// choices per pixel), so runs are as long as they can be.
void FrameOptimizer::FewestRuns(const Box &box, const std::array<std::uint32_t, 256> &colors, std::uint8_t t,
                                bool preferTransparent)
{
    const std::size_t count = crop_.size();
    choice_.resize(count);  // per pixel: which choice the best path to its other choice came from
    // cost[0]: ending in the pixel's own index, cost[1]: ending transparent.
    constexpr int Never = 1 << 30;
    int cost[2] = {Never, 0};
    std::uint8_t lastIndex = t;
    std::size_t n = 0;
    for (int y = box.Y0; y < box.Y1; ++y)
        for (int x = box.X0; x < box.X1; ++x, ++n) {
            const std::uint8_t index = crop_[n];
            const std::uint32_t c = colors[index];
            const bool mayOwn = c != Keeps;
            const bool mayHide = c == Keeps || c == screen_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)];
            int next[2] = {Never, Never};
            std::uint8_t from = 0;
            if (mayOwn) {
                const int viaOwn = cost[0] + (lastIndex != index);
                const int viaHide = cost[1] + (t != index);
                const bool hide = viaHide < viaOwn || (viaHide == viaOwn && preferTransparent);
                next[0] = std::min(viaOwn, viaHide);
                from |= hide ? 1 : 0;
            }
            if (mayHide) {
                const int viaOwn = cost[0] + (lastIndex != t);
                const int viaHide = cost[1];
                const bool hide = viaHide < viaOwn || (viaHide == viaOwn && preferTransparent);
                next[1] = std::min(viaOwn, viaHide);
                from |= hide ? 2 : 0;
            }
            choice_[n] = from;
            cost[0] = next[0];
            cost[1] = next[1];
            lastIndex = index;
        }
    // Back from the cheaper end.
    int state = cost[1] < cost[0] || (cost[1] == cost[0] && preferTransparent) ? 1 : 0;
    for (std::size_t k = count; k-- > 0;) {
        holes_[k] = state == 1 ? t : crop_[k];
        state = (choice_[k] >> state) & 1;
    }
}

void FrameOptimizer::Hold(const GifIndexedFrame &frame, std::vector<std::uint8_t> &data)
{
    Release();
    pending_.Frame = frame;
    pending_.Frame.Indices = {};
    if (frame.LocalColors) {
        pending_.Local = *frame.LocalColors;
        pending_.Frame.LocalColors = &pending_.Local;
    }
    pending_.Comment.assign(frame.Comment);
    pending_.Frame.Comment = pending_.Comment;
    pending_.Data.swap(data);
    hasPending_ = true;
}

void FrameOptimizer::Release()
{
    if (!hasPending_)
        return;
    emit_(pending_.Frame, pending_.Data);
    hasPending_ = false;
}

void FrameOptimizer::Finish()
{
    Release();
}

} // namespace kaptiv::gif
