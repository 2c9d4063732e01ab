#pragma once
// TFrame: one image of a read GIF file, ready to be drawn onto the player's canvas.

#include "gif/FrameInfo.h"
#include "gif/core/GifTypes.h"

#include <QImage>
#include <QString>
#include <QVector>
#include <array>
#include <cstdint>

namespace kaptiv {

class TFrame {
public:
    // Takes over what the reader decoded for this image (its indices and transparency mask stay
    // as they were decoded: one byte and one bit per pixel).
    explicit TFrame(gif::GifFrame decoded);

    const int Left;
    const int Top;
    const int Width;
    const int Height;
    const int LocalBits;
    const int Delay; // milliseconds
    const uint8_t Disposal;
    const bool HasLocalColors;
    const bool Interlaced;
    const bool Transparent;
    const uint8_t TransparentIndex;
    const QRgb TransparentRGB; // colour of TransparentIndex in the frame's table
    const QString Comment;

    // The frame's colour description: one entry per colour of the largest table met in the file up
    // to this frame (or of its own table), 2^bits entries.
    const QVector<QRgb> &Palette() const { return palette_; }

    // The picture in the frame's colours, transparent pixels black.
    Bitmap Raster() const;
    // Only for a transparent frame (else a null bitmap): 1 bit per pixel, white where transparent.
    Bitmap Mask() const;
    bool IsTransparentAt(int x, int y) const { return decoded_.MaskAt(x, y); }

    // The record handed to the rest of the program, with a new picture of the frame's own pixels:
    // the transparent colour where the frame is transparent.
    TFrameInfo FrameInfo() const;

    // Draws the frame at its place on a canvas of premultiplied ARGB pixels (see TComposition):
    // opaque pixels replace what is there; transparent ones leave it.
    void DrawOnto(QImage &canvas) const;

    // Bytes its pixels take.
    std::size_t MemorySize() const { return sizeof(*this) + decoded_.Indices.size() + decoded_.Mask.size(); }

private:
    gif::GifFrame decoded_;
    QVector<QRgb> palette_;
    std::array<uint32_t, 256> opaque_{}; // index -> opaque canvas pixel; indices past the table black
};

} // namespace kaptiv
