#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace kaptiv::gif {

// Where DecodeRaster puts the pixels of one image. Both buffers must be zero-filled; Mask is
// null unless the image has a transparent colour.
struct RasterTarget {
    int Width = 0;      // both above 0
    int Height = 0;
    bool Interlaced = false;
    std::uint8_t *Indices = nullptr;    // IndexStride * Height bytes
    std::size_t IndexStride = 0;        // at least Width
    std::uint8_t *Mask = nullptr;       // MaskStride * Height bytes, leftmost pixel in bit 7
    std::size_t MaskStride = 0;
    std::uint8_t TransparentIndex = 0;
};

// Told the read position after every completed row whose number is a multiple of 32 (of 64 for
// images up to 320 pixels wide), for images of more than 100000 pixels; returns false to abandon.
using RowProgress = std::function<bool(std::size_t readPos)>;

enum class RasterResult { Decoded, Abandoned };

// Decodes the image data that starts at readPos (the minimum code size byte) into the target and
// leaves readPos after the terminator of the data, or at the end of the file when it is cut short.
// Pixels the data does not reach keep index 0. Damaged data never reads or writes out of bounds.
RasterResult DecodeRaster(std::span<const std::uint8_t> file, std::size_t &readPos,
                          const RasterTarget &target, const RowProgress &progress = {});

// Moves readPos past a sequence of data sub-blocks and its terminator (or to the end of the file).
void SkipSubBlocks(std::span<const std::uint8_t> file, std::size_t &readPos);

} // namespace kaptiv::gif
