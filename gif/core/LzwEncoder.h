#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kaptiv::gif {

// Appends one image's data to `out`: the LZW minimum code size, the compressed indices in data
// sub-blocks, and the terminator. `colorCount` is the size of the colour table the indices refer to.
void CompressFrame(std::span<const std::uint8_t> indices, int colorCount, std::vector<std::uint8_t> &out);

// The same indices in as few bytes as this encoder manages: when the string table fills, clearing
// it is also put off while coding on from the full table does better, in a few ways, and the
// smallest result is kept. Slower; what it writes decodes to the same indices.
void CompressFrameSmallest(std::span<const std::uint8_t> indices, int colorCount, std::vector<std::uint8_t> &out);

// Between the two: one cheap look-ahead decides when to clear a full string table. About a tenth
// smaller than CompressFrame where the table fills (large frames), at about twice its time;
// what it writes decodes to the same indices.
void CompressFrameSmaller(std::span<const std::uint8_t> indices, int colorCount, std::vector<std::uint8_t> &out);

enum class LzwCoding { Fast, Smaller, Smallest };
void CompressFrameWith(LzwCoding coding, std::span<const std::uint8_t> indices, int colorCount,
                       std::vector<std::uint8_t> &out);

} // namespace kaptiv::gif
