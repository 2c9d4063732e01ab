#include "gif/GifAnimation.h"

#include <new>

namespace kaptiv {

namespace {

constexpr uint32_t ClearPixel = 0x00000000u;   // nothing opaque drawn: the background shows
constexpr uint32_t OpaqueBlack = 0xFF000000u;

} // namespace

bool GifAnimation::Load(std::span<const uint8_t> file, const gif::ParseOptions &options)
{
    Clear();
    gif::GifImage image;
    if (!gif::ParseGIF(file, image, options))
        return false;
    if (qint64(image.ImageWidth) * image.ImageHeight > MaxCanvasPixels)
        return false;
    frames_.reserve(image.Frames.size());
    for (gif::GifFrame &frame : image.Frames)
        frames_.emplace_back(std::move(frame));
    imageWidth_ = image.ImageWidth;
    imageHeight_ = image.ImageHeight;
    colorDepth_ = image.ColorDepth;
    loopCount_ = image.LoopCount;
    isTransparent_ = image.IsTransparent;
    framesBeyondLimit_ = image.FramesBeyondLimit;
    globalTable_ = image.GlobalTable;
    canvas_ = QImage(imageWidth_, imageHeight_, QImage::Format_ARGB32_Premultiplied);
    if (canvas_.isNull() && imageWidth_ > 0 && imageHeight_ > 0) {
        Clear();
        throw std::bad_alloc();
    }
    canvas_.fill(isTransparent_ ? ClearPixel : OpaqueBlack);
    empty_ = false;
    return true;
}

void GifAnimation::Clear()
{
    frames_.clear();
    frames_.shrink_to_fit();
    empty_ = true;
    imageWidth_ = imageHeight_ = colorDepth_ = 0;
    loopCount_ = 1;
    isTransparent_ = false;
    framesBeyondLimit_ = false;
    globalTable_.fill(0);
    canvas_ = QImage();
    firstFrame_ = Bitmap();
}

QImage GifAnimation::CanvasOver(QRgb background) const
{
    if (canvas_.isNull())
        return {};
    QImage shown(canvas_.size(), QImage::Format_RGB32);
    if (shown.isNull())
        throw std::bad_alloc();
    for (int y = 0; y < canvas_.height(); ++y) {
        const auto *pixels = reinterpret_cast<const uint32_t *>(canvas_.constScanLine(y));
        auto *target = reinterpret_cast<uint32_t *>(shown.scanLine(y));
        for (int x = 0; x < canvas_.width(); ++x)
            target[x] = pixels[x] == ClearPixel ? (background | 0xFF000000u) : pixels[x];
    }
    return shown;
}

QImage GifAnimation::CompositeMask() const
{
    if (canvas_.isNull() || !isTransparent_)
        return {};
    QImage mask(canvas_.size(), QImage::Format_Mono);
    mask.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    for (int y = 0; y < canvas_.height(); ++y) {
        const auto *pixels = reinterpret_cast<const uint32_t *>(canvas_.constScanLine(y));
        for (int x = 0; x < canvas_.width(); ++x)
            mask.setPixel(x, y, pixels[x] == ClearPixel ? 1 : 0);
    }
    return mask;
}

void GifAnimation::Fill(const QRect &area, uint32_t pixel)
{
    const QRect clipped = area & canvas_.rect();
    for (int y = clipped.top(); y <= clipped.bottom(); ++y)
        std::fill_n(reinterpret_cast<uint32_t *>(canvas_.scanLine(y)) + clipped.left(), clipped.width(), pixel);
}

void GifAnimation::DrawFrame(int number)
{
    if (!Contains(number) || canvas_.isNull())
        return;
    TFrame &frame = frames_[size_t(number - 1)];
    const QRect area(frame.Left, frame.Top, frame.Width, frame.Height);
    if (frame.Disposal == 3)
        frame.SaveImage = canvas_.copy(area);
    frame.DrawOnto(canvas_);
}

void GifAnimation::DisposeFrame(int number)
{
    if (!Contains(number) || canvas_.isNull())
        return;
    const TFrame &frame = frames_[size_t(number - 1)];
    const QRect area(frame.Left, frame.Top, frame.Width, frame.Height);
    if (frame.Disposal == 2) {
        // The file's background colour plays no part: what lies behind shows, or black.
        Fill(area, isTransparent_ ? ClearPixel : OpaqueBlack);
    } else if (frame.Disposal == 3 && !frame.SaveImage.isNull()) {
        for (int y = 0; y < frame.SaveImage.height(); ++y)
            std::copy_n(reinterpret_cast<const uint32_t *>(frame.SaveImage.constScanLine(y)), frame.SaveImage.width(),
                        reinterpret_cast<uint32_t *>(canvas_.scanLine(frame.Top + y)) + frame.Left);
    }
}

void GifAnimation::GetFrameInfo(int number, TFrameInfo &info) const
{
    info = TFrameInfo();
    if (Contains(number))
        info = Frame(number).FrameInfo();
}

const Bitmap *GifAnimation::FirstFrameBitmap()
{
    if (empty_ || frames_.empty())
        return nullptr;
    // Frame 1 of the files this is asked for lies at 0, 0; elsewhere its own pixels are shown.
    if (firstFrame_.isNull())
        firstFrame_ = *Frame(1).FrameInfo().Bitmap;
    return &firstFrame_;
}

} // namespace kaptiv
