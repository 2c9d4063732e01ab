#pragma once

// giflib as an independent GIF decoder and encoder, for differential tests and benchmarks only.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kaptiv::gif::oracle {

struct Frame {
    int left = 0, top = 0, width = 0, height = 0;
    bool interlaced = false;
    bool hasLocalTable = false;
    std::vector<std::uint8_t> colors;   // red, green, blue of the table the frame uses
    std::vector<std::uint8_t> pixels;   // width * height indices, rows in picture order
    int disposal = 0;
    int delay = 0;                      // hundredths of a second
    int transparentIndex = -1;
};

struct Image {
    int screenWidth = 0, screenHeight = 0;
    int loopCount = -1;                 // of the looping block; -1 without one
    std::vector<Frame> frames;
};

// The file as giflib reads it; nothing when giflib refuses it.
std::optional<Image> Read(std::span<const std::uint8_t> file);

// The pictures (0xRRGGBB, screen-sized, rows top first) a viewer shows after each frame, by the
// plain rules: a frame draws its opaque pixels over what is there, then leaves them (disposal 0
// or 1), clears its rectangle to `background` (2) or puts back what was there before it (3).
// Pixels outside the screen are dropped; an index beyond the frame's table draws black.
std::vector<std::vector<std::uint32_t>> Composed(const Image &image, std::uint32_t background = 0);

// Only giflib's decoding of the whole file (DGifSlurp), for timing: the pixels of every frame it
// decoded together, or -1 when it refuses the file.
std::int64_t DecodeOnly(std::span<const std::uint8_t> file);

// A frame for giflib's writer; `pixels` in picture order (written in interlaced order if asked).
struct FrameToWrite {
    int left = 0, top = 0, width = 0, height = 0;
    bool interlaced = false;
    std::vector<std::uint32_t> localTable;  // 0xRRGGBB, a power of two entries; empty for none
    std::vector<std::uint8_t> pixels;
    int disposal = 0;
    int delay = 0;
    int transparentIndex = -1;
};

std::vector<std::uint8_t> Write(int screenWidth, int screenHeight, const std::vector<std::uint32_t> &globalTable,
                                const std::vector<FrameToWrite> &frames);

// giflib's LZW encoder alone (EGifPutLine): the image data of one frame of indices.
std::vector<std::uint8_t> CompressIndices(int width, int height, int tableSize, std::span<const std::uint8_t> indices);

} // namespace kaptiv::gif::oracle
