#pragma once
// The animation the builder lists, as one record for the writer, and writing it: what "Save..."
// and the preview share.

#include "gif/GifSave.h"

#include <QString>
#include <cstdint>
#include <vector>

namespace kaptiv {

// The program reads no more than this many images of a GIF file, so it writes no more either.
inline constexpr int MaxAnimationFrames = 256;
// The largest loop count the file holds.
inline constexpr int MaxLoopCount = 65535;

// A fresh record for `frames`, in order, sharing one colour table where they fit one. `loopCount`
// 0 repeats for ever. More than MaxAnimationFrames frames, or a frame
// reaching past MaxGifExtent, raise EGIFError saying what to change.
TGIFSaveInfo AnimationRecord(std::vector<TFrameInfo> frames, int loopCount);

// The file's bytes for `info`; EGIFError with the builder's message when the writer refuses them.
std::vector<uint8_t> EncodeAnimation(TGIFSaveInfo &info);
// Writes `info` to `fileName`: EGIFError as above, EOpenFile when the file cannot be written.
// Nothing is left on disk after a failure.
void SaveAnimation(const QString &fileName, TGIFSaveInfo &info);

} // namespace kaptiv
