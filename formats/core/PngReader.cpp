#include "formats/core/PngFile.h"

#include "formats/core/CodecError.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

namespace kaptiv {

namespace {

[[noreturn]] void invalid() { failFile("PNG image is not valid."); }

struct Source {
    std::span<const std::uint8_t> bytes;
    std::size_t at = 0;
};

extern "C" void readBytes(png_structp png, png_bytep out, png_size_t size)
{
    auto *source = static_cast<Source *>(png_get_io_ptr(png));
    if (size > source->bytes.size() - source->at)
        png_error(png, "the file ends early");
    std::memcpy(out, source->bytes.data() + source->at, size);
    source->at += size;
}

extern "C" void stopReading(png_structp png, png_const_charp) { png_longjmp(png, 1); } // the caller says why
extern "C" void ignoreWarning(png_structp, png_const_charp) {}

// libpng's structures, destroyed on every way out.
struct Reader {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, stopReading, ignoreWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    ~Reader() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

// Runs `step`, which calls libpng and owns nothing that needs destroying; false when libpng
// reported an error during it (it jumps back here).
template <typename Step>
bool guarded(png_structp png, Step &step)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    step();
    return true;
}

// What the picture becomes, decided from its header.
struct Layout {
    PixelFormat format = PixelFormat::Xrgb32;
    int depth = 24;
    std::vector<std::uint32_t> table;
    int paletteEntries = 0; // a palette picture's: indices at or beyond them become 0
};

std::uint32_t argb(int a, int r, int g, int b) { return std::uint32_t(a) << 24 | std::uint32_t(r) << 16 | std::uint32_t(g) << 8 | std::uint32_t(b); }

int depthOfTable(std::size_t entries) { return entries <= 2 ? 1 : entries <= 16 ? 4 : 8; }

// Sets libpng's transformations for the pixels the program makes of each kind of PNG: palette and
// grey pictures of up to 8 bits as indices into a table, 16-bit grey as 24-bit colour, colour as
// 24 bits, and anything with transparency (an alpha channel or a transparent colour) as 32 bits.
void chooseLayout(png_structp png, png_infop info, Layout &layout)
{
    const int bits = png_get_bit_depth(png, info);
    const int type = png_get_color_type(png, info);
    png_bytep transparency = nullptr;
    int transparent = 0;
    png_color_16p transparentColour = nullptr;
    const bool hasTrns = png_get_tRNS(png, info, &transparency, &transparent, &transparentColour) != 0;
    png_colorp palette = nullptr;
    int entries = 0;
    if (type == PNG_COLOR_TYPE_GRAY && bits <= 8 && !(bits == 8 && !hasTrns)) {
        png_set_packing(png);
        layout.format = PixelFormat::Index8;
        if (bits == 1) { // white first, black second: the bits inverted
            png_set_invert_mono(png);
            layout.table = {argb(255, 255, 255, 255), argb(255, 0, 0, 0)};
            if (hasTrns && transparentColour && transparentColour->gray == 0)
                layout.table[1] = 0;
            else if (hasTrns && transparentColour && transparentColour->gray == 1)
                layout.table[0] = argb(0, 255, 255, 255);
        } else {
            const int colours = 1 << bits;
            for (int i = 0; i < colours; ++i) {
                const int c = i * 255 / (colours - 1);
                layout.table.push_back(argb(255, c, c, c));
            }
            if (hasTrns && transparentColour && transparentColour->gray < colours)
                layout.table[transparentColour->gray] = 0;
        }
        layout.depth = depthOfTable(layout.table.size());
    } else if (type == PNG_COLOR_TYPE_GRAY && bits == 8) { // the 256 greys
        layout.format = PixelFormat::Index8;
        for (int i = 0; i < 256; ++i)
            layout.table.push_back(argb(255, i, i, i));
        layout.depth = 8;
    } else if (type == PNG_COLOR_TYPE_PALETTE && png_get_PLTE(png, info, &palette, &entries)) {
        png_set_packing(png);
        layout.format = PixelFormat::Index8;
        layout.paletteEntries = bits == 1 ? 2 : entries;
        layout.table.assign(std::size_t(layout.paletteEntries), 0);
        for (int i = 0; i < entries && i < layout.paletteEntries; ++i)
            layout.table[std::size_t(i)] = argb(hasTrns && transparency && i < transparent ? transparency[i] : 255,
                                                palette[i].red, palette[i].green, palette[i].blue);
        layout.depth = depthOfTable(layout.table.size());
    } else {
        const bool alpha = (type & PNG_COLOR_MASK_ALPHA) || hasTrns;
        png_set_expand(png);
        if (bits == 16)
            png_set_scale_16(png); // (v * 255 + 32895) / 65536, as the 16-bit colours round to 8 bits
        if (!(type & PNG_COLOR_MASK_COLOR))
            png_set_gray_to_rgb(png);
        if (!alpha)
            png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
        png_set_bgr(png);
        layout.format = alpha ? PixelFormat::Argb32 : PixelFormat::Xrgb32;
        layout.depth = alpha ? 32 : 24;
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
}

} // namespace

PixelBuffer decodePngFile(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels)
{
    static constexpr std::uint8_t Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    // The size is in the header chunk right after the signature: look before anything is made.
    if (bytes.size() < 33 || std::memcmp(bytes.data(), Signature, 8) != 0 || std::memcmp(bytes.data() + 12, "IHDR", 4) != 0)
        invalid();
    auto bigEndian = [&](std::size_t at) {
        return std::uint32_t(bytes[at]) << 24 | std::uint32_t(bytes[at + 1]) << 16 | std::uint32_t(bytes[at + 2]) << 8
            | std::uint32_t(bytes[at + 3]);
    };
    const std::uint32_t width = bigEndian(16), height = bigEndian(20);
    if (width == 0 || height == 0 || std::uint64_t(width) * height > maxPixels)
        invalid();

    Reader reader;
    if (!reader.info)
        throw CodecError(CodecError::Kind::OutOfMemory, outOfMemoryText());
    Source source{bytes};
    Layout layout;
#if defined(PNG_SET_OPTION_SUPPORTED) && defined(PNG_MAXIMUM_INFLATE_WINDOW)
    // Files whose deflate streams claim a smaller window than they use still read.
    png_set_option(reader.png, PNG_MAXIMUM_INFLATE_WINDOW, PNG_OPTION_ON);
#endif
    auto header = [&] {
        png_set_read_fn(reader.png, &source, readBytes);
        png_read_info(reader.png, reader.info);
        chooseLayout(reader.png, reader.info, layout);
    };
    if (!guarded(reader.png, header))
        invalid();
    PixelBuffer pixels = PixelBuffer::allocate(int(width), int(height), layout.format, layout.depth, layout.table);
    std::vector<png_bytep> rows(height);
    for (std::uint32_t y = 0; y < height; ++y)
        rows[y] = pixels.row(int(y));
    auto body = [&] {
        png_read_image(reader.png, rows.data());
        png_read_end(reader.png, nullptr);
    };
    if (!guarded(reader.png, body))
        invalid();
    if (layout.paletteEntries > 0) // indices past the palette show its first colour
        for (std::uint32_t y = 0; y < height; ++y)
            for (std::uint8_t *p = rows[y], *end = p + width; p < end; ++p)
                if (*p >= layout.paletteEntries)
                    *p = 0;
    return pixels;
}

} // namespace kaptiv
