#include "formats/core/JpegFile.h"

#include "formats/core/CodecError.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

#include <jpeglib.h>
#include <jerror.h>

namespace kaptiv {

namespace {

// libjpeg reports an error by calling error_exit, which must not return. It jumps back to the
// setjmp in runGuarded; between the two there are only libjpeg's C frames and steps that own
// nothing with a destructor, so no C++ object is skipped. The error becomes an exception after
// the jump, in an ordinary frame.
struct ErrorTrap {
    jpeg_error_mgr manager{};
    std::jmp_buf jump{};
    char message[JMSG_LENGTH_MAX] = {};
    bool outOfMemory = false;
};

extern "C" void trapError(j_common_ptr info)
{
    auto *trap = reinterpret_cast<ErrorTrap *>(info->err);
    trap->outOfMemory = info->err->msg_code == JERR_OUT_OF_MEMORY;
    (*info->err->format_message)(info, trap->message);
    std::longjmp(trap->jump, 1);
}

extern "C" void ignoreMessage(j_common_ptr) {} // warnings of damaged data: the picture still shows

// A progressive file may hold any number of scans, each decoded over the part of the picture it
// covers. Beyond this many scans, or when its scans would decode the picture more than this many
// times over, it is a file made to keep the reader busy, not a picture. (An ordinary progressive
// file decodes it about 5 to 10 times over.)
constexpr int MaxScans = 1000;
constexpr int MaxDecodes = 64;

struct ScanLimit {
    jpeg_progress_mgr manager{};
    int scan = 0;                // the last scan counted
    std::uint64_t blocks = 0;    // blocks decoded by the scans counted
    std::uint64_t budget = 0;    // MaxDecodes x the blocks of the whole picture
};

extern "C" void limitScans(j_common_ptr info)
{
    auto *decompress = reinterpret_cast<j_decompress_ptr>(info);
    auto *limit = reinterpret_cast<ScanLimit *>(info->progress);
    if (decompress->input_scan_number == limit->scan)
        return;
    limit->scan = decompress->input_scan_number;
    for (int i = 0; i < decompress->comps_in_scan; ++i) {
        const jpeg_component_info *component = decompress->cur_comp_info[i];
        limit->blocks += std::uint64_t(component->width_in_blocks) * component->height_in_blocks;
    }
    char *message = reinterpret_cast<ErrorTrap *>(info->err)->message;
    if (decompress->input_scan_number > MaxScans)
        std::snprintf(message, JMSG_LENGTH_MAX, "more than %d scans", MaxScans);
    else if (limit->blocks > limit->budget)
        std::snprintf(message, JMSG_LENGTH_MAX, "its scans would decode the picture more than %d times over", MaxDecodes);
    else
        return;
    std::longjmp(reinterpret_cast<ErrorTrap *>(info->err)->jump, 1);
}

jpeg_error_mgr *installTrap(ErrorTrap &trap)
{
    jpeg_std_error(&trap.manager);
    trap.manager.error_exit = trapError;
    trap.manager.output_message = ignoreMessage;
    return &trap.manager;
}

// Runs `step`, which calls libjpeg and owns nothing that needs destroying; false when libjpeg
// reported an error during it.
template <typename Step>
bool runGuarded(ErrorTrap &trap, Step &step)
{
    if (setjmp(trap.jump))
        return false;
    step();
    return true;
}

[[noreturn]] void outOfMemory() { throw CodecError(CodecError::Kind::OutOfMemory, outOfMemoryText()); }

[[noreturn]] void fail(const ErrorTrap &trap, std::string_view what)
{
    if (trap.outOfMemory)
        outOfMemory();
    failFile(std::string(what) + " (" + trap.message + ").");
}

// Compressed bytes collected in a buffer of malloc's, grown by doubling; libjpeg calls it from C.
struct GrowingDestination {
    jpeg_destination_mgr manager{};
    JOCTET *buffer = nullptr;
    size_t capacity = 0;
    size_t size = 0;
    ~GrowingDestination() { std::free(buffer); }
};

extern "C" void startDestination(j_compress_ptr info)
{
    auto *d = reinterpret_cast<GrowingDestination *>(info->dest);
    d->manager.next_output_byte = d->buffer;
    d->manager.free_in_buffer = d->capacity;
}

extern "C" boolean growDestination(j_compress_ptr info)
{
    auto *d = reinterpret_cast<GrowingDestination *>(info->dest);
    const size_t used = d->capacity; // libjpeg asks only when the buffer is full
    void *grown = std::realloc(d->buffer, d->capacity * 2);
    if (!grown)
        ERREXIT(info, JERR_OUT_OF_MEMORY);
    d->buffer = static_cast<JOCTET *>(grown);
    d->capacity *= 2;
    d->manager.next_output_byte = d->buffer + used;
    d->manager.free_in_buffer = d->capacity - used;
    return TRUE;
}

extern "C" void finishDestination(j_compress_ptr info)
{
    auto *d = reinterpret_cast<GrowingDestination *>(info->dest);
    d->size = d->capacity - d->manager.free_in_buffer;
}

// libjpeg's state, destroyed on every way out. Creating it can fail only for want of memory.
struct Compressor {
    jpeg_compress_struct info{};
    ErrorTrap trap;
    Compressor()
    {
        info.err = installTrap(trap);
        auto create = [&] { jpeg_create_compress(&info); };
        if (!runGuarded(trap, create))
            outOfMemory();
    }
    ~Compressor() { jpeg_destroy_compress(&info); }
};

struct Decompressor {
    jpeg_decompress_struct info{};
    ErrorTrap trap;
    ScanLimit limit;
    Decompressor()
    {
        info.err = installTrap(trap);
        auto create = [&] { jpeg_create_decompress(&info); };
        if (!runGuarded(trap, create))
            outOfMemory();
        limit.manager.progress_monitor = limitScans;
        info.progress = &limit.manager;
    }
    // Sets the scans' budget from the picture's blocks, once the header is read.
    void limitDecoding()
    {
        for (int i = 0; i < info.num_components; ++i)
            limit.budget += std::uint64_t(info.comp_info[i].width_in_blocks) * info.comp_info[i].height_in_blocks;
        limit.budget *= MaxDecodes;
    }
    ~Decompressor() { jpeg_destroy_decompress(&info); }
};

// The most pixels a byte of scan data may stand for. Even a picture of one colour takes a bit or
// more for each 8 x 8 block of its first scan: 512 pixels a byte.
constexpr std::uint64_t MaxPixelsPerScanByte = 4096;

// Adobe's CMYK JPEG files store the inks inverted: 255 means none.
void cmykRowToRgb(const JSAMPLE *cmyk, std::uint8_t *out, int width, bool inverted)
{
    for (int x = 0; x < width; ++x) {
        int c = cmyk[4 * x], m = cmyk[4 * x + 1], y = cmyk[4 * x + 2], k = cmyk[4 * x + 3];
        if (!inverted)
            c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        const std::uint32_t word = rgbWord(c * k / 255, m * k / 255, y * k / 255);
        std::memcpy(out + 4 * x, &word, 4);
    }
}

} // namespace

std::vector<std::uint8_t> encodeJpegFile(const PixelBuffer &pixels, const JpegOptions &options)
{
    if (options.quality < 1 || options.quality > 100)
        throw std::invalid_argument("JPEG quality must be 1 to 100");
    // 32-bit words go to libjpeg as they lie; other pixels through a row of their colours.
    const bool bgr = pixels.format() == PixelFormat::Bgr24;
    const bool direct = bgr || pixels.format() == PixelFormat::Xrgb32 || pixels.format() == PixelFormat::Argb32;
    std::vector<std::uint32_t> converted(direct ? 0 : std::size_t(pixels.width()));
    GrowingDestination destination;
    destination.capacity = 65536;
    destination.buffer = static_cast<JOCTET *>(std::malloc(destination.capacity));
    if (!destination.buffer)
        outOfMemory();
    destination.manager.init_destination = startDestination;
    destination.manager.empty_output_buffer = growDestination;
    destination.manager.term_destination = finishDestination;

    Compressor c;
    auto compress = [&] {
        c.info.dest = &destination.manager;
        c.info.image_width = JDIMENSION(pixels.width());
        c.info.image_height = JDIMENSION(pixels.height());
        c.info.input_components = bgr ? 3 : 4;
        c.info.in_color_space = bgr ? JCS_EXT_BGR : JCS_EXT_BGRX; // 0xXXRRGGBB words in memory order
        jpeg_set_defaults(&c.info);
        if (options.grayscale)
            jpeg_set_colorspace(&c.info, JCS_GRAYSCALE);
        jpeg_set_quality(&c.info, options.quality, TRUE);
        if (options.progressive)
            jpeg_simple_progression(&c.info);
        jpeg_start_compress(&c.info, TRUE);
        while (c.info.next_scanline < c.info.image_height) {
            const int y = int(c.info.next_scanline);
            if (!direct)
                pixels.rowAsXrgb32(y, converted.data());
            JSAMPROW row = direct ? const_cast<JSAMPROW>(pixels.row(y)) : reinterpret_cast<JSAMPROW>(converted.data());
            jpeg_write_scanlines(&c.info, &row, 1);
        }
        jpeg_finish_compress(&c.info);
    };
    if (!runGuarded(c.trap, compress))
        fail(c.trap, "The picture cannot be written as JPEG");
    return std::vector<std::uint8_t>(destination.buffer, destination.buffer + destination.size);
}

PixelBuffer decodeJpegFile(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels)
{
    const std::string notValid = "JPEG image is not valid";
    Decompressor d;
    auto readHeader = [&] {
        jpeg_mem_src(&d.info, bytes.data(), (unsigned long)(bytes.size()));
        jpeg_read_header(&d.info, TRUE);
    };
    if (!runGuarded(d.trap, readHeader))
        fail(d.trap, notValid);
    const bool cmyk = d.info.jpeg_color_space == JCS_CMYK || d.info.jpeg_color_space == JCS_YCCK;
    d.info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA; // BGRA sets the alpha byte of 0xFFRRGGBB words
    const int width = int(d.info.image_width), height = int(d.info.image_height);
    if (std::uint64_t(width) * std::uint64_t(height) > maxPixels)
        failFile(notValid + " (" + std::to_string(width) + " x " + std::to_string(height) + " pixels is more than Kaptiv reads).");
    // The header ends where the first scan's data begins: what follows is all the picture data
    // there is. A file cut inside its scans still shows what it holds, but a few bytes cannot
    // hold a huge picture: the rest would be made up.
    std::int64_t scanBytes = std::int64_t(d.info.src->bytes_in_buffer);
    if (bytes.size() >= 2 && bytes[bytes.size() - 2] == 0xFF && bytes[bytes.size() - 1] == 0xD9)
        scanBytes = std::max<std::int64_t>(0, scanBytes - 2);
    if (scanBytes == 0)
        failFile(notValid + " (the file ends before its picture data).");
    if (std::uint64_t(width) * std::uint64_t(height) > MaxPixelsPerScanByte * std::uint64_t(scanBytes))
        failFile(notValid + " (" + std::to_string(width) + " x " + std::to_string(height) + " pixels cannot come from "
                 + std::to_string(scanBytes) + " bytes of picture data).");
    d.limitDecoding();

    // A file of several scans is read whole by the start, within the scans' budget, before the
    // picture's memory is taken.
    auto start = [&] { jpeg_start_decompress(&d.info); };
    if (!runGuarded(d.trap, start))
        fail(d.trap, notValid);
    PixelBuffer image = PixelBuffer::allocate(width, height, PixelFormat::Xrgb32, 24);
    std::vector<JSAMPLE> cmykRow(cmyk ? size_t(width) * 4 : 0);
    const bool inverted = d.info.saw_Adobe_marker;
    auto decompress = [&] {
        while (d.info.output_scanline < d.info.output_height) {
            const int y = int(d.info.output_scanline);
            JSAMPROW row = cmyk ? cmykRow.data() : image.row(y);
            jpeg_read_scanlines(&d.info, &row, 1);
            if (cmyk)
                cmykRowToRgb(cmykRow.data(), image.row(y), width, inverted);
        }
        jpeg_finish_decompress(&d.info);
    };
    if (!runGuarded(d.trap, decompress))
        fail(d.trap, notValid);
    return image;
}

} // namespace kaptiv
