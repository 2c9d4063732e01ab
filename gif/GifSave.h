#pragma once
// Saving frame records as a GIF file: the program's side of the writer.

#include "gif/FrameInfo.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

namespace kaptiv {

struct TGIFSaveInfo {
    std::vector<TFrameInfo> Frames; // in display order; the count is their number
    quint16 Loop = 0;               // 0 repeats for ever
    bool GlobalColors = false;      // share one colour table; cleared when the frames do not fit one
    bool Optimize = false;          // store each frame as what it changes on screen
    // Frames of more than 256 colours get an adaptive table (one shared by all frames with
    // GlobalColors, else one each) instead of being refused; a frame whose colours fit the table
    // in use keeps them exactly. Dither applies to reduced frames only.
    bool ReduceColors = false;
    bool Dither = true;
    int Count() const { return int(Frames.size()); }
};

// The whole GIF file for the frames, in `bytes`. False when a frame needs more than 256 colours
// (alone, or the first frame of a shared table) or has no picture, or there are no frames.
bool EncodeGIF(TGIFSaveInfo &info, std::vector<uint8_t> &bytes);

// The picture with at most 256 colours as an 8-bit bitmap: its own colours when they are that
// few, else an adaptive table (dithered when asked). Raises EOutOfMemory.
Bitmap bitmapWithAdaptiveColors(const Bitmap &picture, bool dither);

// Writes the frames to `fileName`. False when EncodeGIF is; the file is then left as it was. A
// file that cannot be created raises EOpenFile with the reason.
bool SaveGIF(const QString &fileName, TGIFSaveInfo &info);

// Writes `count` frames that `frameAt` gives one at a time (each is asked for twice: for its
// colours, then to write it), so only one frame's picture is held at once and the file goes to
// disk as it is made. info.Loop, GlobalColors and Optimize are as for SaveGIF; info.Frames gets
// the frames' records without their pictures, for refuseGifFrames. False as for SaveGIF; the file
// is then left as it was.
bool SaveGIF(const QString &fileName, int count, const std::function<TFrameInfo(int)> &frameAt, TGIFSaveInfo &info);

// The farthest right or down any frame may reach: the file's 16-bit screen size.
inline constexpr int MaxGifExtent = 65535;

// Raises EGIFError, saying what to change, when a frame of `info` reaches past MaxGifExtent.
void requireGifExtent(const TGIFSaveInfo &info);

// What the user is told when EncodeGIF or SaveGIF says false for `info`: raises EGIFError.
[[noreturn]] void refuseGifFrames(const TGIFSaveInfo &info);

} // namespace kaptiv
