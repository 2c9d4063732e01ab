#pragma once
// A loaded GIF file as the player holds it: its frames, its facts, and the canvas the frames are
// composed on one after another, each frame's disposal applied before the next is drawn.

#include "gif/Frame.h"
#include "gif/core/GifReader.h"

#include <QImage>
#include <span>
#include <vector>

namespace kaptiv {

class GifAnimation {
public:
    // The canvas holds 4 bytes per pixel; a file whose canvas is larger is not loaded.
    static constexpr qint64 MaxCanvasPixels = qint64(1) << 28;

    // Reads a whole file. False (and empty) when it cannot be read, the progress handler stops
    // it, or its canvas passes MaxCanvasPixels. May raise std::bad_alloc.
    bool Load(std::span<const uint8_t> file, const gif::ParseOptions &options = {});
    void Clear();

    bool Empty() const { return empty_; }
    int FrameCount() const { return int(frames_.size()); }
    const TFrame &Frame(int number) const { return frames_[size_t(number - 1)]; } // from 1
    int ImageWidth() const { return imageWidth_; }
    int ImageHeight() const { return imageHeight_; }
    int ColorDepth() const { return colorDepth_; }
    int LoopCount() const { return loopCount_; }
    bool IsTransparent() const { return isTransparent_; }
    bool IsAnimated() const { return FrameCount() > 1; }
    // The file holds more than gif::MaxFrames images; only the first ones were read.
    bool FramesBeyondLimit() const { return framesBeyondLimit_; }
    const gif::ColorTable &GlobalTable() const { return globalTable_; }

    // The canvas, premultiplied ARGB: a pixel where nothing opaque has been drawn (the background
    // shows through) is 0 in all four bytes; every other pixel is opaque. Without transparency in
    // the file the canvas starts, and is cleared to, opaque black.
    const QImage &Canvas() const { return canvas_; }
    // The canvas as the user sees it over a background of one colour (32-bit RGB).
    QImage CanvasOver(QRgb background) const;
    // Its two halves: the colours (black where nothing opaque was drawn) and, only for a file with
    // transparency, the mask (1 bit per pixel, white where nothing opaque was drawn).
    QImage Composite() const { return CanvasOver(qRgb(0, 0, 0)); }
    QImage CompositeMask() const;

    // Frame numbers count from 1; a number outside the frames does nothing.
    void DrawFrame(int number);
    void DisposeFrame(int number);
    // An all-zero record without a picture for a number outside the frames.
    void GetFrameInfo(int number, TFrameInfo &info) const;
    // Frame 1 at its place on a bitmap of its own size, transparent pixels in the transparent colour;
    // null without a picture. The bitmap stays the animation's.
    const Bitmap *FirstFrameBitmap();

private:
    bool Contains(int number) const { return number >= 1 && number <= FrameCount(); }
    void Fill(const QRect &area, uint32_t pixel);

    std::vector<TFrame> frames_;
    bool empty_ = true;
    int imageWidth_ = 0;
    int imageHeight_ = 0;
    int colorDepth_ = 0;
    int loopCount_ = 1;
    bool isTransparent_ = false;
    bool framesBeyondLimit_ = false;
    gif::ColorTable globalTable_{};
    QImage canvas_;
    Bitmap firstFrame_;
};

} // namespace kaptiv
