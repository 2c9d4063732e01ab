#pragma once

// Frames of 32-bit BGRX pixels made from 0xRRGGBB colours, for the writer, and pictures of indices.

#include "gif/core/GifWriter.h"

#include <array>
#include <cstdint>
#include <random>
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

// A screen of windows, stripes and lines of small glyphs in 16 colours: the string table fills
// many times, and the strings of the glyphs stay useful long after it is full.
inline std::vector<std::uint8_t> TextScreen(int width, int height, unsigned seed = 5)
{
    std::mt19937 random(seed);
    std::array<std::array<std::uint8_t, 6 * 8>, 40> glyphs{};
    for (auto &glyph : glyphs)
        for (std::uint8_t &dot : glyph)
            dot = random() % 3 == 0;
    std::vector<std::uint8_t> screen(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t index = static_cast<std::uint8_t>((y / 20) % 2);  // the desktop's stripes
            const bool inWindow = x >= width / 8 && x < width * 5 / 8 && y >= height / 8 && y < height * 7 / 8;
            if (inWindow) {
                const int line = (y - height / 8) / 12, row = (y - height / 8) % 12, column = (x - width / 8) / 6;
                const auto &glyph = glyphs[static_cast<std::size_t>((line * 7 + column * column) % 40)];
                index = row < 8 && glyph[static_cast<std::size_t>(row * 6 + (x - width / 8) % 6)] ? 3 : 2;
            } else if (x >= width * 3 / 4 && y >= height / 4 && y < height * 3 / 4) {  // a terminal
                index = static_cast<std::uint8_t>(4 + (random() % 64 == 0 ? random() % 12 : 0));
            }
            screen[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] = index;
        }
    return screen;
}

} // namespace kaptiv::gif::test
