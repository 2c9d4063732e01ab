#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

namespace kaptiv::gif {

namespace detail {
struct StringTable;
}

// The string table DecodeRaster works in (64 KiB), kept from image to image so that an animation of
// many small frames does not allocate and clear one for each. Made when first used; one per
// thread of decoding.
class LzwTables {
public:
    LzwTables();
    ~LzwTables();
    LzwTables(LzwTables &&) noexcept;
    LzwTables &operator=(LzwTables &&) noexcept;

    detail::StringTable &Table(int clearCode);

    // At least `size` bytes, their contents left as they are: where an interlaced image's rows
    // are decoded before they are put in order. Kept for the next image.
    std::uint8_t *Rows(std::size_t size);

private:
    std::unique_ptr<detail::StringTable> table_;
    int setUpFor_ = 0;  // the clear code whose single-index entries the table holds, 0 for none
    std::unique_ptr<std::uint8_t[]> rows_;
    std::size_t rowsSize_ = 0;
};

// Where DecodeRaster puts the pixels of one image. Both buffers must be zero-filled. The mask,
// only for an image with a transparent colour, is either given (Mask) or asked for once the
// indices are decoded, and only when the transparent index occurs among them or the data is
// damaged (NewMask).
struct RasterTarget {
    int Width = 0;      // both above 0
    int Height = 0;
    bool Interlaced = false;
    std::uint8_t *Indices = nullptr;    // IndexStride * Height bytes
    std::size_t IndexStride = 0;        // at least Width
    std::uint8_t *Mask = nullptr;       // MaskStride * Height bytes, leftmost pixel in bit 7
    std::size_t MaskStride = 0;
    std::uint8_t TransparentIndex = 0;
    std::function<std::uint8_t *()> NewMask;  // when Mask is null: a zeroed MaskStride * Height buffer
};

// Told the read position after every completed row whose number is a multiple of 32 (of 64 for
// images up to 320 pixels wide), for images of more than 100000 pixels; returns false to abandon.
using RowProgress = std::function<bool(std::size_t readPos)>;

enum class RasterResult { Decoded, Abandoned };

// Decodes the image data that starts at readPos (the minimum code size byte) into the target and
// leaves readPos after the terminator of the data, or at the end of the file when it is cut short.
// Pixels the data does not reach keep index 0. Damaged data never reads or writes out of bounds.
// `tables` may be shared by the images decoded one after another; without it the image gets its own.
RasterResult DecodeRaster(std::span<const std::uint8_t> file, std::size_t &readPos,
                          const RasterTarget &target, const RowProgress &progress = {},
                          LzwTables *tables = nullptr);

// Moves readPos past a sequence of data sub-blocks and its terminator (or to the end of the file).
void SkipSubBlocks(std::span<const std::uint8_t> file, std::size_t &readPos);

} // namespace kaptiv::gif
