#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kaptiv::gif {

// Appends one image's data to `out`: the LZW minimum code size, the compressed indices in data
// sub-blocks, and the terminator. `colorCount` is the size of the colour table the indices refer to.
void CompressFrame(std::span<const std::uint8_t> indices, int colorCount, std::vector<std::uint8_t> &out);

} // namespace kaptiv::gif
