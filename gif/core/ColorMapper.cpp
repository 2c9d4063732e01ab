#include "gif/core/ColorMapper.h"

#include "gif/core/RowOrder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

namespace kaptiv::gif {

namespace {

std::uint32_t RgbOfColorValue(std::int32_t value)
{
    const auto v = static_cast<std::uint32_t>(value);
    return (v & 0xFF) << 16 | (v & 0xFF00) | ((v >> 16) & 0xFF);
}

} // namespace

int ColorBits(int colors)
{
    if (colors > PaletteBuilder::MaxColors)
        return 0;
    int bits = 1;
    while ((1 << bits) < colors)
        ++bits;
    return bits;
}

PaletteBuilder::PaletteBuilder()
{
    keys_.fill(Empty);
}

void PaletteBuilder::Clear()
{
    // Only the slots taken are emptied: the table is far larger than the colours it holds.
    for (int i = 0; i < std::min(count_, MaxColors); ++i)
        keys_[slotOf_[static_cast<std::size_t>(i)]] = Empty;
    table_.fill(0);
    count_ = 0;
}

void PaletteBuilder::Truncate(int count)
{
    // The colours added last are at the ends of their probe runs (each took the first free slot
    // after the earlier ones), so emptying their slots leaves every earlier colour findable.
    for (int i = std::min(count_, MaxColors) - 1; i >= count; --i) {
        keys_[slotOf_[static_cast<std::size_t>(i)]] = Empty;
        std::fill_n(table_.begin() + 3 * i, 3, std::uint8_t{0});
    }
    count_ = std::min(count_, count);
}

// A colour that is new, or that another colour's slot pushed further along.
int PaletteBuilder::IndexPastSlot(std::uint32_t rgb, std::uint32_t slot)
{
    while (keys_[slot] != rgb) {
        if (keys_[slot] == Empty)
            return Add(rgb, slot);
        slot = (slot + 1) & (SlotCount - 1);
    }
    return indices_[slot];
}

int PaletteBuilder::Add(std::uint32_t rgb, std::uint32_t slot)
{
    if (count_ >= MaxColors) {
        count_ = MaxColors + 1;
        return -1;
    }
    const int index = count_++;
    keys_[slot] = rgb;
    indices_[slot] = static_cast<std::uint8_t>(index);
    slotOf_[static_cast<std::size_t>(index)] = static_cast<std::uint16_t>(slot);
    table_[3 * index] = static_cast<std::uint8_t>(rgb >> 16);
    table_[3 * index + 1] = static_cast<std::uint8_t>(rgb >> 8);
    table_[3 * index + 2] = static_cast<std::uint8_t>(rgb);
    return index;
}

bool MapFramePixels(const BgrxPixels &pixels, bool interlaced, std::int32_t transparentColor,
                    PaletteBuilder &palette, std::span<std::uint8_t> indices, int &transparentIndex)
{
    transparentIndex = NoTransparentIndex;
    const RowOrder rows(pixels.Height, interlaced);
    std::uint8_t *out = indices.data();
    const int width = pixels.Width;     // a local: the index stores could alias the struct
    std::vector<std::uint8_t> filled(pixels.FillRow ? 4 * static_cast<std::size_t>(width) : 0);
    for (int n = 0; n < pixels.Height; ++n) {
        const std::uint8_t *p = filled.data();
        if (pixels.FillRow)
            pixels.FillRow(rows.RowAt(n), filled.data());
        else
            p = pixels.Data + static_cast<std::ptrdiff_t>(rows.RowAt(n)) * pixels.Stride;
        for (int x = 0; x < width; ++x, p += 4) {
            const int index = palette.IndexOf(BgrxColor(p));
            if (index < 0)
                return false;
            *out++ = static_cast<std::uint8_t>(index);
        }
    }
    // Every pixel of a colour has the colour's one entry, so the first pixel of the transparent
    // colour has its entry, when any pixel of this frame has it.
    const int entry = palette.Find(RgbOfColorValue(transparentColor));
    if (entry >= 0 && std::memchr(indices.data(), entry, static_cast<std::size_t>(out - indices.data())))
        transparentIndex = entry;
    return true;
}

} // namespace kaptiv::gif
