#pragma once
// A GIF file by its name, without Qt: its bytes through the one file reader and the codec core's
// reading of them, with the messages the user sees when they are no GIF or pass a limit. Both
// programs read GIF files through here.

#include "gif/core/GifReader.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kaptiv::gif {

// Frames read from one file when they are taken one at a time (the player, the commands that list
// or write frames): 24 bytes each are kept.
inline constexpr int MaxFramesAsShown = 1 << 21;

// The reader's limits where frames are taken one at a time: MaxFramesAsShown frames, any number of
// pixels together (each frame still within its own limit).
ReadLimits oneFrameAtATime();

// The bytes of the file at `path` (a regular file of at most 1 GiB beginning "GIF"). Raises
// CodecError (File) with the file reader's message when it cannot be had, CodecError (Gif)
// "\"<path>\" is not a GIF file that can be read." when it does not begin as a GIF.
std::vector<std::uint8_t> readGifFile(const std::string &path);

// Reads `bytes`, the file at `path`; raises CodecError (Gif) naming the file and why when they are
// not a GIF or pass a limit of the reader, so that nothing is ever read in part without a word.
GifImage parseGifFile(const std::string &path, std::span<const std::uint8_t> bytes, const ParseOptions &options = {});

} // namespace kaptiv::gif
