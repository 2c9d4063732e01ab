#include "animation/AnimationRecord.h"

#include "platform/ui/Errors.h"

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
    TGIFSaveInfo info;
    info.Frames = std::move(frames);
    requireGifExtent(info);
    info.Loop = quint16(std::clamp(loopCount, 0, MaxLoopCount));
    info.GlobalColors = true;
    return info;
}

std::vector<uint8_t> EncodeAnimation(TGIFSaveInfo &info)
{
    std::vector<uint8_t> bytes;
    if (!EncodeGIF(info, bytes))
        refuseGifFrames(info);
    return bytes;
}

void SaveAnimation(const QString &fileName, TGIFSaveInfo &info)
{
    if (!SaveGIF(fileName, info))
        refuseGifFrames(info);
}

} // namespace kaptiv
