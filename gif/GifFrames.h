#pragma once
// The frames of a read GIF file as the rest of the program takes them: frame records with a
// picture of their own.

#include "gif/FrameInfo.h"
#include "gif/GifAnimation.h"
#include "gif/core/GifTypes.h"

#include <QString>

namespace kaptiv {

// The bytes of a GIF file through the one file reader (platform/FileAccess.h): a regular file of at
// most 1 GiB. Raises EOpenFile saying why when it cannot be had, EGIFError when it is not a GIF.
std::vector<std::uint8_t> readGifFile(const QString &path);

// Reads a whole GIF file; raises EOpenFile or EGIFError as above, or when it cannot be read at all.
gif::GifImage loadGif(const QString &path);
// The same, as frames composed on a canvas.
GifAnimation loadGifAnimation(const QString &path);

// The record of frame `index` (from 1): position, size, timing, transparency and a new 24-bit
// picture of the frame's own pixels, where transparent pixels show the transparent colour. An
// index outside the frames gives an all-zero record without a picture.
TFrameInfo GetFrameInfo(const gif::GifImage &image, int index);
// The same for one decoded frame.
TFrameInfo frameRecord(const gif::GifFrame &frame);

} // namespace kaptiv
