#pragma once

#include "gif/core/ZeroedBuffer.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kaptiv::gif {

// 256 entries of red, green, blue; entries a file does not define stay 0, 0, 0.
using ColorTable = std::array<std::uint8_t, 768>;

// The most frames a whole file is read into memory with (ReadLimits::MaxFrames).
constexpr int MaxFrames = 256;

// One image of a GIF file as the reader leaves it: where it goes, how it is timed and disposed,
// and its pixels as colour indices plus a transparency mask.
struct GifFrame {
    std::size_t Offset = 0; // where its image descriptor starts in the file
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    int LocalBits = 0;      // size of the local colour table in bits, 0 without one
    int PaletteBits = 0;    // the frame's bitmap gets 2^PaletteBits colours: LocalBits, or the
                            // largest table met in the file before this frame
    int Delay = 0;          // milliseconds
    std::uint8_t Disposal = 0;  // 0 none, 1 leave, 2 restore background, 3 restore previous
    bool HasLocalColors = false;
    bool Interlaced = false;
    bool Transparent = false;
    std::uint8_t TransparentIndex = 0;
    std::string Comment;
    ColorTable Colors{};    // the local table, or a copy of the global one

    // One index per pixel, top row first, rows IndexStride bytes apart (Width rounded up to 4).
    // Empty when the frame has no pixels.
    ZeroedBuffer Indices;
    std::size_t IndexStride = 0;
    // Only when Transparent and the transparent index occurs among the decoded pixels: one bit per
    // pixel, set where the pixel is transparent; the leftmost pixel of a byte is its bit 7; rows
    // MaskStride bytes apart (a multiple of 4). Empty when no pixel is transparent (a damaged image
    // may have one with no bit set).
    ZeroedBuffer Mask;
    std::size_t MaskStride = 0;

    std::uint8_t IndexAt(int x, int y) const { return Indices.data()[y * IndexStride + x]; }
    bool MaskAt(int x, int y) const
    {
        return !Mask.empty() && (Mask.data()[y * MaskStride + x / 8] & (0x80 >> (x % 8))) != 0;
    }
};

// A whole file after reading.
struct GifImage {
    std::vector<GifFrame> Frames;   // at most ReadLimits::MaxFrames
    int ImageWidth = 0;             // screen size widened to hold every frame
    int ImageHeight = 0;
    int ColorDepth = 0;             // bits of the largest colour table in the file
    int LoopCount = 1;              // 0 = for ever; 1 when the file has no looping block
    bool IsTransparent = false;
    bool IsAnimated = false;
    bool FramesBeyondLimit = false; // the file holds more images than the limit; the rest are not read
    ColorTable GlobalTable{};

    int FrameCount() const { return static_cast<int>(Frames.size()); }
};

} // namespace kaptiv::gif
