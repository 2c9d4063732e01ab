#include "animation/AnimationRecord.h"

#include "platform/Errors.h"

#include <algorithm>

namespace kaptiv {

TGIFSaveInfo AnimationRecord(std::vector<TFrameInfo> frames, int loopCount)
{
    const int count = int(frames.size());
    if (count > MaxAnimationFrames)
        throw EGIFError(QStringLiteral("An animated GIF can hold at most %1 images, and the list has %2.  Remove %3 "
                                       "of them and try again.")
                            .arg(MaxAnimationFrames)
                            .arg(count)
                            .arg(count - MaxAnimationFrames));
    // The file keeps every position and size in 16 bits; a frame reaching past them would be cut
    // by every reader.
    for (int n = 0; n < count; ++n) {
        const TFrameInfo &frame = frames[size_t(n)];
        if (int64_t{frame.Left} + frame.Width > MaxGifExtent || int64_t{frame.Top} + frame.Height > MaxGifExtent)
            throw EGIFError(QStringLiteral("Image %1 reaches %2 x %3 pixels from the top left, beyond the %4 x %4 "
                                           "a GIF file can hold.  Move it or make it smaller.")
                                .arg(n + 1)
                                .arg(int64_t{frame.Left} + frame.Width)
                                .arg(int64_t{frame.Top} + frame.Height)
                                .arg(MaxGifExtent));
    }
    TGIFSaveInfo info;
    info.Frames = std::move(frames);
    info.Loop = quint16(std::clamp(loopCount, 0, MaxLoopCount));
    info.GlobalColors = true;
    return info;
}

std::vector<uint8_t> EncodeAnimation(TGIFSaveInfo &info)
{
    std::vector<uint8_t> bytes;
    if (!EncodeGIF(info, bytes))
        refuseGifFrames();
    return bytes;
}

void SaveAnimation(const QString &fileName, TGIFSaveInfo &info)
{
    if (!SaveGIF(fileName, info))
        refuseGifFrames();
}

} // namespace kaptiv
