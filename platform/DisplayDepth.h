#pragma once
// The depth a capture at the display's own colours is stored at: 16 bits for a 15- or 16-bit
// display (5-5-5 or 5-6-5 as the display has them), 32 for a 32-bit one, 24 for the rest (24, and
// 30 whose channels are cut to 8 bits). Plain C++, shared by the program and the command-line front.

namespace kaptiv {

constexpr int capturedDepthOfDisplay(int displayDepth)
{
    return displayDepth <= 16 ? 16 : displayDepth == 32 ? 32 : 24;
}

} // namespace kaptiv
