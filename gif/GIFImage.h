#pragma once
// TGIFImage: a control that loads a GIF file, shows its picture plain, centred, stretched, fitted
// or tiled over whatever lies behind it, and plays its animation. Made invisible it serves as the
// program's GIF decoder: load, ask the facts, take frame records.

#include "gif/GifAnimation.h"
#include "gif/TimerEx.h"

#include <QIODevice>

#include <algorithm>
#include <QVector>
#include <QWidget>

#include <memory>
#include <vector>

namespace kaptiv {

using TProgressEvent = std::function<void(QObject *Sender, int32_t BytesProcessed, int32_t BytesToProcess,
                                          int32_t PercentageProcessed, bool &KeepOnProcessing)>;

class TGIFImage : public QWidget {
    Q_OBJECT
public:
    static constexpr int MinimumDelay = 50; // milliseconds a frame is shown at least, at speed 100

    explicit TGIFImage(QWidget *parent = nullptr);
    ~TGIFImage() override;

    // False when the file does not exist (nothing changes) or cannot be parsed (the control is
    // emptied). A file that exists but cannot be read raises EOpenFile.
    bool LoadGIFFile(const QString &fileName);
    // The whole content of the stream, from its start.
    bool LoadGIFStream(QIODevice &stream);
    void Clear(); // drops the picture and the file name

    // Frame numbers count from 1. An all-zero record without a picture outside the frames.
    void GetFrameInfo(int index, TFrameInfo &info) const { animation_.GetFrameInfo(index, info); }
    const Bitmap *FirstFrameBitmap() { return animation_.FirstFrameBitmap(); }

    bool Animate() const { return animate_; }
    void setAnimate(bool animate);
    bool AutoSize() const { return autoSize_; }
    void setAutoSize(bool autoSize);
    bool Center() const { return center_; }
    void setCenter(bool center);
    // The frame shown, or to be shown next while playing. When the loops are used up the last frame
    // stays on show and is the one reported.
    int CurrentFrame() const;
    void setCurrentFrame(int frame);
    QString FileName() const { return fileName_; }
    void setFileName(const QString &fileName) { LoadGIFFile(fileName); }
    bool Loop() const { return loop_; }
    void setLoop(bool loop);
    int Speed() const { return speed_; } // per cent of the file's delays, at least 1
    void setSpeed(int speed);
    // The shortest time a frame is shown (MinimumDelay unless set): a recording's player plays the
    // file's own delays, down to one hundredth.
    void setMinimumDelay(int milliseconds) { minimumDelay_ = std::max(milliseconds, 1); }
    bool Stretch() const { return stretch_; }
    void setStretch(bool stretch);
    bool StretchRatio() const { return stretchRatio_; }
    void setStretchRatio(bool stretchRatio);
    bool Tile() const { return tile_; }
    void setTile(bool tile);
    bool Threaded() const { return timer_->Threaded(); }
    void setThreaded(bool threaded) { timer_->setThreaded(threaded); }
    TThreadPriority ThreadPriority() const { return timer_->ThreadPriority(); }
    void setThreadPriority(TThreadPriority priority) { timer_->setThreadPriority(priority); }
    // Decode each frame when it is shown instead of every frame at load (GifAnimation::Holding):
    // memory then follows the canvas and the file, and a file of more than 256 frames plays whole.
    // Takes effect at the next load; off by default.
    bool DecodeAsShown() const { return decodeAsShown_; }
    void setDecodeAsShown(bool asShown) { decodeAsShown_ = asShown; }
    // The control's own visibility: invisible, it paints nothing but loads and answers as usual.
    bool Visible() const { return visible_; }
    void setVisible(bool visible) override;

    TNotifyEvent OnChanging;      // before the shown frame changes
    TNotifyEvent OnChange;        // after it has changed
    TProgressEvent OnProgress;    // load progress; leaving KeepOnProcessing false abandons the load
    TNotifyEvent OnWrapAnimation; // the animation has passed its last frame

    bool Empty() const { return animation_.Empty(); }
    int FrameCount() const { return animation_.FrameCount(); }
    int ImageWidth() const { return animation_.ImageWidth(); }
    int ImageHeight() const { return animation_.ImageHeight(); }
    int ColorDepth() const { return animation_.ColorDepth(); }
    bool IsTransparent() const { return animation_.IsTransparent(); }
    bool IsAnimated() const { return animation_.IsAnimated(); }
    int LoopCount() const { return animation_.LoopCount(); }
    // The file holds more frames than were read (256 unless DecodeAsShown).
    bool FramesBeyondLimit() const { return animation_.FramesBeyondLimit(); }
    const gif::ColorTable &GlobalTable() const { return animation_.GlobalTable(); }
    const GifAnimation &Animation() const { return animation_; }
    const TTimerEx &Timer() const { return *timer_; }
    // The bytes of the file last loaded.
    const std::vector<uint8_t> &DataBytes() const { return animation_.FileBytes(); }

    // Where the picture is drawn in the control: one rectangle, or one per tile.
    QVector<QRect> PictureRects() const;
    // The next step of the animation; the timer's handler.
    void TimerTick();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int minimumDelay_ = MinimumDelay;
    bool LoadBytes(std::vector<uint8_t> bytes);
    bool ParseGIF(std::vector<uint8_t> bytes); // the animation keeps the bytes as DataBytes
    void ClearFrames();
    void ShowFrame(int frame); // disposes the frame on show, draws `frame`
    uint32_t FrameInterval(int frame) const;
    bool StretchNeeded() const;
    QRect FittedRect() const;
    void UpdateOpaqueStyle();
    void PaintNow() { repaint(); }
    void Changing();
    void Change();

    GifAnimation animation_;
    bool decodeAsShown_ = false;
    QString fileName_;
    bool animate_ = false;
    bool autoSize_ = false;
    bool center_ = false;
    bool loop_ = false;
    int speed_ = 100;
    bool stretch_ = false;
    bool stretchRatio_ = false;
    bool tile_ = false;
    bool visible_ = true;
    int currentFrame_ = 1; // may stand at FrameCount + 1 once the loops are used up
    int shownFrame_ = 0;   // the frame drawn last on the canvas; 0 for none
    int loopsDone_ = 1;
    std::unique_ptr<TTimerEx> timer_;
};

} // namespace kaptiv
