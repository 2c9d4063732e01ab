#include "formats/core/ColorTables.h"

#include "gif/core/ColorReducer.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace kaptiv {

namespace {

int red(std::uint32_t c) { return int(c >> 16) & 0xFF; }
int green(std::uint32_t c) { return int(c >> 8) & 0xFF; }
int blue(std::uint32_t c) { return int(c) & 0xFF; }

} // namespace

const std::vector<std::uint32_t> &monochromeTable()
{
    static const std::vector<std::uint32_t> table{rgbWord(0, 0, 0), rgbWord(255, 255, 255)};
    return table;
}

const std::vector<std::uint32_t> &vgaTable()
{
    static const std::vector<std::uint32_t> table{
        rgbWord(0, 0, 0),       rgbWord(128, 0, 0),   rgbWord(0, 128, 0),   rgbWord(128, 128, 0),
        rgbWord(0, 0, 128),     rgbWord(128, 0, 128), rgbWord(0, 128, 128), rgbWord(128, 128, 128),
        rgbWord(192, 192, 192), rgbWord(255, 0, 0),   rgbWord(0, 255, 0),   rgbWord(255, 255, 0),
        rgbWord(0, 0, 255),     rgbWord(255, 0, 255), rgbWord(0, 255, 255), rgbWord(255, 255, 255)};
    return table;
}

const std::vector<std::uint32_t> &halftoneTable()
{
    static const std::vector<std::uint32_t> table = [] {
        std::vector<std::uint32_t> t;
        t.reserve(256);
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    t.push_back(rgbWord(51 * r, 51 * g, 51 * b));
        for (int k = 0; k < 5; ++k)
            for (int j = 1; j <= 8; ++j) {
                const int level = 51 * k + (51 * j + 4) / 9;
                t.push_back(rgbWord(level, level, level));
            }
        return t;
    }();
    return table;
}

NearestColorMap::NearestColorMap(std::vector<std::uint32_t> table) : table_(std::move(table)), cells_(32 * 32 * 32)
{
}

void NearestColorMap::buildCell(unsigned cell) const
{
    const int lo[3] = {int((cell >> 10) & 31) * 8, int((cell >> 5) & 31) * 8, int(cell & 31) * 8};
    auto channels = [](std::uint32_t c) { return std::array<int, 3>{red(c), green(c), blue(c)}; };

    // The nearest colour of any point in the cell is no farther than the best worst case.
    long threshold = std::numeric_limits<long>::max();
    for (const std::uint32_t c : table_) {
        const auto ch = channels(c);
        long far = 0;
        for (int i = 0; i < 3; ++i) {
            const int d = std::max(std::abs(ch[i] - lo[i]), std::abs(ch[i] - (lo[i] + 7)));
            far += long(d) * d;
        }
        threshold = std::min(threshold, far);
    }
    Cell result;
    result.first = std::uint32_t(candidates_.size());
    for (std::size_t index = 0; index < table_.size(); ++index) {
        const auto ch = channels(table_[index]);
        long near = 0;
        for (int i = 0; i < 3; ++i) {
            const int d = ch[i] < lo[i] ? lo[i] - ch[i] : ch[i] > lo[i] + 7 ? ch[i] - lo[i] - 7 : 0;
            near += long(d) * d;
        }
        if (near <= threshold) {
            candidates_.push_back(std::uint8_t(index));
            ++result.count;
        }
    }
    cells_[cell] = result;
}

std::uint8_t NearestColorMap::indexInCell(std::uint32_t rgb, unsigned cell) const
{
    if (cells_[cell].count == 0)
        buildCell(cell);
    const Cell &c = cells_[cell];
    const int r = red(rgb), g = green(rgb), b = blue(rgb);
    std::uint8_t best = candidates_[c.first];
    long bestDistance = std::numeric_limits<long>::max();
    for (std::uint32_t i = c.first; i < c.first + c.count; ++i) {
        const std::uint32_t t = table_[candidates_[i]];
        const long dr = red(t) - r, dg = green(t) - g, db = blue(t) - b;
        const long d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) { // candidates are in table order: the lower index wins a tie
            bestDistance = d;
            best = candidates_[i];
        }
    }
    return best;
}

const NearestColorMap &vgaColorMap()
{
    static const NearestColorMap map(vgaTable());
    return map;
}

HalftoneColorMap::HalftoneColorMap()
{
    for (int c = 0; c < 256; ++c) {
        level_[c] = std::uint8_t((c + 25) / 51); // levels are 51 apart: no value lies halfway
        const int v = 51 * level_[c];
        levelScore_[c] = v * v - 2 * c * v;
    }
    // For a fixed channel sum s the squared distance to grey k grows with 3k^2 - 2ks.
    const std::vector<std::uint32_t> &table = halftoneTable();
    for (int sum = 0; sum < 766; ++sum) {
        long best = std::numeric_limits<long>::max();
        for (std::size_t index = 0; index < table.size(); ++index) {
            const int k = red(table[index]);
            if (k != green(table[index]) || k != blue(table[index]))
                continue;
            const long cost = 3L * k * k - 2L * k * sum;
            if (cost < best) { // table order: the lower index keeps a tie
                best = cost;
                greyScore_[sum] = int(cost);
                greyIndex_[sum] = std::uint8_t(index);
            }
        }
    }
}

const HalftoneColorMap &halftoneColorMap()
{
    static const HalftoneColorMap map;
    return map;
}

namespace {

std::uint32_t word(const std::uint8_t *at)
{
    std::uint32_t v;
    std::memcpy(&v, at, 4);
    return v;
}

// Runs `toIndex` over every pixel. A costly lookup reuses the last answer while the pixel repeats
// (screens are made of long runs of one colour); a cheap one is faster without the extra branch.
template <bool ReuseRuns, typename ToIndex>
void mapRows(const std::uint8_t *rows, std::ptrdiff_t stride, int width, int height, std::uint8_t *outRows,
             std::ptrdiff_t outStride, ToIndex toIndex)
{
    for (int y = 0; y < height; ++y) {
        const std::uint8_t *in = rows + std::ptrdiff_t(y) * stride;
        std::uint8_t *out = outRows + std::ptrdiff_t(y) * outStride;
        if constexpr (!ReuseRuns) {
            for (int x = 0; x < width; ++x)
                out[x] = toIndex(word(in + 4 * x));
            continue;
        }
        std::uint32_t last = ~word(in);
        std::uint8_t lastIndex = 0;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = word(in + 4 * x) | 0xFF000000u;
            if (p != last) {
                last = p;
                lastIndex = toIndex(p);
            }
            out[x] = lastIndex;
        }
    }
}

std::uint8_t monochromeIndex(std::uint32_t p) { return (p & 0xFFFFFFu) == 0xFFFFFFu ? 1 : 0; }

} // namespace

void mapToTable(const std::uint8_t *rows, std::ptrdiff_t stride, int width, int height, std::uint8_t *out,
                std::ptrdiff_t outStride, int depth, const std::vector<std::uint32_t> &table)
{
    if (width <= 0 || height <= 0)
        return;
    if (depth == 1 && table == monochromeTable())
        mapRows<false>(rows, stride, width, height, out, outStride, monochromeIndex);
    else if (table == vgaTable())
        mapRows<true>(rows, stride, width, height, out, outStride, [](std::uint32_t p) { return vgaColorMap().indexOf(p); });
    else if (table == halftoneTable())
        mapRows<true>(rows, stride, width, height, out, outStride,
                      [&map = halftoneColorMap()](std::uint32_t p) { return map.indexOf(p); });
    else {
        const NearestColorMap own(table);
        mapRows<true>(rows, stride, width, height, out, outStride, [&own](std::uint32_t p) { return own.indexOf(p); });
    }
}

PixelBuffer toIndexedColors(const PixelBuffer &picture, IndexedColors colors)
{
    const int depth = colors == IndexedColors::Monochrome ? 1 : colors == IndexedColors::Colors16 ? 4 : 8;
    const std::vector<std::uint32_t> &table = colors == IndexedColors::Monochrome ? monochromeTable()
        : colors == IndexedColors::Colors16                                        ? vgaTable()
                                                                                   : halftoneTable();
    PixelBuffer out = PixelBuffer::allocate(picture.width(), picture.height(), PixelFormat::Index8, depth, table);
    if (out.isNull())
        return out;
    const bool words = picture.format() == PixelFormat::Xrgb32 || picture.format() == PixelFormat::Argb32;
    std::vector<std::uint32_t> row(words ? 0 : std::size_t(picture.width()));
    for (int y = 0; y < picture.height(); ++y) { // a row at a time, through its colours where it must
        const std::uint8_t *in = picture.row(y);
        if (!words) {
            picture.rowAsXrgb32(y, row.data());
            in = reinterpret_cast<const std::uint8_t *>(row.data());
        }
        mapToTable(in, 0, picture.width(), 1, out.row(y), 0, depth, table);
    }
    return out;
}

PixelBuffer toAdaptiveColors(const PixelBuffer &picture, bool dither)
{
    // The reducer reads 32-bit words with their spare byte set: other pixels are copied so.
    PixelBuffer words = picture;
    if (picture.format() != PixelFormat::Xrgb32) {
        words = PixelBuffer::allocate(picture.width(), picture.height(), PixelFormat::Xrgb32, 24);
        for (int y = 0; y < picture.height(); ++y)
            picture.rowAsXrgb32(y, reinterpret_cast<std::uint32_t *>(words.row(y)));
    }
    const gif::BgrxPixels pixels{words.bits(), words.width(), words.height(), words.stride()};
    gif::PaletteBuilder exact;
    gif::Palette palette;
    if (gif::FitsColors(pixels, exact)) {
        palette.Colors = exact.Table();
        palette.Count = std::max(exact.Count(), 1);
        dither = false;
    } else {
        gif::ColorHistogram histogram;
        histogram.Add(pixels);
        palette = gif::ChoosePalette(histogram);
    }
    std::vector<std::uint32_t> table;
    for (int i = 0; i < palette.Count; ++i)
        table.push_back(0xFF000000u | palette.Rgb(i));
    PixelBuffer reduced = PixelBuffer::allocate(picture.width(), picture.height(), PixelFormat::Index8, 8, std::move(table));
    if (!reduced.isNull())
        gif::PaletteMapper(palette).Map(pixels, dither, reduced.row(0), reduced.stride());
    return reduced;
}

} // namespace kaptiv
