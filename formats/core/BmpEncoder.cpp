#include "formats/core/BmpEncoder.h"

#include <bit>
#include <cstring>

namespace kaptiv::bmp {

SourcePixels sourcePixelsOf(PixelLayout words)
{
    return words == PixelLayout::Rgb565 ? SourcePixels::Words565
        : words == PixelLayout::Rgb555  ? SourcePixels::Words555
                                        : SourcePixels::Xrgb32;
}

SourcePixels sourcePixelsOf(PixelFormat format)
{
    switch (format) {
    case PixelFormat::Index8: return SourcePixels::Index8;
    case PixelFormat::Rgb565: return SourcePixels::Words565;
    case PixelFormat::Rgb555: return SourcePixels::Words555;
    case PixelFormat::Argb32: return SourcePixels::Argb32;
    case PixelFormat::Bgr24: return SourcePixels::Bgr24;
    case PixelFormat::Xrgb32: break;
    }
    return SourcePixels::Xrgb32;
}

namespace {

constexpr std::uint32_t FileHeaderSize = 14, InfoHeaderSize = 40;
constexpr std::uint32_t BiRgb = 0, BiBitfields = 3;

std::uint32_t rowBytes(int width, int depth) { return std::uint32_t((std::uint64_t(width) * depth + 31) / 32 * 4); }
std::uint32_t tableEntries(int depth) { return depth <= 8 ? 1u << depth : 0; }
std::uint32_t pixelsOffset(int depth)
{
    return FileHeaderSize + InfoHeaderSize + (depth == 16 ? 12 : 0) + tableEntries(depth) * 4;
}

// Little-endian stores, whatever the machine's byte order.
void put16(std::uint8_t *at, std::uint16_t v)
{
    at[0] = std::uint8_t(v);
    at[1] = std::uint8_t(v >> 8);
}
void put32(std::uint8_t *at, std::uint32_t v)
{
    if constexpr (std::endian::native == std::endian::big)
        v = __builtin_bswap32(v);
    std::memcpy(at, &v, 4);
}
std::uint32_t word(const std::uint8_t *at)
{
    std::uint32_t v;
    std::memcpy(&v, at, 4);
    return v;
}

} // namespace

void writeHeaders(const SourceRows &rows, const FileLayout &layout, std::uint8_t *out)
{
    const int depth = layout.depth;
    const std::uint32_t offset = pixelsOffset(depth);
    const std::uint32_t imageSize = rowBytes(rows.width, depth) * std::uint32_t(rows.height);
    out[0] = 'B';
    out[1] = 'M';
    put32(out + 2, offset + imageSize);
    put32(out + 6, 0);
    put32(out + 10, offset);
    std::uint8_t *info = out + FileHeaderSize;
    put32(info, InfoHeaderSize);
    put32(info + 4, std::uint32_t(rows.width));
    put32(info + 8, std::uint32_t(rows.height)); // positive: rows bottom-up
    put16(info + 12, 1);
    put16(info + 14, std::uint16_t(depth));
    put32(info + 16, depth == 16 ? BiBitfields : BiRgb);
    put32(info + 20, imageSize);
    put32(info + 24, 3780); // 96 dots per inch
    put32(info + 28, 3780);
    put32(info + 32, tableEntries(depth));
    put32(info + 36, 0);
    std::uint8_t *after = info + InfoHeaderSize;
    if (depth == 16) { // the pixels' own layout
        const bool is555 = rows.kind == SourcePixels::Words555;
        put32(after, is555 ? 0x7C00 : 0xF800);
        put32(after + 4, is555 ? 0x03E0 : 0x07E0);
        put32(after + 8, 0x001F);
    }
    for (std::uint32_t i = 0; i < tableEntries(depth); ++i) {
        const std::uint32_t c = i < layout.colorTable.size() ? layout.colorTable[i] : 0;
        put32(after + 4 * i, c & 0xFFFFFF); // blue, green, red, 0
    }
}

namespace {

// 0xXXRRGGBB words as blue-green-red bytes: four pixels make three words.
void packRow24(const std::uint8_t *in, int width, std::uint8_t *row)
{
    int x = 0;
    for (; x + 4 <= width; x += 4, in += 16, row += 12) {
        const std::uint32_t p0 = word(in), p1 = word(in + 4), p2 = word(in + 8), p3 = word(in + 12);
        put32(row, (p0 & 0xFFFFFF) | (p1 << 24));
        put32(row + 4, ((p1 >> 8) & 0xFFFF) | (p2 << 16));
        put32(row + 8, ((p2 >> 16) & 0xFF) | (p3 << 8));
    }
    for (; x < width; ++x, in += 4, row += 3) {
        const std::uint32_t p = word(in);
        row[0] = std::uint8_t(p);
        row[1] = std::uint8_t(p >> 8);
        row[2] = std::uint8_t(p >> 16);
    }
}

void packRow32(const std::uint8_t *in, int width, bool alpha, std::uint8_t *row)
{
    const std::uint32_t keep = alpha ? 0xFFFFFFFFu : 0x00FFFFFFu;
    for (int x = 0; x < width; ++x)
        put32(row + 4 * x, word(in + 4 * x) & keep);
}

void packRow16(const std::uint8_t *in, int width, std::uint8_t *row)
{
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(row, in, std::size_t(width) * 2);
    } else {
        for (int x = 0; x < width; ++x) {
            std::uint16_t p;
            std::memcpy(&p, in + 2 * x, 2);
            put16(row + 2 * x, p);
        }
    }
}

// Index bytes as 1-, 4- or 8-bit pixels, the leftmost in the highest bits; `row` starts zeroed.
void packIndexRow(const std::uint8_t *in, int width, int depth, std::uint8_t *row)
{
    switch (depth) {
    case 1:
        for (int x = 0; x < width; ++x)
            if (in[x] & 1)
                row[x >> 3] |= std::uint8_t(0x80 >> (x & 7));
        break;
    case 4:
        for (int x = 0; x < width; ++x)
            row[x >> 1] |= std::uint8_t((in[x] & 0x0F) << ((x & 1) ? 0 : 4));
        break;
    default:
        std::memcpy(row, in, std::size_t(width));
        break;
    }
}

} // namespace

std::optional<std::uint32_t> fileSize(int width, int height, int depth)
{
    const std::uint64_t size = pixelsOffset(depth) + std::uint64_t(rowBytes(width, depth)) * std::uint64_t(height);
    if (size > 0xFFFFFFFFu)
        return std::nullopt;
    return std::uint32_t(size);
}

std::size_t headersSize(int depth) { return pixelsOffset(depth); }

std::size_t rowSize(int width, int depth) { return rowBytes(width, depth); }

void writeRows(const SourceRows &band, int depth, std::uint8_t *out)
{
    const std::uint32_t stride = rowBytes(band.width, depth);
    const std::size_t used = (std::size_t(band.width) * std::size_t(depth) + 7) / 8;
    std::uint8_t *row = out;
    for (int y = band.height - 1; y >= 0; --y, row += stride) {
        const std::uint8_t *in = band.top + std::ptrdiff_t(y) * band.bytesPerLine;
        if (depth < 8)
            std::memset(row, 0, stride);
        else
            std::memset(row + used, 0, stride - used); // the padding
        switch (depth) {
        case 16: packRow16(in, band.width, row); break;
        case 24:
            if (band.kind == SourcePixels::Bgr24)
                std::memcpy(row, in, std::size_t(band.width) * 3);
            else
                packRow24(in, band.width, row);
            break;
        case 32: packRow32(in, band.width, band.kind == SourcePixels::Argb32, row); break;
        default: packIndexRow(in, band.width, depth, row); break;
        }
    }
}

void encode(const SourceRows &rows, const FileLayout &layout, std::span<std::uint8_t> out)
{
    writeHeaders(rows, layout, out.data());
    writeRows(rows, layout.depth, out.data() + headersSize(layout.depth));
}

} // namespace kaptiv::bmp
