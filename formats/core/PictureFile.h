#pragma once
// What every codec without Qt does around its bytes: get them through the one file reader and put
// them down through the one file writer (platform/files/FileAccess.h), with messages that name the
// file as the windowed program words them.

#include "formats/core/PixelBuffer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kaptiv {

// Decodes the bytes; `owner` keeps them alive, for a picture that is made of them.
using DecodePicture = std::function<PixelBuffer(std::span<const std::uint8_t> bytes, std::shared_ptr<const void> owner)>;

// Reads `path` (a regular file of at most 1 GiB) and decodes it. A file that cannot be read raises
// CodecError with the file reader's message, which names the file; a file that begins with none of
// `signatures` raises CodecError "<path>: <notValid>"; a CodecError raised by `decode` comes out
// with "<path>: " before its message, since one command may read several files.
PixelBuffer readPictureFile(const std::string &path, std::span<const std::string_view> signatures,
                            std::string_view notValid, const DecodePicture &decode);

// Checks that `path` can be written, then writes what `encode` makes; raises CodecError with the
// file writer's message, or whatever `encode` raises. A failure leaves any old file as it was.
void writePictureFile(const std::string &path, const std::function<std::vector<std::uint8_t>()> &encode);

// The readers of the formats the core reads, by the same signatures and words as the windowed program.
PixelBuffer loadBmpFile(const std::string &path);
PixelBuffer loadJpegFile(const std::string &path);
PixelBuffer loadPngFile(const std::string &path);

} // namespace kaptiv
