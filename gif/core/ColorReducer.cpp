#include "gif/core/ColorReducer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>

namespace kaptiv::gif {

namespace {

constexpr int CellOf(std::uint32_t rgb)
{
    constexpr int shift = 8 - ColorHistogram::LevelBits;
    return int(((rgb >> (16 + shift)) & 63) << 12 | ((rgb >> (8 + shift)) & 63) << 6 | ((rgb >> shift) & 63));
}

} // namespace

// ---- histogram --------------------------------------------------------------------------------

ColorHistogram::ColorHistogram() : cells_(std::size_t(Levels) * Levels * Levels) {}
ColorHistogram::~ColorHistogram() = default;
ColorHistogram::ColorHistogram(ColorHistogram &&) noexcept = default;
ColorHistogram &ColorHistogram::operator=(ColorHistogram &&) noexcept = default;

void ColorHistogram::Add(const BgrxPixels &pixels, std::optional<std::uint32_t> skipRgb)
{
    const std::uint32_t skip = skipRgb ? *skipRgb : 0xFFFFFFFF;
    for (int y = 0; y < pixels.Height; ++y) {
        const std::uint8_t *p = pixels.Data + std::ptrdiff_t(y) * pixels.Stride;
        // A run of one colour is counted once: screens are mostly runs.
        std::uint32_t run = BgrxColor(p);
        std::uint32_t length = 0;
        auto count = [&] {
            if (run == skip || length == 0)
                return;
            Cell &cell = cells_[std::size_t(CellOf(run))];
            cell.Count += length;
            cell.Red += std::uint64_t(run >> 16) * length;
            cell.Green += std::uint64_t((run >> 8) & 0xFF) * length;
            cell.Blue += std::uint64_t(run & 0xFF) * length;
            pixels_ += length;
        };
        for (int x = 0; x < pixels.Width; ++x, p += 4) {
            const std::uint32_t rgb = BgrxColor(p);
            if (rgb != run) {
                count();
                run = rgb;
                length = 0;
            }
            ++length;
        }
        count();
    }
}

void ColorHistogram::Clear()
{
    std::fill(cells_.begin(), cells_.end(), Cell{});
    pixels_ = 0;
}

std::span<const ColorHistogram::Cell> ColorHistogram::Cells() const { return cells_; }

// ---- Wu's cuts ---------------------------------------------------------------------------------
//
// Wu's method was chosen over median cut because it cuts each box where the two halves' summed
// squared error is least (not at the median), with cumulative moments that make every trial
// cut a handful of lookups; on a 64-level grid that is exact enough for k-means to finish the job.

namespace {

constexpr int Side = ColorHistogram::Levels + 1; // moments carry a zero plane in front

struct Moments {
    double W = 0, R = 0, G = 0, B = 0, Q = 0; // weight, colour sums, sum of squares

    Moments &operator+=(const Moments &o)
    {
        W += o.W, R += o.R, G += o.G, B += o.B, Q += o.Q;
        return *this;
    }
    Moments &operator-=(const Moments &o)
    {
        W -= o.W, R -= o.R, G -= o.G, B -= o.B, Q -= o.Q;
        return *this;
    }
};

struct Box {
    int R0, R1, G0, G1, B0, B1; // (lower, upper]: the cells lower .. upper - 1
};

class WuCuts {
public:
    explicit WuCuts(const ColorHistogram &histogram) : m_(std::size_t(Side) * Side * Side)
    {
        const auto cells = histogram.Cells();
        constexpr int L = ColorHistogram::Levels;
        for (int r = 0; r < L; ++r)
            for (int g = 0; g < L; ++g)
                for (int b = 0; b < L; ++b) {
                    const ColorHistogram::Cell &c = cells[std::size_t((r * L + g) * L + b)];
                    if (!c.Count)
                        continue;
                    Moments &m = at(r + 1, g + 1, b + 1);
                    m.W = double(c.Count);
                    m.R = double(c.Red), m.G = double(c.Green), m.B = double(c.Blue);
                    // The cell's pixels taken at their mean: the spread inside a cell is never cut.
                    m.Q = (m.R * m.R + m.G * m.G + m.B * m.B) / m.W;
                }
        // Cumulative along each axis in turn: at(r, g, b) holds the sums of all cells below it.
        for (int r = 1; r < Side; ++r)
            for (int g = 1; g < Side; ++g)
                for (int b = 1; b < Side; ++b)
                    at(r, g, b) += at(r, g, b - 1);
        for (int r = 1; r < Side; ++r)
            for (int g = 1; g < Side; ++g)
                for (int b = 1; b < Side; ++b)
                    at(r, g, b) += at(r, g - 1, b);
        for (int r = 1; r < Side; ++r)
            for (int g = 1; g < Side; ++g)
                for (int b = 1; b < Side; ++b)
                    at(r, g, b) += at(r - 1, g, b);
    }

    // Up to `count` boxes' mean colours, as doubles.
    std::vector<std::array<double, 3>> Means(int count)
    {
        std::vector<Box> boxes{{0, Side - 1, 0, Side - 1, 0, Side - 1}};
        std::vector<double> variance{0};
        if (Volume(boxes[0]).W <= 0)
            return {};
        variance[0] = Variance(boxes[0]);
        while (int(boxes.size()) < count) {
            // The box with the most squared error is cut next.
            const auto worst = std::max_element(variance.begin(), variance.end());
            if (*worst <= 0)
                break;
            const std::size_t n = std::size_t(worst - variance.begin());
            Box second;
            if (!Cut(boxes[n], second)) {
                variance[n] = 0;
                continue;
            }
            boxes.push_back(second);
            variance[n] = Variance(boxes[n]);
            variance.push_back(Variance(second));
        }
        std::vector<std::array<double, 3>> means;
        for (const Box &box : boxes) {
            const Moments v = Volume(box);
            means.push_back({v.R / v.W, v.G / v.W, v.B / v.W});
        }
        return means;
    }

private:
    Moments &at(int r, int g, int b) { return m_[std::size_t((r * Side + g) * Side + b)]; }
    const Moments &at(int r, int g, int b) const { return m_[std::size_t((r * Side + g) * Side + b)]; }

    Moments Volume(const Box &x) const
    {
        Moments v = at(x.R1, x.G1, x.B1);
        v -= at(x.R1, x.G1, x.B0);
        v -= at(x.R1, x.G0, x.B1);
        v += at(x.R1, x.G0, x.B0);
        v -= at(x.R0, x.G1, x.B1);
        v += at(x.R0, x.G1, x.B0);
        v += at(x.R0, x.G0, x.B1);
        v -= at(x.R0, x.G0, x.B0);
        return v;
    }

    // The sums of the box's part with coordinate `axis` at most `position`.
    Moments Below(const Box &x, int axis, int position) const
    {
        Box part = x;
        (axis == 0 ? part.R1 : axis == 1 ? part.G1 : part.B1) = position;
        return Volume(part);
    }

    double Variance(const Box &x) const
    {
        const Moments v = Volume(x);
        if (v.W <= 0)
            return 0;
        return std::max(0.0, v.Q - (v.R * v.R + v.G * v.G + v.B * v.B) / v.W);
    }

    // Best cut along one axis: the position that leaves the two halves' squared error least,
    // which is the one that makes the sum of |sum|^2 / weight of the halves most.
    double Best(const Box &x, int axis, const Moments &whole, int &cut) const
    {
        const int low = axis == 0 ? x.R0 : axis == 1 ? x.G0 : x.B0;
        const int high = axis == 0 ? x.R1 : axis == 1 ? x.G1 : x.B1;
        double best = 0;
        cut = -1;
        for (int i = low + 1; i < high; ++i) {
            const Moments half = Below(x, axis, i);
            if (half.W <= 0)
                continue;
            const double otherW = whole.W - half.W;
            if (otherW <= 0)
                break;
            const double r = whole.R - half.R, g = whole.G - half.G, b = whole.B - half.B;
            const double score = (half.R * half.R + half.G * half.G + half.B * half.B) / half.W
                + (r * r + g * g + b * b) / otherW;
            if (score > best) {
                best = score;
                cut = i;
            }
        }
        return best;
    }

    bool Cut(Box &first, Box &second) const
    {
        const Moments whole = Volume(first);
        int cuts[3];
        double scores[3];
        for (int axis = 0; axis < 3; ++axis)
            scores[axis] = Best(first, axis, whole, cuts[axis]);
        const int axis = scores[0] >= scores[1] && scores[0] >= scores[2] ? 0 : scores[1] >= scores[2] ? 1 : 2;
        if (cuts[axis] < 0)
            return false;
        second = first;
        switch (axis) {
        case 0: second.R0 = first.R1 = cuts[0]; break;
        case 1: second.G0 = first.G1 = cuts[1]; break;
        default: second.B0 = first.B1 = cuts[2]; break;
        }
        return true;
    }

    std::vector<Moments> m_;
};

std::uint8_t ToLevel(double v) { return std::uint8_t(std::clamp(int(v + 0.5), 0, 255)); }

} // namespace

Palette ChoosePalette(const ColorHistogram &histogram, int maxColors, int refinePasses,
                      std::optional<std::uint32_t> keepRgb)
{
    maxColors = std::clamp(maxColors, 1, 256);
    const int free = keepRgb ? maxColors - 1 : maxColors;
    Palette palette;
    std::vector<std::array<double, 3>> means;
    if (free > 0 && histogram.PixelCount() > 0)
        means = WuCuts(histogram).Means(free);

    // k-means over the occupied cells, each at its pixels' mean colour with its pixels' weight.
    struct Occupied {
        std::uint8_t R, G, B;
        double W, SumR, SumG, SumB;
    };
    std::vector<Occupied> occupied;
    if (!means.empty() && refinePasses > 0) {
        for (const ColorHistogram::Cell &c : histogram.Cells())
            if (c.Count) {
                const double w = double(c.Count);
                occupied.push_back({ToLevel(double(c.Red) / w), ToLevel(double(c.Green) / w), ToLevel(double(c.Blue) / w),
                                    w, double(c.Red), double(c.Green), double(c.Blue)});
            }
    }
    auto fill = [&] {
        palette.Count = int(means.size());
        for (std::size_t i = 0; i < means.size(); ++i)
            for (int c = 0; c < 3; ++c)
                palette.Colors[3 * i + std::size_t(c)] = ToLevel(means[i][std::size_t(c)]);
    };
    fill();
    for (int pass = 0; pass < refinePasses && !occupied.empty(); ++pass) {
        PaletteMapper nearest(palette);
        std::vector<std::array<double, 4>> sums(means.size());
        for (const Occupied &o : occupied) {
            auto &s = sums[std::size_t(nearest.Nearest(o.R, o.G, o.B))];
            s[0] += o.W, s[1] += o.SumR, s[2] += o.SumG, s[3] += o.SumB;
        }
        bool moved = false;
        for (std::size_t i = 0; i < means.size(); ++i) {
            if (sums[i][0] <= 0)
                continue;
            const std::array<double, 3> next{sums[i][1] / sums[i][0], sums[i][2] / sums[i][0], sums[i][3] / sums[i][0]};
            for (int c = 0; c < 3; ++c)
                moved |= ToLevel(next[std::size_t(c)]) != ToLevel(means[i][std::size_t(c)]);
            means[i] = next;
        }
        fill();
        if (!moved)
            break;
    }
    if (keepRgb) {
        const std::uint32_t keep = *keepRgb & 0xFFFFFF;
        // No other entry may have the kept colour: pixels mapped there would take its meaning.
        for (int i = 0; i < palette.Count; ++i)
            if (palette.Rgb(i) == keep) {
                std::uint8_t &blue = palette.Colors[std::size_t(3 * i + 2)];
                blue = blue == 255 ? 254 : blue + 1;
            }
        palette.Colors[std::size_t(3 * palette.Count)] = std::uint8_t(keep >> 16);
        palette.Colors[std::size_t(3 * palette.Count + 1)] = std::uint8_t(keep >> 8);
        palette.Colors[std::size_t(3 * palette.Count + 2)] = std::uint8_t(keep);
        palette.Kept = palette.Count++;
    }
    if (palette.Count == 0)
        palette.Count = 1; // black
    return palette;
}

// ---- mapping -----------------------------------------------------------------------------------

namespace {

constexpr int GridBits = 5;
constexpr int GridSide = 1 << GridBits;
constexpr int CellWidth = 256 / GridSide;
constexpr std::uint32_t Unmade = 0xFFFFFFFF;

constexpr std::array<std::array<std::uint8_t, 8>, 8> Bayer{{
    {0, 32, 8, 40, 2, 34, 10, 42},
    {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},
    {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},
    {63, 31, 55, 23, 61, 29, 53, 21},
}};

} // namespace

struct PaletteMapper::Grid {
    std::array<std::int32_t, 256 * 3> Entry{}; // red, green, blue of each entry
    int Count = 0;
    int Kept = -1;            // an entry only pixels of exactly its colour take
    std::uint32_t KeptRgb = 0;
    std::vector<std::uint32_t> Start;   // per cell: where its list begins, or Unmade
    std::vector<std::uint8_t> Length;   // per cell: entries in its list
    std::vector<std::uint8_t> Lists;

    Grid() : Start(std::size_t(GridSide) * GridSide * GridSide, Unmade), Length(Start.size()) {}

    void Make(std::size_t cell)
    {
        const int lo[3] = {int(cell >> (2 * GridBits)) * CellWidth, int((cell >> GridBits) & (GridSide - 1)) * CellWidth,
                           int(cell & (GridSide - 1)) * CellWidth};
        std::array<std::int32_t, 256> nearest{};
        std::int32_t bound = std::numeric_limits<std::int32_t>::max();
        for (int i = 0; i < Count; ++i) {
            if (i == Kept)
                continue;
            std::int32_t near = 0, far = 0;
            for (int c = 0; c < 3; ++c) {
                const std::int32_t v = Entry[std::size_t(3 * i + c)], low = lo[c], high = lo[c] + CellWidth - 1;
                const std::int32_t d = v < low ? low - v : v > high ? v - high : 0;
                const std::int32_t e = std::max(v - low, high - v);
                near += d * d;
                far += e * e;
            }
            nearest[std::size_t(i)] = near;
            bound = std::min(bound, far);
        }
        Start[cell] = std::uint32_t(Lists.size());
        int length = 0;
        for (int i = 0; i < Count; ++i)
            if (i != Kept && nearest[std::size_t(i)] <= bound) {
                Lists.push_back(std::uint8_t(i));
                ++length;
            }
        if (length == 0) { // only the kept entry: nothing else to give
            Lists.push_back(std::uint8_t(std::max(Kept, 0)));
            length = 1;
        }
        Length[cell] = std::uint8_t(length - 1); // 1 to 256 entries
    }

    int Nearest(int r, int g, int b)
    {
        const std::size_t cell = std::size_t((r >> (8 - GridBits)) << (2 * GridBits) | (g >> (8 - GridBits)) << GridBits
                                             | (b >> (8 - GridBits)));
        if (Start[cell] == Unmade) [[unlikely]]
            Make(cell);
        const std::uint8_t *list = Lists.data() + Start[cell];
        const int length = Length[cell] + 1;
        int best = list[0];
        std::int32_t bestDistance = std::numeric_limits<std::int32_t>::max();
        for (int n = 0; n < length; ++n) {
            const std::int32_t *e = &Entry[std::size_t(3 * list[n])];
            const std::int32_t dr = r - e[0], dg = g - e[1], db = b - e[2];
            const std::int32_t d = dr * dr + dg * dg + db * db;
            if (d < bestDistance) {
                bestDistance = d;
                best = list[n];
            }
        }
        return best;
    }
};

PaletteMapper::PaletteMapper(const Palette &palette) : palette_(palette), grid_(std::make_unique<Grid>())
{
    palette_.Count = std::clamp(palette_.Count, 1, 256);
    grid_->Count = palette_.Count;
    for (int i = 0; i < 3 * palette_.Count; ++i)
        grid_->Entry[std::size_t(i)] = palette_.Colors[std::size_t(i)];
    if (palette_.Kept >= 0 && palette_.Kept < palette_.Count) {
        grid_->Kept = palette_.Kept;
        grid_->KeptRgb = palette_.Rgb(palette_.Kept);
    } else {
        palette_.Kept = -1;
    }
}

PaletteMapper::~PaletteMapper() = default;

int PaletteMapper::Nearest(int red, int green, int blue) { return grid_->Nearest(red, green, blue); }

template <typename Store>
void PaletteMapper::MapRows(const BgrxPixels &pixels, bool dither, int left, int top, Store store)
{
    Grid &grid = *grid_;
    // The last colour's choice is remembered: runs of one colour are common.
    std::uint32_t lastRgb = 0xFFFFFFFF;
    int first = 0, second = 0;
    std::int32_t along = 0, span = 1; // choose `second` where the threshold is below along / span
    for (int y = 0; y < pixels.Height; ++y) {
        const std::uint8_t *p = pixels.Data + std::ptrdiff_t(y) * pixels.Stride;
        const auto &row = Bayer[std::size_t((y + top) & 7)];
        for (int x = 0; x < pixels.Width; ++x, p += 4) {
            const std::uint32_t rgb = BgrxColor(p);
            if (rgb != lastRgb) {
                lastRgb = rgb;
                const int r = int(rgb >> 16), g = int((rgb >> 8) & 0xFF), b = int(rgb & 0xFF);
                first = grid.Nearest(r, g, b);
                second = first;
                const std::int32_t *a = &grid.Entry[std::size_t(3 * first)];
                const std::int32_t er = r - a[0], eg = g - a[1], eb = b - a[2];
                if (dither && (er | eg | eb) != 0) {
                    // The other colour is the one nearest to the pixel's colour mirrored past
                    // the first: the pair whose mix comes closest to the pixel.
                    second = grid.Nearest(std::clamp(r + er, 0, 255), std::clamp(g + eg, 0, 255),
                                          std::clamp(b + eb, 0, 255));
                    const std::int32_t *c = &grid.Entry[std::size_t(3 * second)];
                    const std::int32_t dr = c[0] - a[0], dg = c[1] - a[1], db = c[2] - a[2];
                    span = dr * dr + dg * dg + db * db;
                    along = er * dr + eg * dg + eb * db;
                    if (span == 0 || along <= 0)
                        second = first;
                }
                if (grid.Kept >= 0 && rgb == grid.KeptRgb)
                    first = second = grid.Kept;
            }
            int index = first;
            if (second != first) {
                // Threshold (t + 0.5) / 64 below along / span.
                const std::int64_t t = 2 * row[std::size_t((x + left) & 7)] + 1;
                if (t * span < 128 * std::int64_t(along))
                    index = second;
            }
            store(x, y, index);
        }
    }
}

void PaletteMapper::Map(const BgrxPixels &pixels, bool dither, std::uint8_t *indices, std::ptrdiff_t indexStride,
                        int left, int top)
{
    MapRows(pixels, dither, left, top,
            [&](int x, int y, int index) { indices[std::ptrdiff_t(y) * indexStride + x] = std::uint8_t(index); });
}

void PaletteMapper::Reduce(const BgrxPixels &pixels, bool dither, std::uint8_t *output, std::ptrdiff_t outputStride,
                           int left, int top)
{
    std::array<std::uint32_t, 256> bgr{};
    for (int i = 0; i < palette_.Count; ++i)
        bgr[std::size_t(i)] = palette_.Rgb(i);
    MapRows(pixels, dither, left, top, [&](int x, int y, int index) {
        std::uint8_t *q = output + std::ptrdiff_t(y) * outputStride + 4 * std::ptrdiff_t(x);
        const std::uint32_t rgb = bgr[std::size_t(index)];
        q[0] = std::uint8_t(rgb);
        q[1] = std::uint8_t(rgb >> 8);
        q[2] = std::uint8_t(rgb >> 16);
    });
}

bool FitsColors(const BgrxPixels &pixels, PaletteBuilder &palette)
{
    for (int y = 0; y < pixels.Height; ++y) {
        const std::uint8_t *p = pixels.Data + std::ptrdiff_t(y) * pixels.Stride;
        for (int x = 0; x < pixels.Width; ++x, p += 4)
            if (palette.IndexOf(BgrxColor(p)) < 0)
                return false;
    }
    return true;
}

} // namespace kaptiv::gif
