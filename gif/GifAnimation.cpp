#include "gif/GifAnimation.h"

#include <limits>
#include <new>
#include <stdexcept>

namespace kaptiv {

namespace {

constexpr uint32_t ClearPixel = 0x00000000u;   // nothing opaque drawn: the background shows
constexpr uint32_t OpaqueBlack = 0xFF000000u;

} // namespace

bool GifAnimation::Load(std::vector<uint8_t> file, const gif::ParseOptions &options, Holding holding)
{
    Clear();
    holding_ = holding;
    file_ = std::move(file);
    if (holding == Holding::AsShown) {
        // One frame at a time: the file's size bounds the work, not a count of frames or pixels.
        gif::ParseOptions checked = options;
        checked.Limits = OneFrameAtATime();
        if (gif::IndexGIF(file_, index_, checked) != gif::ParseResult::Read) {
            Clear();
            return false;
        }
    } else {
        gif::GifImage image;
        if (!gif::ParseGIF(file_, image, options)) {
            Clear();
            return false;
        }
        index_.Frames.reserve(image.Frames.size());
        frames_.reserve(image.Frames.size());
        for (gif::GifFrame &frame : image.Frames) {
            index_.Frames.push_back(gif::FactsOf(frame));
            frames_.push_back(std::make_shared<const TFrame>(std::move(frame)));
        }
        image.Frames.clear();
        index_.Image = std::move(image);
    }
    const gif::GifImage &image = index_.Image;
    if (qint64(image.ImageWidth) * image.ImageHeight > MaxCanvasPixels) {
        Clear();
        return false;
    }
    imageWidth_ = image.ImageWidth;
    imageHeight_ = image.ImageHeight;
    colorDepth_ = image.ColorDepth;
    loopCount_ = image.LoopCount;
    isTransparent_ = image.IsTransparent;
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
    holding_ = Holding::EveryFrame;
    file_ = {};
    index_ = {};
    frames_ = {};
    cache_ = {};
    cacheBytes_ = 0;
    last_.reset();
    lastNumber_ = 0;
    empty_ = true;
    imageWidth_ = imageHeight_ = colorDepth_ = 0;
    loopCount_ = 1;
    isTransparent_ = false;
    canvas_ = QImage();
    savedUnder_ = QImage();
    savedFor_ = 0;
    firstFrame_ = Bitmap();
}

std::shared_ptr<const TFrame> GifAnimation::Frame(int number) const
{
    if (!Contains(number))
        return nullptr;
    if (holding_ == Holding::EveryFrame)
        return frames_[size_t(number - 1)];
    if (number == lastNumber_)
        return last_;
    if (const auto kept = cache_.find(number); kept != cache_.end())
        return kept->second;
    gif::GifFrame decoded;
    if (!gif::DecodeIndexedFrame(file_, index_, size_t(number - 1), decoded, &tables_))
        throw std::runtime_error("a GIF frame checked at load cannot be read again");
    auto frame = std::make_shared<const TFrame>(std::move(decoded));
    // The first frames that fit stay for good: a looping animation finds them again, where a cache
    // that dropped the oldest would never hold the frame wanted next.
    if (cacheBytes_ + frame->MemorySize() <= CacheBytes) {
        cacheBytes_ += frame->MemorySize();
        cache_.emplace(number, frame);
    } else {
        last_ = frame;
        lastNumber_ = number;
    }
    return frame;
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
    const std::shared_ptr<const TFrame> frame = Frame(number);
    if (frame->Disposal == 3) {
        savedUnder_ = canvas_.copy(QRect(frame->Left, frame->Top, frame->Width, frame->Height));
        savedFor_ = number;
    }
    frame->DrawOnto(canvas_);
}

void GifAnimation::DisposeFrame(int number)
{
    if (!Contains(number) || canvas_.isNull())
        return;
    const gif::FrameFacts &frame = Facts(number);
    const QRect area(frame.Left, frame.Top, frame.Width, frame.Height);
    if (frame.Disposal == 2) {
        // The file's background colour plays no part: what lies behind shows, or black.
        Fill(area, isTransparent_ ? ClearPixel : OpaqueBlack);
    } else if (frame.Disposal == 3 && savedFor_ == number && !savedUnder_.isNull()) {
        for (int y = 0; y < savedUnder_.height(); ++y)
            std::copy_n(reinterpret_cast<const uint32_t *>(savedUnder_.constScanLine(y)), savedUnder_.width(),
                        reinterpret_cast<uint32_t *>(canvas_.scanLine(frame.Top + y)) + frame.Left);
    }
}

void GifAnimation::GetFrameInfo(int number, TFrameInfo &info) const
{
    info = TFrameInfo();
    if (Contains(number))
        info = Frame(number)->FrameInfo();
}

const Bitmap *GifAnimation::FirstFrameBitmap()
{
    if (empty_ || FrameCount() == 0)
        return nullptr;
    // Frame 1 of the files this is asked for lies at 0, 0; elsewhere its own pixels are shown.
    if (firstFrame_.isNull())
        firstFrame_ = *Frame(1)->FrameInfo().Bitmap;
    return &firstFrame_;
}

} // namespace kaptiv
