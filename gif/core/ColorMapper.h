#pragma once

#include "gif/core/GifTypes.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <span>

namespace kaptiv::gif {

// 32-bit pixels, four bytes each: blue, green, red and one ignored byte; rows top first.
struct BgrxPixels {
    const std::uint8_t *Data = nullptr;
    int Width = 0;
    int Height = 0;
    std::ptrdiff_t Stride = 0;  // bytes from one row to the next
    // In place of Data: writes row `y` (Width x 4 bytes) into `row`, for a picture held in another
    // form, which then needs no 32-bit copy of the whole of it. Only the frame mapping and the
    // writer take it; the colour reducer reads Data.
    std::function<void(int y, std::uint8_t *row)> FillRow = nullptr;
};

// The 0xRRGGBB colour of one such pixel.
inline std::uint32_t BgrxColor(const std::uint8_t *p)
{
    if constexpr (std::endian::native == std::endian::little) {
        std::uint32_t bgrx;
        std::memcpy(&bgrx, p, 4);
        return bgrx & 0xFFFFFF;
    }
    return std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
}

// Bits per index for a table of that many colours: 1 to 8; 0 for more than 256.
int ColorBits(int colors);

// A colour table built from the colours met, in the order they are first met.
class PaletteBuilder {
public:
    static constexpr int MaxColors = 256;

    PaletteBuilder();
    void Clear();

    // The index of a colour (0xRRGGBB), which is added when it is new; -1 when it would be the
    // 257th colour. After that Count() stays above MaxColors until Clear().
    int IndexOf(std::uint32_t rgb)
    {
        const std::uint32_t slot = Hash(rgb);
        if (keys_[slot] == rgb) [[likely]]
            return indices_[slot];
        return IndexPastSlot(rgb, slot);
    }

    // The index of a colour already in the table, -1 when it is not.
    int Find(std::uint32_t rgb) const
    {
        for (std::uint32_t slot = Hash(rgb); keys_[slot] != Empty; slot = (slot + 1) & (SlotCount - 1))
            if (keys_[slot] == rgb)
                return indices_[slot];
        return -1;
    }

    // Forgets the colours added after the first `count`, so a table can be given back as it was
    // before a frame that did not fit it.
    void Truncate(int count);

    int Count() const { return count_; }
    // Red, green, blue of entry 0 upwards; entries past Count() are zero.
    const ColorTable &Table() const { return table_; }

private:
    // A sparse table (256 colours in 16384 slots): a colour nearly always sits in its own slot,
    // so a lookup is one comparison that the processor predicts.
    static constexpr int SlotBits = 14;
    static constexpr int SlotCount = 1 << SlotBits;
    static constexpr std::uint32_t Empty = 0xFFFFFFFF;

    static std::uint32_t Hash(std::uint32_t rgb) { return (rgb * 2654435761u) >> (32 - SlotBits); }
    int IndexPastSlot(std::uint32_t rgb, std::uint32_t slot);
    int Add(std::uint32_t rgb, std::uint32_t slot);

    ColorTable table_{};
    int count_ = 0;
    std::array<std::uint32_t, SlotCount> keys_;
    std::array<std::uint8_t, SlotCount> indices_;
    std::array<std::uint16_t, MaxColors> slotOf_;  // where each entry's colour sits, for Clear
};

// Maps every pixel to its index in `palette`, writing the indices in the order they are
// compressed (rows top first, or in interlaced order). `transparentIndex` becomes the index of
// the first pixel of `transparentColor` (0xBBGGRR; -1 means white), or NoTransparentIndex when
// no pixel has it.
// False, with the indices incomplete, when the pixels need a 257th colour.
constexpr int NoTransparentIndex = -1;
bool MapFramePixels(const BgrxPixels &pixels, bool interlaced, std::int32_t transparentColor,
                    PaletteBuilder &palette, std::span<std::uint8_t> indices, int &transparentIndex);

} // namespace kaptiv::gif
