#include "gif/core/ColorMapper.h"

#include "gif/core/RowOrder.h"


namespace kaptiv::gif {

namespace {

std::uint32_t PixelColor(const std::uint8_t *p)
{
    return static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[1]) << 8 | p[0];
}

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

void PaletteBuilder::Clear()
{
    table_.fill(0);
    count_ = 0;
    keys_.fill(Empty);
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
    table_[3 * index] = static_cast<std::uint8_t>(rgb >> 16);
    table_[3 * index + 1] = static_cast<std::uint8_t>(rgb >> 8);
    table_[3 * index + 2] = static_cast<std::uint8_t>(rgb);
    return index;
}

bool MapFramePixels(const BgrxPixels &pixels, bool interlaced, std::int32_t transparentColor,
                    PaletteBuilder &palette, std::span<std::uint8_t> indices, int &transparentIndex)
{
    transparentIndex = NoTransparentIndex;
    const std::uint32_t transparentRgb = RgbOfColorValue(transparentColor);
    bool looking = true;
    const RowOrder rows(pixels.Height, interlaced);
    std::uint8_t *out = indices.data();
    for (int n = 0; n < pixels.Height; ++n) {
        const std::uint8_t *p = pixels.Data + static_cast<std::ptrdiff_t>(rows.RowAt(n)) * pixels.Stride;
        for (int x = 0; x < pixels.Width; ++x, p += 4) {
            const std::uint32_t rgb = PixelColor(p);
            const int index = palette.IndexOf(rgb);
            if (index < 0)
                return false;
            if (looking && rgb == transparentRgb) {
                transparentIndex = index;
                looking = false;
            }
            *out++ = static_cast<std::uint8_t>(index);
        }
    }
    return true;
}

} // namespace kaptiv::gif
