#pragma once
// How a capture at the display's own colours keeps the pixels the X server sends: one rule for the
// program and for the command-line front, which writes a screen grab without Qt. Plain C++.

namespace kaptiv {

// How read pixels lie in memory, for the layouts the program keeps as they are: 32-bit words
// 0xXXRRGGBB (a spare top byte), 16-bit words of 5-6-5 or 5-5-5, in the machine's own byte order.
// Anything else (a 30-bit display, bytes in the other order) is converted through its masks.
enum class PixelLayout { Bgrx32, Rgb565, Rgb555, Other };

// What the bitmap of a grab holds: the words its pixels are stored in (as they came, or, for
// Other, converted through their masks into Bgrx32) and the depth it declares: 16 bits for 5-6-5
// or 5-5-5 words, 32 for a 32-bit display's words, 24 for the rest (24, and 30 whose channels are
// cut to 8 bits).
struct KeptPixels {
    PixelLayout words;
    int depth;
};

constexpr KeptPixels keptPixelsOf(PixelLayout layout, int displayDepth)
{
    const PixelLayout words = layout == PixelLayout::Other ? PixelLayout::Bgrx32 : layout;
    return {words, words != PixelLayout::Bgrx32 ? 16 : displayDepth == 32 ? 32 : 24};
}

// The layout a display of `displayDepth` bits sends, as far as its depth tells.
constexpr PixelLayout usualLayoutOf(int displayDepth)
{
    return displayDepth == 15 ? PixelLayout::Rgb555 : displayDepth <= 16 ? PixelLayout::Rgb565 : PixelLayout::Bgrx32;
}

// The depth a capture at a display's own colours is stored at, before any pixel is read.
constexpr int capturedDepthOfDisplay(int displayDepth)
{
    return keptPixelsOf(usualLayoutOf(displayDepth), displayDepth).depth;
}

} // namespace kaptiv
