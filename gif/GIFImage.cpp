#include "gif/GIFImage.h"

#include "platform/ui/Errors.h"
#include "platform/files/FileErrors.h"

#include <QPainter>

#include <filesystem>
#include <new>

#include <cmath>

namespace kaptiv {

TGIFImage::TGIFImage(QWidget *parent) : QWidget(parent), timer_(std::make_unique<TTimerEx>())
{
    resize(105, 105);
    timer_->setEnabled(false);
    timer_->setOnTimer([this](QObject *) { TimerTick(); });
}

TGIFImage::~TGIFImage()
{
    timer_.reset(); // first, so that no tick can arrive while the rest goes
}

// --- loading ---

bool TGIFImage::LoadGIFFile(const QString &fileName)
{
    std::error_code error;
    const std::filesystem::path path = nativePath(fileName);
    if (!std::filesystem::exists(path, error))
        return false;
    fileName_ = fileName;
    return LoadBytes(reportingFileErrors([&] { return files::ReadWholeFile(path); }));
}

bool TGIFImage::LoadGIFStream(QIODevice &stream)
{
    if (!stream.isSequential())
        stream.seek(0);
    const QByteArray bytes = stream.read(qint64(files::MaxReadSize));
    return LoadBytes(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

bool TGIFImage::LoadBytes(std::vector<uint8_t> bytes)
{
    bool parsed = false;
    // A picture the reader refuses or that memory cannot hold is a load that failed; any other
    // error is a fault of ours and goes on to the catch point.
    try {
        parsed = ParseGIF(std::move(bytes));
    } catch (const EGIFError &) {
        parsed = false;
    } catch (const std::bad_alloc &) {
        parsed = false;
    }
    if (!parsed)
        Clear();
    return parsed;
}

bool TGIFImage::ParseGIF(std::vector<uint8_t> bytes)
{
    ClearFrames();
    gif::ParseOptions options;
    if (OnProgress)
        options.OnProgress = [this](const gif::Progress &progress, bool &keepOnProcessing) {
            keepOnProcessing = true;
            OnProgress(this, progress.BytesProcessed, progress.BytesToProcess, progress.PercentageProcessed,
                       keepOnProcessing);
        };
    if (!animation_.Load(std::move(bytes), options,
                         decodeAsShown_ ? GifAnimation::Holding::AsShown : GifAnimation::Holding::EveryFrame))
        return false;
    if (autoSize_)
        resize(ImageWidth(), ImageHeight());
    UpdateOpaqueStyle();
    timer_->setInterval(1);
    Changing();
    ShowFrame(currentFrame_);
    Change();
    update();
    return true;
}

void TGIFImage::ClearFrames()
{
    timer_->setEnabled(false);
    animation_.Clear();
    currentFrame_ = 1;
    shownFrame_ = 0;
    loopsDone_ = 1;
}

void TGIFImage::Clear()
{
    ClearFrames();
    fileName_.clear();
    UpdateOpaqueStyle();
    update();
}

// --- playing ---

void TGIFImage::ShowFrame(int frame)
{
    animation_.DisposeFrame(shownFrame_);
    animation_.DrawFrame(frame);
    shownFrame_ = frame;
}

uint32_t TGIFImage::FrameInterval(int frame) const
{
    if (frame < 1 || frame > FrameCount())
        frame = FrameCount(); // the loops are used up: the last frame stands in
    const int delay = std::max(animation_.Facts(frame).Delay, minimumDelay_);
    return uint32_t(std::max(delay * 100 / speed_, 1));
}

void TGIFImage::TimerTick()
{
    if (Empty() || !animate_ || FrameCount() == 0)
        return;
    if (currentFrame_ > FrameCount() || currentFrame_ <= 0)
        currentFrame_ = 1;
    Changing();
    // Right after a load (or a restart at the frame on show) the frame is already drawn: this tick
    // only schedules the next.
    if (currentFrame_ != shownFrame_) {
        ShowFrame(currentFrame_);
        PaintNow();
    }
    timer_->setInterval(FrameInterval(currentFrame_));
    ++currentFrame_;
    const bool wrapped = currentFrame_ > FrameCount();
    if (!loop_ && LoopCount() > 0 && wrapped) {
        ++loopsDone_;
        timer_->setEnabled(loopsDone_ <= LoopCount()); // used up: stays past the last frame
    } else if (wrapped) {
        currentFrame_ = 1;
    }
    Change();
    if (wrapped && OnWrapAnimation)
        OnWrapAnimation(this);
}

void TGIFImage::setAnimate(bool animate)
{
    if (animate == animate_)
        return;
    animate_ = animate;
    loopsDone_ = 1;
    if (animate && FrameCount() > 1)
        timer_->setInterval(FrameInterval(currentFrame_));
    timer_->setEnabled(animate && IsAnimated() && !Empty());
    // Stopping returns to frame 1.
    if (!animate && FrameCount() > 0) {
        currentFrame_ = 1;
        if (shownFrame_ != 1) {
            ShowFrame(1);
            update();
        }
    }
}

int TGIFImage::CurrentFrame() const
{
    return FrameCount() > 0 ? std::min(currentFrame_, FrameCount()) : currentFrame_;
}

void TGIFImage::setCurrentFrame(int frame)
{
    if (frame == currentFrame_ || frame < 1 || frame > FrameCount())
        return;
    Changing();
    currentFrame_ = frame;
    ShowFrame(frame);
    PaintNow();
    Change();
}

void TGIFImage::setLoop(bool loop)
{
    if (loop == loop_)
        return;
    loop_ = loop;
    if (loop && FrameCount() > 0 && LoopCount() > 0 && loopsDone_ > LoopCount()) {
        currentFrame_ = 1;
        loopsDone_ = 1;
        if (animate_ && FrameCount() > 1)
            timer_->setInterval(FrameInterval(1));
        timer_->setEnabled(animate_ && IsAnimated());
    }
}

void TGIFImage::setSpeed(int speed)
{
    if (speed == speed_)
        return;
    speed_ = std::max(speed, 1);
    if (FrameCount() > 1 && animate_)
        timer_->setInterval(1); // the next tick comes at once and works out the new interval
}

void TGIFImage::Changing()
{
    if (OnChanging)
        OnChanging(this);
}

void TGIFImage::Change()
{
    if (OnChange)
        OnChange(this);
}

// --- showing ---

namespace {

template <typename T>
void storeAndRepaint(QWidget &control, T &field, T value)
{
    if (field == value)
        return;
    field = value;
    control.update();
}

} // namespace

void TGIFImage::setAutoSize(bool autoSize)
{
    if (autoSize == autoSize_)
        return;
    autoSize_ = autoSize;
    if (autoSize && !Empty()) {
        resize(ImageWidth(), ImageHeight());
        update();
    }
}

void TGIFImage::setCenter(bool center) { storeAndRepaint(*this, center_, center); }
void TGIFImage::setStretch(bool stretch) { storeAndRepaint(*this, stretch_, stretch); }
void TGIFImage::setStretchRatio(bool stretchRatio) { storeAndRepaint(*this, stretchRatio_, stretchRatio); }
void TGIFImage::setTile(bool tile) { storeAndRepaint(*this, tile_, tile); }

void TGIFImage::setVisible(bool visible)
{
    visible_ = visible;
    QWidget::setVisible(visible);
}

bool TGIFImage::StretchNeeded() const
{
    return (stretch_ || stretchRatio_) && size() != QSize(ImageWidth(), ImageHeight());
}

QRect TGIFImage::FittedRect() const
{
    const QRect client = rect();
    if (!stretchRatio_ || stretch_)
        return client;
    // Single precision and rounding halves to even, as the fitting has always been done.
    const float cw = float(client.width()), ch = float(client.height());
    const float w = float(ImageWidth()), h = float(ImageHeight());
    const float sx = cw / w, sy = ch / h;
    float left = float(client.left()), top = float(client.top());
    float right = float(client.left() + client.width()), bottom = float(client.top() + client.height());
    if (sx > sy) {
        const float margin = (cw - w * sy) * 0.5f;
        left += margin;
        right -= margin;
    } else {
        const float margin = (ch - h * sx) * 0.5f;
        top += margin;
        bottom -= margin;
    }
    for (float v : {left, top, right, bottom})
        if (!std::isfinite(v) || std::fabs(v) > 1e9f)
            return client;
    const int l = int(std::nearbyint(left)), t = int(std::nearbyint(top));
    return QRect(l, t, int(std::nearbyint(right)) - l, int(std::nearbyint(bottom)) - t);
}

QVector<QRect> TGIFImage::PictureRects() const
{
    const int w = ImageWidth(), h = ImageHeight();
    if (w <= 0 || h <= 0)
        return {};
    if (StretchNeeded())
        return {FittedRect()};
    if (tile_) {
        QVector<QRect> tiles;
        for (int row = 0; row <= height() / h; ++row)
            for (int column = 0; column <= width() / w; ++column)
                tiles.append(QRect(column * w, row * h, w, h));
        return tiles;
    }
    if (center_)
        return {QRect((width() - w) / 2, (height() - h) / 2, w, h)};
    return {QRect(0, 0, w, h)};
}

void TGIFImage::UpdateOpaqueStyle()
{
    // When the picture covers the whole control opaquely, nothing beneath needs painting first.
    const bool covers = tile_ || stretch_ || (ImageWidth() >= width() && ImageHeight() >= height());
    setAttribute(Qt::WA_OpaquePaintEvent, visible_ && !Empty() && !IsTransparent() && !stretchRatio_ && covers);
}

void TGIFImage::paintEvent(QPaintEvent *)
{
    UpdateOpaqueStyle();
    if (visible_ && !Empty() && FrameCount() > 0 && !animation_.Canvas().isNull()) {
        QPainter painter(this);
        // The canvas is transparent where nothing opaque has been drawn, so the toolkit's backing
        // store shows what lies behind there. When the first frame is opaque the picture is
        // copied as it stands instead: black there.
        const bool copied = !animation_.Facts(1).Transparent;
        for (const QRect &area : PictureRects()) {
            if (copied)
                painter.fillRect(area, Qt::black);
            painter.drawImage(area, animation_.Canvas());
        }
    }
    // This is how playing starts after a load when Animate is already on.
    timer_->setEnabled(IsAnimated() && animate_ && !Empty()
                       && (LoopCount() >= loopsDone_ || loop_ || LoopCount() == 0));
}

} // namespace kaptiv
