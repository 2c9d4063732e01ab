#pragma once
// The frames of a read GIF file as the rest of the program takes them: frame records with a
// picture of their own.

#include "gif/FrameInfo.h"
#include "gif/GifAnimation.h"
#include "gif/core/GifTypes.h"

#include <QString>

namespace kaptiv {

// The bytes of a GIF file: a regular file of at most MaxGifFileBytes. Raises EGIFError saying why
// when it cannot be had.
constexpr qint64 MaxGifFileBytes = qint64(1) << 30;
QByteArray readGifFile(const QString &path);

// Reads a whole GIF file; raises EGIFError when it cannot be read at all.
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
