#pragma once
// A PNG file of 8-bit RGB made from rows of pixels, on libpng and the standard library only, so the
// command-line front and the full program write a grab's PNG with one encoder. Rows go in band by
// band from the top, and the file's bytes come out as they are made, so a grab is on its way to
// the disk while the next band is read.

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
    // A picture of width x height taking rows of `kind` (Words565, Words555 or Xrgb32).
    RowEncoder(int width, int height, bmp::SourcePixels kind);
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
std::vector<std::uint8_t> encode(const bmp::SourceRows &rows);

} // namespace kaptiv::png
