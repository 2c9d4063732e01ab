#pragma once
// kaptiv gif-info without Qt: both programs list a GIF file's facts and frames by this one command.

#include "gif/core/GifReader.h"

#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

namespace kaptiv::cli {

// `arguments` are the words after "gif-info". Raises ArgumentRefused for arguments it cannot use,
// CodecError when the file cannot be read or is no GIF.
void gifInfo(std::span<const std::string_view> arguments, std::ostream &out);

// The reader's options where a command takes a file's frames one at a time, as the player does.
gif::ParseOptions frameByFrame(gif::FrameHandler onFrame);

// What every command that counts a file's frames adds when the reader stopped at its limit.
std::string beyondLimit(bool beyond, int read);

} // namespace kaptiv::cli
