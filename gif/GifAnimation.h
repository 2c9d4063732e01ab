#pragma once
// A loaded GIF file as the player holds it: its facts, its frames, and the canvas the frames are
// composed on one after another, each frame's disposal applied before the next is drawn.
//
// The frames are held one of two ways. Every frame decoded at load (up to 256, as the reader
// keeps them), for whoever wants each frame's picture; or as shown: the file's bytes are kept, the
// whole file is checked at load, and a frame is decoded when it is drawn or asked for, a few of
// them kept in a small cache. Drawing gives the same pixels either way. Held as shown, memory is
// the canvas (and one saved area for disposal 3), the file, the cache and 24 bytes a frame, and a
// file may hold up to MaxFramesAsShown frames of any size together.

#include "gif/Frame.h"
#include "gif/GifFile.h"
#include "gif/core/FrameIndex.h"

#include <QImage>
#include <limits>
#include <memory>
#include <span>
#include <unordered_map>
#include <vector>

namespace kaptiv {

class GifAnimation {
public:
    // The canvas holds 4 bytes per pixel; a file whose canvas is larger is not loaded.
    static constexpr qint64 MaxCanvasPixels = qint64(1) << 28;
    // Frames read from one file when they are decoded as shown: 24 bytes each are kept.
    static constexpr int MaxFramesAsShown = gif::MaxFramesAsShown;
    // Decoded frames kept for showing again, beyond the one shown last.
    static constexpr std::size_t CacheBytes = std::size_t(4) << 20;

    enum class Holding { EveryFrame, AsShown };

    // The reader's limits where frames are taken one at a time: MaxFramesAsShown frames, any number
    // of pixels together (each frame still within its own limit).
    static gif::ReadLimits OneFrameAtATime() { return gif::oneFrameAtATime(); }

    // Reads a whole file, keeping its bytes. False (and empty) when it cannot be read, the progress
    // handler stops it, or its canvas passes MaxCanvasPixels. Held as shown, options.Limits loses its
    // frame count and total limits (MaxFramesAsShown stands for the first). May raise std::bad_alloc.
    bool Load(std::vector<uint8_t> file, const gif::ParseOptions &options = {},
              Holding holding = Holding::EveryFrame);
    bool Load(std::span<const uint8_t> file, const gif::ParseOptions &options = {},
              Holding holding = Holding::EveryFrame)
    {
        return Load(std::vector<uint8_t>(file.begin(), file.end()), options, holding);
    }
    void Clear();

    bool Empty() const { return empty_; }
    Holding FrameHolding() const { return holding_; }
    const std::vector<uint8_t> &FileBytes() const { return file_; }
    int FrameCount() const { return int(index_.Frames.size()); }
    // The file holds more frames than were read (256 held every one, else MaxFramesAsShown).
    bool FramesBeyondLimit() const { return index_.Image.FramesBeyondLimit; }
    // Where frame `number` (from 1) lies, how it is timed, disposed and made transparent; no decoding.
    const gif::FrameFacts &Facts(int number) const { return index_.Frames[size_t(number - 1)]; }
    // The frame with its pixels, decoded now if it is not at hand; it stays valid while held.
    std::shared_ptr<const TFrame> Frame(int number) const;
    int ImageWidth() const { return imageWidth_; }
    int ImageHeight() const { return imageHeight_; }
    int ColorDepth() const { return colorDepth_; }
    int LoopCount() const { return loopCount_; }
    bool IsTransparent() const { return isTransparent_; }
    bool IsAnimated() const { return FrameCount() > 1; }
    const gif::ColorTable &GlobalTable() const { return index_.Image.GlobalTable; }

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

    // Frame numbers count from 1; a number outside the frames does nothing. A frame of disposal 3
    // saves what it covers when drawn, and its disposal puts that back: dispose the frame drawn last.
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

    Holding holding_ = Holding::EveryFrame;
    std::vector<uint8_t> file_;
    gif::FrameIndex index_;
    std::vector<std::shared_ptr<const TFrame>> frames_;   // every frame, when held so
    // Held as shown: frames decoded while the cache had room, and the one decoded last.
    mutable std::unordered_map<int, std::shared_ptr<const TFrame>> cache_;
    mutable std::size_t cacheBytes_ = 0;
    mutable std::shared_ptr<const TFrame> last_;
    mutable gif::LzwTables tables_;
    mutable int lastNumber_ = 0;
    bool empty_ = true;
    int imageWidth_ = 0;
    int imageHeight_ = 0;
    int colorDepth_ = 0;
    int loopCount_ = 1;
    bool isTransparent_ = false;
    QImage canvas_;
    QImage savedUnder_;     // what the last frame drawn with disposal 3 covered
    int savedFor_ = 0;      // that frame's number, 0 for none
    Bitmap firstFrame_;
};

} // namespace kaptiv
