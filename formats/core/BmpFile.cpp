#include "formats/core/BmpFile.h"

#include "formats/core/BmpEncoder.h"
#include "formats/core/CodecError.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

namespace kaptiv {

namespace {

constexpr int FileHeaderSize = 14;
constexpr std::uint32_t InfoHeaderSize = 40;
constexpr std::uint32_t BiRgb = 0, BiRle8 = 1, BiRle4 = 2, BiBitfields = 3;

std::int64_t rowBytes(int width, int depth) { return ((std::int64_t(width) * depth + 31) / 32) * 4; }

// Bounded little-endian reads over the file's bytes.
struct Reader {
    std::span<const std::uint8_t> bytes;
    bool has(std::int64_t offset, std::int64_t size) const
    {
        return offset >= 0 && size >= 0 && offset + size <= std::int64_t(bytes.size());
    }
    std::uint32_t u32(std::int64_t offset) const
    {
        const std::uint8_t *p = at(offset);
        return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
    }
    std::int32_t s32(std::int64_t offset) const { return std::int32_t(u32(offset)); }
    std::uint16_t u16(std::int64_t offset) const { return std::uint16_t(at(offset)[0] | at(offset)[1] << 8); }
    const std::uint8_t *at(std::int64_t offset) const { return bytes.data() + offset; }
};

[[noreturn]] void invalid() { failFile("Bitmap image is not valid."); }

int shiftOf(std::uint32_t mask)
{
    int s = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++s;
    }
    return s;
}

// Fills an indexed picture, bottom row first, from run-length codes (8 bits: a byte a pixel; 4 bits:
// two pixels a byte, high nibble first). Pixels the codes never reach keep index 0; codes that
// would draw outside the picture are clipped: the column stops at the row's end, however long the
// runs, and the codes end at the top row. Codes cut off in the middle make the file invalid.
void decodeRunLengths(const Reader &r, std::int64_t offset, int depth, PixelBuffer &image)
{
    const int width = image.width(), height = image.height();
    int x = 0, y = 0; // y counts rows from the bottom; 0 <= x <= width
    auto put = [&](std::uint8_t index) { image.row(height - 1 - y)[x++] = index; };
    while (y < height && r.has(offset, 2)) {
        const int count = *r.at(offset), code = *r.at(offset + 1);
        offset += 2;
        if (count > 0) { // a run of one index, or of two alternating nibbles
            for (int i = 0; i < count && x < width; ++i)
                put(depth == 8 ? std::uint8_t(code) : std::uint8_t((i & 1) ? code & 0x0F : code >> 4));
        } else if (code == 0) { // end of line
            x = 0;
            ++y;
        } else if (code == 1) { // end of picture
            break;
        } else if (code == 2) { // move right and up
            if (!r.has(offset, 2))
                invalid();
            x = std::min(width, x + *r.at(offset));
            y += *r.at(offset + 1);
            offset += 2;
        } else { // `code` pixels given one by one, padded to a whole number of 16-bit words
            const std::int64_t size = depth == 8 ? code : (code + 1) / 2;
            if (!r.has(offset, size))
                invalid();
            for (int i = 0; i < code && x < width; ++i) {
                const std::uint8_t b = *r.at(offset + (depth == 8 ? i : i / 2));
                put(depth == 8 ? b : std::uint8_t((i & 1) ? b & 0x0F : b >> 4));
            }
            offset += (size + 1) & ~std::int64_t(1);
        }
    }
}

// The stored row that holds the picture's row `y`.
const std::uint8_t *storedRow(const Reader &r, const DibLayout &dib, int y)
{
    return r.at(dib.pixelsOffset + dib.rowBytes * (dib.topDown ? y : dib.height - 1 - y));
}

std::vector<std::uint32_t> colourTable(const Reader &r, const DibLayout &dib)
{
    std::vector<std::uint32_t> table(std::size_t(1) << dib.depth, rgbWord(0, 0, 0)); // entries the file leaves out are black
    for (int i = 0; i < dib.tableEntries; ++i) {
        const std::uint8_t *e = r.at(dib.tableOffset + 4 * i);
        table[std::size_t(i)] = rgbWord(e[2], e[1], e[0]);
    }
    return table;
}

void decodeIndexedRows(const Reader &r, const DibLayout &dib, PixelBuffer &image)
{
    for (int y = 0; y < dib.height; ++y) {
        const std::uint8_t *row = storedRow(r, dib, y);
        std::uint8_t *out = image.row(y);
        for (int x = 0; x < dib.width; ++x)
            out[x] = dib.depth == 8 ? row[x]
                : dib.depth == 4    ? std::uint8_t((row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F)
                                    : std::uint8_t((row[x >> 3] >> (7 - (x & 7))) & 1);
    }
}

void putWord16(std::uint8_t *out, int x, std::uint16_t v) { std::memcpy(out + 2 * x, &v, 2); }
void putWord32(std::uint8_t *out, int x, std::uint32_t v) { std::memcpy(out + 4 * x, &v, 4); }

// 16, 24 and 32 bits. Pixels of 5-6-5 or 5-5-5 masks are kept as they are; other masks are scaled
// to 8 bits a channel and stored at the picture's depth.
PixelBuffer decodeDirectRows(const Reader &r, const DibLayout &dib)
{
    const std::array<std::uint32_t, 3> &masks = dib.masks;
    const bool words565 = dib.depth == 16 && masks == std::array<std::uint32_t, 3>{0xF800, 0x07E0, 0x001F};
    const bool words555 = dib.depth == 16 && masks == std::array<std::uint32_t, 3>{0x7C00, 0x03E0, 0x001F};
    const PixelFormat format = words555 ? PixelFormat::Rgb555 : dib.depth == 16 ? PixelFormat::Rgb565 : PixelFormat::Xrgb32;
    PixelBuffer pixels = PixelBuffer::allocate(dib.width, dib.height, format, dib.depth);
    int shifts[3], maxima[3];
    for (int i = 0; i < 3; ++i) {
        shifts[i] = shiftOf(masks[i]);
        maxima[i] = masks[i] ? int(masks[i] >> shifts[i]) : 1;
    }
    for (int y = 0; y < dib.height; ++y) {
        const std::uint8_t *row = storedRow(r, dib, y);
        std::uint8_t *out = pixels.row(y);
        if (words565 || words555) {
            for (int x = 0; x < dib.width; ++x)
                putWord16(out, x, std::uint16_t(row[2 * x] | (row[2 * x + 1] << 8)));
            continue;
        }
        if (dib.depth == 24) {
            for (int x = 0; x < dib.width; ++x)
                putWord32(out, x, rgbWord(row[3 * x + 2], row[3 * x + 1], row[3 * x]));
            continue;
        }
        for (int x = 0; x < dib.width; ++x) {
            const std::uint32_t p = dib.depth == 16 ? std::uint32_t(row[2 * x] | (row[2 * x + 1] << 8))
                                                    : std::uint32_t(row[4 * x]) | std::uint32_t(row[4 * x + 1]) << 8
                    | std::uint32_t(row[4 * x + 2]) << 16 | std::uint32_t(row[4 * x + 3]) << 24;
            int c[3];
            for (int i = 0; i < 3; ++i)
                c[i] = int(std::uint64_t((p & masks[i]) >> shifts[i]) * 255 / std::uint64_t(maxima[i]));
            if (dib.depth == 16) // other masks: keep the 16-bit depth, stored as 5-6-5
                putWord16(out, x, std::uint16_t(((c[0] >> 3) << 11) | ((c[1] >> 2) << 5) | (c[2] >> 3)));
            else
                putWord32(out, x, rgbWord(c[0], c[1], c[2]));
        }
    }
    return pixels;
}

} // namespace

std::vector<std::uint8_t> encodeBmpFile(const PixelBuffer &pixels)
{
    const int depth = pixels.depth();
    const int w = pixels.width(), h = pixels.height();
    const std::optional<std::uint32_t> size = bmp::fileSize(w, h, depth);
    if (!size)
        failFile("A picture of " + std::to_string(w) + " x " + std::to_string(h) + " pixels at " + std::to_string(depth)
                 + " bits is too large for a bitmap file.");
    std::vector<std::uint8_t> out(*size);
    const std::vector<std::uint32_t> &table = pixels.colorTable();
    bmp::encode({pixels.bits(), pixels.stride(), w, h, bmp::sourcePixelsOf(pixels.format())}, {depth, table}, out);
    return out;
}

DibLayout readDibLayout(std::span<const std::uint8_t> bytes, std::int64_t headerOffset, std::int64_t pixelsOffset,
                        bool withIconMask, std::uint64_t maxPixels)
{
    const Reader r{bytes};
    if (!r.has(headerOffset, 4))
        invalid();
    const std::uint32_t headerSize = r.u32(headerOffset);
    if (headerSize < InfoHeaderSize || !r.has(headerOffset, headerSize))
        invalid();
    DibLayout dib;
    const std::int32_t width = r.s32(headerOffset + 4);
    std::int32_t rawHeight = r.s32(headerOffset + 8);
    dib.depth = r.u16(headerOffset + 14);
    const std::uint32_t compression = r.u32(headerOffset + 16);
    const std::uint32_t colorsUsed = r.u32(headerOffset + 32);
    if (withIconMask) // the height counts the colour rows and the mask rows below them
        rawHeight /= 2;
    if (width < 0 || width > 65535 || rawHeight == INT32_MIN || std::abs(rawHeight) > 65535)
        invalid();
    dib.width = width;
    dib.height = std::abs(rawHeight);
    dib.topDown = rawHeight < 0;
    if (std::uint64_t(dib.width) * std::uint64_t(dib.height) > maxPixels)
        invalid();
    const int depth = dib.depth;
    if (depth != 1 && depth != 4 && depth != 8 && depth != 16 && depth != 24 && depth != 32)
        invalid();
    dib.runLengths = (compression == BiRle8 && depth == 8) || (compression == BiRle4 && depth == 4);
    const bool bitFields = compression == BiBitfields && (depth == 16 || depth == 32);
    if (compression != BiRgb && !dib.runLengths && !bitFields)
        invalid();
    if ((dib.runLengths && withIconMask) || (dib.topDown && (dib.runLengths || withIconMask)))
        invalid();

    dib.tableOffset = headerOffset + headerSize;
    if (bitFields) { // the masks end a longer header, or follow a short one
        const std::int64_t maskOffset = headerSize >= 52 ? headerOffset + InfoHeaderSize : dib.tableOffset;
        if (!r.has(maskOffset, 12))
            invalid();
        for (int i = 0; i < 3; ++i)
            dib.masks[std::size_t(i)] = r.u32(maskOffset + 4 * i);
        if (headerSize == InfoHeaderSize)
            dib.tableOffset += 12;
    } else if (depth == 16) {
        dib.masks = {0x7C00, 0x03E0, 0x001F};
    } else if (depth == 32) {
        dib.masks = {0xFF0000, 0xFF00, 0xFF};
    }
    if (depth <= 8) {
        const int maxColors = 1 << depth;
        dib.tableEntries = colorsUsed == 0 || colorsUsed > std::uint32_t(maxColors) ? maxColors : int(colorsUsed);
        if (!r.has(dib.tableOffset, std::int64_t(dib.tableEntries) * 4))
            invalid();
    }
    dib.pixelsOffset = pixelsOffset >= 0 ? pixelsOffset : dib.tableOffset + std::int64_t(dib.tableEntries) * 4;
    dib.rowBytes = rowBytes(dib.width, depth);
    if (!dib.runLengths && !r.has(dib.pixelsOffset, dib.rowBytes * dib.height))
        invalid();
    dib.maskOffset = dib.pixelsOffset + dib.rowBytes * dib.height;
    dib.maskRowBytes = rowBytes(dib.width, 1);
    return dib;
}

PixelBuffer decodeDib(std::span<const std::uint8_t> bytes, const DibLayout &dib, std::shared_ptr<const void> owner)
{
    const Reader r{bytes};
    if (dib.depth == 24 && owner && dib.width > 0 && dib.height > 0) // the rows as they lie
        return PixelBuffer::wrap(const_cast<std::uint8_t *>(storedRow(r, dib, 0)), dib.width, dib.height,
                                 dib.topDown ? dib.rowBytes : -dib.rowBytes, PixelFormat::Bgr24, 24, {}, std::move(owner));
    if (dib.depth > 8)
        return decodeDirectRows(r, dib);
    PixelBuffer pixels = PixelBuffer::allocate(dib.width, dib.height, PixelFormat::Index8, dib.depth, colourTable(r, dib));
    if (dib.runLengths)
        decodeRunLengths(r, dib.pixelsOffset, dib.depth, pixels);
    else
        decodeIndexedRows(r, dib, pixels);
    return pixels;
}

PixelBuffer decodeBmpFile(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels, std::shared_ptr<const void> owner)
{
    const Reader r{bytes};
    if (!r.has(0, FileHeaderSize) || bytes[0] != 'B' || bytes[1] != 'M')
        invalid();
    return decodeDib(bytes, readDibLayout(bytes, FileHeaderSize, r.u32(10), false, maxPixels), std::move(owner));
}

} // namespace kaptiv
