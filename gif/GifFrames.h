#pragma once
// The frames of a read GIF file as the rest of the program takes them: frame records with a
// picture of their own.

#include "gif/FrameInfo.h"
#include "gif/GifAnimation.h"
#include "gif/core/GifReader.h"

#include <QString>

namespace kaptiv {

// The bytes of a GIF file through the one file reader (platform/files/FileAccess.h): a regular file of at
// most 1 GiB. Raises EOpenFile saying why when it cannot be had, EGIFError when it is not a GIF.
std::vector<std::uint8_t> readGifFile(const QString &path);

// Reads the bytes of the file at `path`; raises EGIFError naming the file and why when they are
// not a GIF or pass a limit of the reader, so that nothing is ever read in part without a word.
gif::GifImage parseGif(const QString &path, std::span<const std::uint8_t> bytes,
                       const gif::ParseOptions &options = {});

// Reads a whole GIF file with every frame's pixels; raises EOpenFile or EGIFError as above.
gif::GifImage loadGif(const QString &path);
// The same, as frames composed on a canvas, held as asked (as shown: the file is checked whole and
// its frames are decoded when drawn).
GifAnimation loadGifAnimation(const QString &path, GifAnimation::Holding holding = GifAnimation::Holding::AsShown);

// The record of frame `index` (from 1): position, size, timing, transparency and a new 24-bit
// picture of the frame's own pixels, where transparent pixels show the transparent colour. An
// index outside the frames gives an all-zero record without a picture.
TFrameInfo GetFrameInfo(const gif::GifImage &image, int index);
// The same for one decoded frame; a frame without pixels gets a null picture. Raises EOutOfMemory
// when the picture cannot be had.
TFrameInfo frameRecord(const gif::GifFrame &frame);

} // namespace kaptiv
