#pragma once

#include "gif/core/GifWriter.h"

#include <array>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace kaptiv::gif {

// Makes a file smaller without changing what it shows: each frame is stored as the rectangle
// that changes what is on screen, and inside it the pixels that stay as they are become
// transparent, all or some of them, when that compresses better (every way is encoded, the
// smallest kept), with codes only as wide as the frame's highest index needs. A frame that
// changes nothing and carries no comment lengthens the delay of the frame before it instead.
// Only positions, sizes, disposal and transparency change; colour tables, indices of the pixels
// drawn, delays (but for such merging), interlacing and comments stay.
//
// It sees one frame at a time and holds back one: the screen as it stands after the frames so
// far (one 32-bit value per pixel) and the encoded frame still waiting for its delay.
//
// The screen between frames is kept as the frames given leave it, so a frame's later disposal
// and transparency reveal what they revealed before: a frame to restore the background clears
// its whole first rectangle, one to restore the previous picture brings back the same picture.
class FrameOptimizer {
public:
    // Receives each frame to write (its Indices empty) and its image data.
    using Emit = std::function<void(const GifIndexedFrame &frame, std::span<const std::uint8_t> imageData)>;

    // `shared` is the file's global table (with `sharedCount` colours), null when it has none.
    FrameOptimizer(int screenWidth, int screenHeight, const ColorTable *shared, int sharedCount, Emit emit);

    // Takes the next frame as it would have been written; what it needs is copied.
    void Add(const GifIndexedFrame &frame);

    // Writes the frame held back.
    void Finish();

private:
    struct Pending {
        GifIndexedFrame Frame;
        ColorTable Local{};
        std::string Comment;
        std::vector<std::uint8_t> Data;
    };

    struct Box;
    struct Placed;
    Placed Place(const GifIndexedFrame &frame) const;
    std::uint32_t &ScreenAt(int x, int y);
    // A frame that changes nothing on screen: the frame before shows longer, or it is one clear pixel.
    void AddUnchanged(const Placed &placed, GifIndexedFrame &out);
    // Codes the frame cut to `stored` in the fewest bytes of the ways tried; the bytes in first_.
    void CodeSmallest(const Placed &placed, const Box &stored, GifIndexedFrame &out);
    // Which pixels that keep their colour become the transparent index: all of them (long runs
    // of it), those after a pixel of another colour (so runs of a colour go on through them),
    // those inside a run of it, or those that make the fewest changes of index along the rows
    // (ties going to transparent, or to the colour).
    enum class Hiding { All, AfterOtherColour, InsideHoles, FewestRunsHoles, FewestRunsColours };
    void Hide(const Box &box, const std::array<std::uint32_t, 256> &colors, std::uint8_t t, Hiding hiding);
    void FewestRuns(const Box &box, const std::array<std::uint32_t, 256> &colors, std::uint8_t t,
                    bool preferTransparent);
    void Hold(const GifIndexedFrame &frame, std::vector<std::uint8_t> &data);
    void Release();

    int width_;
    int height_;
    const ColorTable *shared_;
    int sharedCount_;
    Emit emit_;
    // What the screen shows before the next frame: 0xRRGGBB, or Clear where nothing is drawn.
    std::vector<std::uint32_t> screen_;
    bool hasPending_ = false;
    Pending pending_;
    std::vector<std::uint8_t> crop_, holes_, choice_, scratch_, first_, second_;
};

} // namespace kaptiv::gif
