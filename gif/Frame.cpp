#include "gif/Frame.h"

#include "gif/GifFrames.h"

#include <algorithm>
#include <memory>
#include <new>

namespace kaptiv {

namespace {

QRgb tableColor(const gif::ColorTable &table, int index)
{
    return qRgb(table[3 * index], table[3 * index + 1], table[3 * index + 2]);
}

QImage newImage(int width, int height, QImage::Format format)
{
    QImage image(width, height, format);
    if (image.isNull() && width > 0 && height > 0)
        throw std::bad_alloc();
    return image;
}

} // namespace

TFrame::TFrame(gif::GifFrame decoded)
    : Left(decoded.Left), Top(decoded.Top), Width(decoded.Width), Height(decoded.Height),
      LocalBits(decoded.LocalBits), Delay(decoded.Delay), Disposal(decoded.Disposal),
      HasLocalColors(decoded.HasLocalColors), Interlaced(decoded.Interlaced),
      Transparent(decoded.Transparent), TransparentIndex(decoded.TransparentIndex),
      TransparentRGB(tableColor(decoded.Colors, decoded.TransparentIndex)),
      Comment(commentText(decoded.Comment)),
      decoded_(std::move(decoded))
{
    const int colors = 1 << decoded_.PaletteBits;
    palette_.reserve(colors);
    for (int i = 0; i < colors; ++i)
        palette_.append(tableColor(decoded_.Colors, i));
    opaque_.fill(0xFF000000u);
    for (int i = 0; i < colors; ++i)
        opaque_[size_t(i)] = palette_[i] | 0xFF000000u;
}

Bitmap TFrame::Raster() const
{
    QImage image = newImage(Width, Height, QImage::Format_RGB32);
    image.fill(Qt::black);
    if (!decoded_.Indices.empty())
        for (int y = 0; y < Height; ++y) {
            auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < Width; ++x)
                if (!IsTransparentAt(x, y))
                    row[x] = opaque_[decoded_.IndexAt(x, y)];
        }
    return Bitmap(std::move(image), 24);
}

Bitmap TFrame::Mask() const
{
    if (!Transparent)
        return {};
    QImage image = newImage(Width, Height, QImage::Format_Indexed8);
    image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    for (int y = 0; y < Height; ++y) {
        uchar *row = image.scanLine(y);
        for (int x = 0; x < Width; ++x)
            row[x] = IsTransparentAt(x, y) ? 1 : 0;
    }
    return Bitmap(std::move(image), 1);
}

TFrameInfo TFrame::FrameInfo() const
{
    return frameRecord(decoded_);
}

void TFrame::DrawOnto(QImage &canvas) const
{
    if (decoded_.Indices.empty())
        return;
    const bool masked = Transparent && !decoded_.Mask.empty();
    for (int y = 0; y < Height; ++y) {
        const uint8_t *indices = decoded_.Indices.data() + size_t(y) * decoded_.IndexStride;
        auto *target = reinterpret_cast<uint32_t *>(canvas.scanLine(Top + y)) + Left;
        if (!masked) {
            for (int x = 0; x < Width; ++x)
                target[x] = opaque_[indices[x]];
            continue;
        }
        // Eight pixels per mask byte: whole bytes of opaque or transparent pixels are common.
        const uint8_t *mask = decoded_.Mask.data() + size_t(y) * decoded_.MaskStride;
        for (int x0 = 0; x0 < Width; x0 += 8) {
            const uint8_t bits = mask[x0 / 8];
            if (bits == 0xFF)
                continue;
            const int end = std::min(x0 + 8, Width);
            if (bits == 0) {
                for (int x = x0; x < end; ++x)
                    target[x] = opaque_[indices[x]];
            } else {
                for (int x = x0; x < end; ++x)
                    if (!(bits & (0x80 >> (x - x0))))
                        target[x] = opaque_[indices[x]];
            }
        }
    }
}

} // namespace kaptiv
