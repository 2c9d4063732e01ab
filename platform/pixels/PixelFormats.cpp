#include "platform/pixels/PixelFormats.h"

#include "platform/pixels/DisplayPixels.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>

namespace kaptiv {

const QVector<QRgb> &monochromeColors()
{
    static const QVector<QRgb> table{qRgb(0, 0, 0), qRgb(255, 255, 255)};
    return table;
}

const QVector<QRgb> &vgaColors()
{
    static const QVector<QRgb> table{
        qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
        qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(128, 128, 128),
        qRgb(192, 192, 192), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
        qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
    return table;
}

const QVector<QRgb> &halftoneColors()
{
    static const QVector<QRgb> table = [] {
        QVector<QRgb> t;
        t.reserve(256);
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    t.append(qRgb(51 * r, 51 * g, 51 * b));
        for (int k = 0; k < 5; ++k)
            for (int j = 1; j <= 8; ++j) {
                const int level = 51 * k + (51 * j + 4) / 9;
                t.append(qRgb(level, level, level));
            }
        return t;
    }();
    return table;
}

NearestColorMap::NearestColorMap(const QVector<QRgb> &table) : table_(table), cells_(32 * 32 * 32)
{
}

void NearestColorMap::buildCell(unsigned cell) const
{
    const int lo[3] = {int((cell >> 10) & 31) * 8, int((cell >> 5) & 31) * 8, int(cell & 31) * 8};
    auto channels = [](QRgb c) { return std::array<int, 3>{qRed(c), qGreen(c), qBlue(c)}; };

    // The nearest colour of any point in the cell is no farther than the best worst case.
    long threshold = std::numeric_limits<long>::max();
    for (QRgb c : table_) {
        const auto ch = channels(c);
        long far = 0;
        for (int i = 0; i < 3; ++i) {
            const int d = std::max(std::abs(ch[i] - lo[i]), std::abs(ch[i] - (lo[i] + 7)));
            far += long(d) * d;
        }
        threshold = std::min(threshold, far);
    }
    Cell result;
    result.first = uint32_t(candidates_.size());
    for (int index = 0; index < table_.size(); ++index) {
        const auto ch = channels(table_[index]);
        long near = 0;
        for (int i = 0; i < 3; ++i) {
            const int d = ch[i] < lo[i] ? lo[i] - ch[i] : ch[i] > lo[i] + 7 ? ch[i] - lo[i] - 7 : 0;
            near += long(d) * d;
        }
        if (near <= threshold) {
            candidates_.push_back(uint8_t(index));
            ++result.count;
        }
    }
    cells_[cell] = result;
}

uint8_t NearestColorMap::indexInCell(QRgb rgb, unsigned cell) const
{
    if (cells_[cell].count == 0)
        buildCell(cell);
    const Cell &c = cells_[cell];
    const int r = qRed(rgb), g = qGreen(rgb), b = qBlue(rgb);
    uint8_t best = candidates_[c.first];
    long bestDistance = std::numeric_limits<long>::max();
    for (uint32_t i = c.first; i < c.first + c.count; ++i) {
        const QRgb t = table_[candidates_[i]];
        const long dr = qRed(t) - r, dg = qGreen(t) - g, db = qBlue(t) - b;
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
    static const NearestColorMap map(vgaColors());
    return map;
}

HalftoneColorMap::HalftoneColorMap()
{
    for (int c = 0; c < 256; ++c) {
        level_[c] = uint8_t((c + 25) / 51); // levels are 51 apart: no value lies halfway
        const int v = 51 * level_[c];
        levelScore_[c] = v * v - 2 * c * v;
    }
    // For a fixed channel sum s the squared distance to grey k grows with 3k^2 - 2ks.
    const QVector<QRgb> &table = halftoneColors();
    for (int sum = 0; sum < 766; ++sum) {
        long best = std::numeric_limits<long>::max();
        for (int index = 0; index < table.size(); ++index) {
            const int k = qRed(table[index]);
            if (k != qGreen(table[index]) || k != qBlue(table[index]))
                continue;
            const long cost = 3L * k * k - 2L * k * sum;
            if (cost < best) { // table order: the lower index keeps a tie
                best = cost;
                greyScore_[sum] = int(cost);
                greyIndex_[sum] = uint8_t(index);
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

// Runs `toIndex` over every pixel of a 32-bit image into an Indexed8 image. A costly lookup
// reuses the last answer while the pixel repeats (screens are made of long runs of one colour);
// a cheap one is faster without the extra branch.
template <bool ReuseRuns, typename ToIndex>
void mapRows(const QImage &src, QImage &dst, ToIndex toIndex)
{
    const int w = src.width();
    for (int y = 0; y < src.height(); ++y) {
        const QRgb *in = reinterpret_cast<const QRgb *>(src.constScanLine(y));
        uchar *out = dst.scanLine(y);
        if constexpr (!ReuseRuns) {
            for (int x = 0; x < w; ++x)
                out[x] = toIndex(in[x]);
            continue;
        }
        QRgb last = ~in[0];
        uchar lastIndex = 0;
        for (int x = 0; x < w; ++x) {
            const QRgb p = in[x] | 0xFF000000u;
            if (p != last) {
                last = p;
                lastIndex = toIndex(p);
            }
            out[x] = lastIndex;
        }
    }
}

uchar monochromeIndex(QRgb p) { return (p & 0xFFFFFFu) == 0xFFFFFFu ? 1 : 0; }

const QVector<QRgb> &tableFor(CaptureColors colors)
{
    switch (colors) {
    case CaptureColors::Monochrome: return monochromeColors();
    case CaptureColors::Colors16: return vgaColors();
    default: return halftoneColors();
    }
}

int depthFor(CaptureColors colors)
{
    switch (colors) {
    case CaptureColors::Monochrome: return 1;
    case CaptureColors::Colors16: return 4;
    default: return 8;
    }
}

void mapInto(const QImage &rgb, QImage &dst, int depth, const QVector<QRgb> &table)
{
    if (depth == 1 && table == monochromeColors())
        mapRows<false>(rgb, dst, monochromeIndex);
    else if (table == vgaColors())
        mapRows<true>(rgb, dst, [](QRgb p) { return vgaColorMap().indexOf(p); });
    else if (table == halftoneColors())
        mapRows<true>(rgb, dst, [&map = halftoneColorMap()](QRgb p) { return map.indexOf(p); });
    else {
        const NearestColorMap own(table);
        mapRows<true>(rgb, dst, [&own](QRgb p) { return own.indexOf(p); });
    }
}

// The pixels of a display at the depth the bitmap holds them.
Bitmap keepDisplayPixels(const QImage &pixels, int displayDepth)
{
    if (pixels.isNull()) // an area without pixels still has a depth: the one its pixels would have
        return Bitmap(pixels, capturedDepthOfDisplay(displayDepth));
    for (const PixelLayout words : {PixelLayout::Bgrx32, PixelLayout::Rgb565, PixelLayout::Rgb555})
        if (pixels.format() == imageFormatOf(words))
            return Bitmap(pixels, keptPixelsOf(words, displayDepth).depth);
    return Bitmap::fromImage(pixels);
}

} // namespace

Bitmap convertToColors(const QImage &pixels, int sourceDepth, CaptureColors colors)
{
    if (colors == CaptureColors::Highest)
        return keepDisplayPixels(pixels, sourceDepth);
    const int depth = depthFor(colors);
    const QVector<QRgb> &table = tableFor(colors);
    if (pixels.isNull())
        return Bitmap::create(pixels.width(), pixels.height(), depth, table);
    const QImage rgb = pixels.format() == QImage::Format_RGB32 || pixels.format() == QImage::Format_ARGB32
        ? pixels
        : convertImage(pixels, QImage::Format_RGB32);
    QImage out = allocateImage(rgb.width(), rgb.height(), QImage::Format_Indexed8);
    out.setColorTable(table);
    mapInto(rgb, out, depth, table);
    return Bitmap(std::move(out), depth);
}

Bitmap inDisplayFormat(const QImage &pixels, int displayDepth)
{
    return keepDisplayPixels(convertImage(pixels, imageFormatOf(usualLayoutOf(displayDepth))), displayDepth);
}

QImage::Format imageFormatOf(PixelLayout words)
{
    switch (words) {
    case PixelLayout::Bgrx32: return QImage::Format_RGB32;
    case PixelLayout::Rgb565: return QImage::Format_RGB16;
    case PixelLayout::Rgb555: return QImage::Format_RGB555;
    case PixelLayout::Other: break;
    }
    return QImage::Format_Invalid;
}

void remapIntoIndexed(Bitmap &target, const QImage &rgb32, int x, int y)
{
    QImage mapped = allocateImage(rgb32.width(), rgb32.height(), QImage::Format_Indexed8);
    const QVector<QRgb> table = target.colorTable();
    mapInto(convertImage(rgb32, QImage::Format_RGB32), mapped, target.depth(), table);
    QImage &img = target.image();
    for (int row = 0; row < mapped.height(); ++row)
        std::copy_n(mapped.constScanLine(row), mapped.width(), img.scanLine(y + row) + x);
}

} // namespace kaptiv
