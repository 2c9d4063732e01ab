#pragma once
// A PNG file made from rows of pixels, on libpng and the standard library only, so both programs
// write every PNG with one encoder: 8-bit RGB from 16-bit, 24-bit and 32-bit words (RGBA from
// words with alpha), a palette of 1, 2, 4 or 8 bits from index bytes. Rows go in band by band from
// the top, and the file's bytes come out as they are made, so a grab is on its way to the disk
// while the next band is read.

#include "formats/core/BmpEncoder.h"

#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <vector>

namespace kaptiv::png {

// libpng could not go on (memory ran out, a size it refuses).
class EncodeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class RowEncoder {
public:
    // A picture of width x height taking rows of `kind`; Index8 rows with `palette` (0xAARRGGBB,
    // at most 256 entries, transparency kept), written at `indexBits` bits a pixel (1, 2, 4 or 8).
    RowEncoder(int width, int height, bmp::SourcePixels kind, std::span<const std::uint32_t> palette = {},
               int indexBits = 8);
    ~RowEncoder();
    RowEncoder(const RowEncoder &) = delete;
    RowEncoder &operator=(const RowEncoder &) = delete;

    // The next band of rows, top to bottom; the bytes of the file made since the last call, valid
    // until the next. After the last row they end the file.
    std::span<const std::uint8_t> write(const bmp::SourceRows &band);

    struct State; // libpng's structures and the bytes made so far

private:
    std::unique_ptr<State> state_;
};

// The whole file at once.
std::vector<std::uint8_t> encode(const bmp::SourceRows &rows, std::span<const std::uint32_t> palette = {},
                                 int indexBits = 8);

} // namespace kaptiv::png
