#pragma once
// The pixels of a picture without Qt: what the codecs of formats/core read into and write from, and
// what the command-line program works on. The windowed program keeps its pictures in QImage and
// hands them across by wrapping, not copying, because the memory is laid out as QImage lays out
// the same pixels:
//   - rows top to bottom, each `stride` bytes apart, the stride a multiple of 4 bytes (32 bits),
//     the smallest that holds a row: ((width x bits per stored pixel + 31) / 32) x 4;
//   - Index8: a byte a pixel, an index into the colour table (QImage::Format_Indexed8); declared
//     depth 1, 4 or 8, the table 2, 16 or 256 entries of 0xAARRGGBB;
//   - Rgb565 / Rgb555: 16-bit words in the machine's byte order (Format_RGB16 / Format_RGB555),
//     declared depth 16;
//   - Xrgb32 / Argb32: 32-bit words 0xAARRGGBB in the machine's byte order (Format_RGB32, its top
//     byte 0xFF and not looked at / Format_ARGB32, alpha not premultiplied), declared depth 24 or 32;
//   - Bgr24: bytes blue, green, red (Format_BGR888), declared depth 24: a 24-bit bitmap file's rows
//     as they lie in the file, which a reader may hand on without a copy. Only this format may have
//     a negative stride (rows stored bottom-up); the windowed program converts it to Format_RGB32.
// The declared depth is what a file is written at (QImage has no 4-bit format and forgets a 24-bit
// depth, so it lives beside the pixels, as in Bitmap). A buffer either owns its memory or borrows
// another's (a QImage's) and holds a reference that keeps it alive. Copies share the pixels: a
// codec makes a buffer, fills it and hands it on.
//
// Errors: formats/core/CodecError.h carries the message texts the windowed program shows, so both
// programs tell the user the same words.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace kaptiv {

enum class PixelFormat { Index8, Rgb565, Rgb555, Xrgb32, Argb32, Bgr24 };

class PixelBuffer {
public:
    PixelBuffer() = default;
    // A zeroed buffer of `width` x `height` pixels; depth 1, 4 or 8 for Index8 (with `colorTable`),
    // 16 for the 16-bit formats, 24 or 32 for the 32-bit ones. Raises CodecError (OutOfMemory, "Not
    // enough memory for a picture of W x H pixels.") when the memory cannot be had.
    static PixelBuffer allocate(int width, int height, PixelFormat format, int depth,
                                std::vector<std::uint32_t> colorTable = {});
    // Borrows `bits` (rows `stride` bytes apart), keeping `owner` alive as long as any copy lives.
    static PixelBuffer wrap(std::uint8_t *bits, int width, int height, std::ptrdiff_t stride, PixelFormat format,
                            int depth, std::vector<std::uint32_t> colorTable, std::shared_ptr<const void> owner);

    bool isNull() const { return !bits_; }
    int width() const { return width_; }
    int height() const { return height_; }
    int depth() const { return depth_; }
    PixelFormat format() const { return format_; }
    std::ptrdiff_t stride() const { return stride_; }
    const std::vector<std::uint32_t> &colorTable() const { return colorTable_; }

    std::uint8_t *row(int y) { return bits_ + std::ptrdiff_t(y) * stride_; }
    const std::uint8_t *row(int y) const { return bits_ + std::ptrdiff_t(y) * stride_; }
    const std::uint8_t *bits() const { return bits_; }
    // What keeps the memory alive; an adapter that lends it on holds this.
    const std::shared_ptr<const void> &owner() const { return owner_; }

    // Row `y` as 32-bit 0xFFRRGGBB words into `out` (width() words), by the rules QImage converts
    // by: a table colour (black beyond the table, grey i for index i of an empty table), 5- and
    // 6-bit channels widened by repeating their top bits.
    void rowAsXrgb32(int y, std::uint32_t *out) const;

    // The smallest stride of a row, as QImage chooses it.
    static std::ptrdiff_t strideFor(int width, PixelFormat format);

private:
    std::uint8_t *bits_ = nullptr;
    int width_ = 0, height_ = 0, depth_ = 0;
    PixelFormat format_ = PixelFormat::Xrgb32;
    std::ptrdiff_t stride_ = 0;
    std::vector<std::uint32_t> colorTable_;
    std::shared_ptr<const void> owner_;
};

constexpr std::uint32_t rgbWord(int red, int green, int blue)
{
    return 0xFF000000u | std::uint32_t(red) << 16 | std::uint32_t(green) << 8 | std::uint32_t(blue);
}

} // namespace kaptiv
