#pragma once

// Frames of 32-bit BGRX pixels made from 0xRRGGBB colours, for the writer.

#include "gif/core/GifWriter.h"

#include <cstdint>
#include <vector>

namespace kaptiv::gif::test {

struct TestBitmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bgrx;

    TestBitmap(int w, int h, const std::vector<std::uint32_t> &rgb) : width(w), height(h)
    {
        for (std::uint32_t c : rgb)
            bgrx.insert(bgrx.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8),
                                     static_cast<std::uint8_t>(c >> 16), 0xEE});
    }

    BgrxPixels View() const { return {bgrx.data(), width, height, 4 * width}; }

    GifFrameInput Frame() const
    {
        GifFrameInput f;
        f.Pixels = View();
        return f;
    }
};

} // namespace kaptiv::gif::test
