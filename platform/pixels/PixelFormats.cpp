#include "platform/pixels/PixelFormats.h"

#include "platform/pixels/DisplayPixels.h"

#include <vector>

namespace kaptiv {

namespace {

QVector<QRgb> qtTable(const std::vector<std::uint32_t> &table) { return QVector<QRgb>(table.begin(), table.end()); }

} // namespace

const QVector<QRgb> &monochromeColors()
{
    static const QVector<QRgb> table = qtTable(monochromeTable());
    return table;
}

const QVector<QRgb> &vgaColors()
{
    static const QVector<QRgb> table = qtTable(vgaTable());
    return table;
}

const QVector<QRgb> &halftoneColors()
{
    static const QVector<QRgb> table = qtTable(halftoneTable());
    return table;
}

namespace {

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
    mapToTable(rgb.constBits(), rgb.bytesPerLine(), rgb.width(), rgb.height(), dst.bits(), dst.bytesPerLine(), depth,
               std::vector<std::uint32_t>(table.begin(), table.end()));
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
