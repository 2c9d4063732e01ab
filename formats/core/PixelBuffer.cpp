#include "formats/core/PixelBuffer.h"

#include "formats/core/CodecError.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace kaptiv {

std::ptrdiff_t PixelBuffer::strideFor(int width, PixelFormat format)
{
    const int bits = format == PixelFormat::Index8 ? 8
        : format == PixelFormat::Rgb565 || format == PixelFormat::Rgb555 ? 16
        : format == PixelFormat::Bgr24                                    ? 24
                                                                          : 32;
    return std::ptrdiff_t((std::int64_t(width) * bits + 31) / 32 * 4);
}

PixelBuffer PixelBuffer::allocate(int width, int height, PixelFormat format, int depth,
                                  std::vector<std::uint32_t> colorTable)
{
    PixelBuffer buffer;
    buffer.width_ = width;
    buffer.height_ = height;
    buffer.depth_ = depth;
    buffer.format_ = format;
    buffer.stride_ = strideFor(width, format);
    buffer.colorTable_ = std::move(colorTable);
    if (width <= 0 || height <= 0) { // a picture without pixels is 0 x 0 (as QImage has it), and keeps its depth
        buffer.width_ = buffer.height_ = 0;
        buffer.stride_ = 0;
        return buffer;
    }
    // As QImage refuses them: more than 2^31 - 1 bytes, or a row no int can count.
    const std::uint64_t size = std::uint64_t(buffer.stride_) * std::uint64_t(height);
    void *memory = size <= std::uint64_t(std::numeric_limits<int>::max()) ? std::calloc(size, 1) : nullptr;
    if (!memory)
        throw CodecError(CodecError::Kind::OutOfMemory, "Not enough memory for a picture of " + std::to_string(width)
                                                            + " x " + std::to_string(height) + " pixels.");
    std::shared_ptr<std::uint8_t> owner(static_cast<std::uint8_t *>(memory), [](std::uint8_t *p) { std::free(p); });
    buffer.bits_ = owner.get();
    buffer.owner_ = std::move(owner);
    return buffer;
}

PixelBuffer PixelBuffer::wrap(std::uint8_t *bits, int width, int height, std::ptrdiff_t stride, PixelFormat format,
                              int depth, std::vector<std::uint32_t> colorTable, std::shared_ptr<const void> owner)
{
    PixelBuffer buffer;
    buffer.bits_ = bits;
    buffer.width_ = width;
    buffer.height_ = height;
    buffer.stride_ = stride;
    buffer.format_ = format;
    buffer.depth_ = depth;
    buffer.colorTable_ = std::move(colorTable);
    buffer.owner_ = std::move(owner);
    return buffer;
}

void PixelBuffer::rowAsXrgb32(int y, std::uint32_t *out) const
{
    const std::uint8_t *in = row(y);
    switch (format_) {
    case PixelFormat::Index8: {
        std::uint32_t table[256];
        for (int i = 0; i < 256; ++i)
            table[i] = colorTable_.empty() ? rgbWord(i, i, i)
                : std::size_t(i) < colorTable_.size() ? colorTable_[i] | 0xFF000000u
                                                     : 0xFF000000u;
        for (int x = 0; x < width_; ++x)
            out[x] = table[in[x]];
        break;
    }
    case PixelFormat::Rgb565:
    case PixelFormat::Rgb555: {
        const bool is565 = format_ == PixelFormat::Rgb565;
        for (int x = 0; x < width_; ++x) {
            std::uint16_t p;
            std::memcpy(&p, in + 2 * x, 2);
            const int r = is565 ? p >> 11 : (p >> 10) & 0x1F;
            const int g = is565 ? (p >> 5) & 0x3F : (p >> 5) & 0x1F;
            const int b = p & 0x1F;
            out[x] = rgbWord(r << 3 | r >> 2, is565 ? g << 2 | g >> 4 : g << 3 | g >> 2, b << 3 | b >> 2);
        }
        break;
    }
    case PixelFormat::Bgr24:
        for (int x = 0; x < width_; ++x)
            out[x] = rgbWord(in[3 * x + 2], in[3 * x + 1], in[3 * x]);
        break;
    case PixelFormat::Xrgb32:
    case PixelFormat::Argb32:
        for (int x = 0; x < width_; ++x) {
            std::uint32_t p;
            std::memcpy(&p, in + 4 * x, 4);
            out[x] = p | 0xFF000000u;
        }
        break;
    }
}

} // namespace kaptiv
