// Frames drawn and disposed on the player's canvas, checked pixel for pixel: hand-built files through
// every disposal, and every real animation against an independent composition of giflib's frames
// (and ImageMagick's -coalesce where its rules are ours).

#include "GifBuilder.h"
#include "GiflibOracle.h"
#include "TestFiles.h"

#include "gif/GifAnimation.h"
#include "gif/core/LzwEncoder.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <iostream>
#include <malloc.h>
#include <map>
#include <set>
#include <string>

namespace kaptiv {
namespace {

using gif::test::Bytes;
using gif::test::GifBuilder;
using gif::test::RootCodeImageData;

const std::vector<uint32_t> Colours = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}; // R G B W

// The canvas as rows of letters: R G B W for those colours, k for opaque black, . where nothing
// opaque was drawn (the background shows); anything else is '?'.
std::string Letters(const GifAnimation &animation)
{
    static const std::map<uint32_t, char> names = {{0xFFFF0000, 'R'}, {0xFF00FF00, 'G'}, {0xFF0000FF, 'B'},
                                                   {0xFFFFFFFF, 'W'}, {0xFF000000, 'k'}, {0x00000000, '.'}};
    const QImage &canvas = animation.Canvas();
    std::string text;
    for (int y = 0; y < canvas.height(); ++y) {
        if (y)
            text += '/';
        for (int x = 0; x < canvas.width(); ++x) {
            const auto it = names.find(reinterpret_cast<const uint32_t *>(canvas.constScanLine(y))[x]);
            text += it == names.end() ? '?' : it->second;
        }
    }
    return text;
}

GifAnimation Loaded(const Bytes &file, GifAnimation::Holding holding = GifAnimation::Holding::EveryFrame)
{
    GifAnimation animation;
    EXPECT_TRUE(animation.Load(file, {}, holding));
    return animation;
}

constexpr GifAnimation::Holding BothHoldings[] = {GifAnimation::Holding::EveryFrame, GifAnimation::Holding::AsShown};

// True when Composite and CompositeMask are the canvas's two halves: black and white where nothing
// opaque was drawn, the colour and black elsewhere (no mask at all without transparency).
bool HalvesAgree(const GifAnimation &animation)
{
    const QImage composite = animation.Composite(), mask = animation.CompositeMask();
    if (mask.isNull() == animation.IsTransparent())
        return false;
    for (int y = 0; y < composite.height(); ++y)
        for (int x = 0; x < composite.width(); ++x) {
            const uint32_t pixel = reinterpret_cast<const uint32_t *>(animation.Canvas().constScanLine(y))[x];
            const bool clear = pixel == 0;
            if (composite.pixel(x, y) != (clear ? qRgb(0, 0, 0) : pixel)
                || (!mask.isNull() && mask.pixel(x, y) != (clear ? qRgb(255, 255, 255) : qRgb(0, 0, 0))))
                return false;
        }
    return true;
}

// Plays the frames as the player does (dispose the last one shown, draw the next), one pass and
// then frame 1 again, and gives the canvas after every draw ("!" where its halves disagree).
std::vector<std::string> Played(GifAnimation &animation)
{
    std::vector<std::string> seen;
    for (int n = 1; n <= animation.FrameCount() + 1; ++n) {
        const int frame = n > animation.FrameCount() ? 1 : n;
        animation.DisposeFrame(n == 1 ? 0 : n - 1);
        animation.DrawFrame(frame);
        seen.push_back(Letters(animation) + (HalvesAgree(animation) ? "" : "!"));
    }
    return seen;
}

TEST(FrameComposition, EveryDisposalWithAndWithoutTransparency)
{
    struct Case {
        const char *what;
        Bytes file;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"transparent picture: leave, restore previous, restore background, none",
         GifBuilder(4, 2)
             .GlobalTable(Colours)
             .Control(1, 10, true, 3).Image(0, 0, 4, 2, RootCodeImageData(2, {0, 0, 3, 3, 3, 3, 3, 3}))
             .Control(3, 10, true, 3).Image(1, 0, 2, 2, RootCodeImageData(2, {1, 3, 1, 1}))
             .Control(2, 10).Image(2, 0, 2, 2, RootCodeImageData(2, {2, 2, 0, 2}))
             .Control(0, 10, true, 0).Image(0, 1, 4, 1, RootCodeImageData(2, {1, 0, 2, 0}))
             .Trailer().Data(),
         {"RR../....", "RG../.GG.", "RRBB/..RB", "RR../G.B.", "RR../G.B."}},
        {"no transparency anywhere: black canvas, restore background leaves black",
         GifBuilder(3, 1)
             .GlobalTable(Colours)
             .Control(2, 10).Image(0, 0, 2, 1, RootCodeImageData(2, {0, 1}))
             .Control(3, 10).Image(1, 0, 2, 1, RootCodeImageData(2, {3, 2}))
             .Control(1, 10).Image(2, 0, 1, 1, RootCodeImageData(2, {0}))
             .Trailer().Data(),
         {"RGk", "kWB", "kkR", "RGR"}},
        {"an opaque frame in a transparent picture, previous restored over it",
         GifBuilder(3, 1)
             .GlobalTable(Colours)
             .Control(1, 0).Image(0, 0, 3, 1, RootCodeImageData(2, {0, 0, 0}))
             .Control(3, 0, true, 1).Image(0, 0, 3, 1, RootCodeImageData(2, {2, 1, 3}))
             .Control(2, 0, true, 1).Image(1, 0, 2, 1, RootCodeImageData(2, {1, 3}))
             .Trailer().Data(),
         {"RRR", "BRW", "RRW", "RRR"}},
    };
    for (const Case &c : cases)
        for (const auto holding : BothHoldings) {
            GifAnimation animation = Loaded(c.file, holding);
            EXPECT_EQ(Played(animation), c.expected) << c.what << (holding == GifAnimation::Holding::AsShown ? ", as shown" : "");
        }
}

TEST(FrameComposition, FrameRecordsBitmapsAndPalettes)
{
    const std::vector<uint32_t> sixteen(16, 0x102030);
    GifAnimation animation = Loaded(
        GifBuilder(4, 1)
            .GlobalTable({0x00FF00, 0xFF0000}) // 2 colours; red is index 1
            .Control(3, 7, true, 1).Comment("first").Image(1, 0, 3, 1, RootCodeImageData(2, {0, 1, 0}))
            .Image(0, 0, 2, 1, RootCodeImageData(4, {15, 0}), false, sixteen)
            .Image(0, 0, 2, 1, RootCodeImageData(4, {15, 1}))
            .Trailer().Data());
    ASSERT_EQ(animation.FrameCount(), 3);

    TFrameInfo info;
    animation.GetFrameInfo(1, info);
    EXPECT_EQ(std::make_tuple(info.Left, info.Top, info.Width, info.Height, info.Delay, info.Transparent,
                              info.TransparentColor, int(info.Disposal), info.Comment.toStdString()),
              std::make_tuple(1, 0, 3, 1, 70, true, 255u, 3, std::string("first")));
    ASSERT_TRUE(info.Bitmap);
    const QImage picture = info.Bitmap->toRgb32();
    EXPECT_EQ(picture.pixel(0, 0), qRgb(0, 255, 0));
    EXPECT_EQ(picture.pixel(1, 0), qRgb(255, 0, 0)); // transparent: shown in the transparent colour
    const auto first = animation.Frame(1);
    EXPECT_EQ(first->Raster().image().pixel(1, 0), qRgb(0, 0, 0)); // transparent pixels of Raster are black
    EXPECT_EQ(first->Mask().image().pixel(1, 0), qRgb(255, 255, 255));
    EXPECT_EQ(first->Mask().image().pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(animation.FirstFrameBitmap()->toRgb32(), picture);

    // The third frame has no table of its own: its description is as large as the largest table
    // met so far (16), and index 15, past the global table, is black.
    EXPECT_EQ(std::make_tuple(animation.Frame(1)->Palette().size(), animation.Frame(2)->Palette().size(),
                              animation.Frame(3)->Palette().size()),
              std::make_tuple(2, 16, 16));
    animation.GetFrameInfo(3, info);
    EXPECT_EQ(info.Bitmap->toRgb32().pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(info.TransparentColor, 0u);

    for (int outside : {0, 4, -1}) {
        animation.GetFrameInfo(outside, info);
        EXPECT_FALSE(info.Bitmap);
        EXPECT_EQ(std::make_tuple(info.Left, info.Width, info.Delay, info.Transparent, info.Comment.isEmpty()),
                  std::make_tuple(0, 0, 0, false, true));
    }
}

// The rules written out plainly over giflib's frames: a canvas of premultiplied pixels, 0 where
// nothing opaque was drawn.
class ReferenceComposer {
public:
    explicit ReferenceComposer(const gif::oracle::Image &image) : image_(image)
    {
        width_ = image.screenWidth, height_ = image.screenHeight;
        for (const auto &f : image.frames) {
            width_ = std::max(width_, f.left + f.width);
            height_ = std::max(height_, f.top + f.height);
            transparent_ = transparent_ || f.transparentIndex >= 0;
        }
        canvas_.assign(size_t(width_) * size_t(height_), transparent_ ? 0u : 0xFF000000u);
    }

    void Show(size_t n)
    {
        if (n > 0) {
            const auto &last = image_.frames[n - 1];
            const int disposal = last.disposal > 3 ? 2 : last.disposal;
            if (disposal == 2)
                ForEach(last, [&](uint32_t &pixel, int) { pixel = transparent_ ? 0u : 0xFF000000u; });
            else if (disposal == 3)
                canvas_ = saved_;
        }
        const auto &f = image_.frames[n];
        if (f.disposal == 3)
            saved_ = canvas_;
        ForEach(f, [&](uint32_t &pixel, int i) {
            const int index = f.pixels[size_t(i)];
            if (index == f.transparentIndex)
                return;
            const size_t at = size_t(index) * 3;
            pixel = at + 2 < f.colors.size() ? 0xFF000000u | uint32_t(f.colors[at]) << 16 | uint32_t(f.colors[at + 1]) << 8 | f.colors[at + 2]
                                             : 0xFF000000u;
        });
    }

    uint32_t At(int x, int y) const { return canvas_[size_t(y) * size_t(width_) + size_t(x)]; }

private:
    template <typename Body>
    void ForEach(const gif::oracle::Frame &f, Body body)
    {
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x)
                body(canvas_[size_t(f.top + y) * size_t(width_) + size_t(f.left + x)], y * f.width + x);
    }

    const gif::oracle::Image &image_;
    int width_ = 0, height_ = 0;
    bool transparent_ = false;
    std::vector<uint32_t> canvas_, saved_;
};

// Where the canvas first differs from the reference, or "".
std::string FirstDifference(const GifAnimation &ours, const ReferenceComposer &reference)
{
    const QImage &canvas = ours.Canvas();
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x) {
            const uint32_t pixel = reinterpret_cast<const uint32_t *>(canvas.constScanLine(y))[x];
            if (pixel != reference.At(x, y))
                return QStringLiteral("(%1, %2): %3, reference %4").arg(x).arg(y).arg(pixel, 8, 16).arg(reference.At(x, y), 8, 16).toStdString();
        }
    return {};
}

// ImageMagick's -coalesce of a file, frame by frame, as 32-bit pixels with alpha.
std::vector<QImage> Coalesced(const std::filesystem::path &file)
{
    QTemporaryDir dir;
    const std::string command = "convert '" + file.string() + "' -coalesce '" + dir.path().toStdString() + "/f-%03d.png'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    std::vector<QImage> frames;
    for (const QString &name : QDir(dir.path()).entryList({QStringLiteral("f-*.png")}, QDir::Files, QDir::Name))
        frames.push_back(QImage(dir.filePath(name)).convertToFormat(QImage::Format_ARGB32));
    return frames;
}

std::string DifferenceFromCoalesced(const GifAnimation &ours, const QImage &coalesced)
{
    const QImage &canvas = ours.Canvas();
    if (coalesced.size() != canvas.size())
        return "size differs";
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x) {
            const uint32_t pixel = reinterpret_cast<const uint32_t *>(canvas.constScanLine(y))[x];
            const QRgb theirs = coalesced.pixel(x, y);
            const bool same = qAlpha(theirs) == 0 ? pixel == 0 : pixel == (theirs | 0xFF000000u);
            if (!same)
                return QStringLiteral("(%1, %2): %3, coalesced %4").arg(x).arg(y).arg(pixel, 8, 16).arg(theirs, 8, 16).toStdString();
        }
    return {};
}

TEST(FrameComposition, EveryAnimationAgreesWithAReferenceComposition)
{
    std::vector<std::filesystem::path> files = gif::test::FilesBelow(gif::test::CorpusDir("real"));
    const auto made = gif::test::FilesBelow(gif::test::CorpusDir("composite"));
    files.insert(files.end(), made.begin(), made.end());
    // ImageMagick fills a disposed area of a picture without transparency with the background
    // colour; here it is black.
    const std::set<std::string> coalesceDiffers = {"im_opaque_background.gif"};
    int compared = 0, comparedAsShown = 0, coalesceCompared = 0;
    for (const auto &file : files) {
        const Bytes bytes = gif::test::ReadBytes(file);
        const auto theirs = gif::oracle::Read(bytes);
        ASSERT_TRUE(theirs) << file;
        const bool withCoalesce = file.parent_path().filename() == "composite" && !coalesceDiffers.count(file.filename().string());
        const std::vector<QImage> coalesced = withCoalesce ? Coalesced(file) : std::vector<QImage>();
        for (const auto holding : BothHoldings) {
            // Held as shown, every frame of the file is played, also past 256.
            const bool asShown = holding == GifAnimation::Holding::AsShown;
            GifAnimation ours;
            ASSERT_TRUE(ours.Load(bytes, {}, holding)) << file;
            const size_t frames = asShown ? theirs->frames.size() : std::min<size_t>(theirs->frames.size(), gif::MaxFrames);
            ASSERT_EQ(size_t(ours.FrameCount()), frames) << file;
            ASSERT_EQ(ours.FramesBeyondLimit(), frames < theirs->frames.size()) << file;
            ReferenceComposer reference(*theirs);
            for (size_t n = 0; n < frames; ++n) {
                ours.DisposeFrame(int(n));
                ours.DrawFrame(int(n) + 1);
                reference.Show(n);
                ASSERT_EQ(FirstDifference(ours, reference), "") << file << " frame " << n + 1 << (asShown ? " as shown" : "");
                if (withCoalesce) {
                    ASSERT_LT(n, coalesced.size()) << file;
                    ASSERT_EQ(DifferenceFromCoalesced(ours, coalesced[n]), "") << file << " frame " << n + 1;
                    ++coalesceCompared;
                }
                ++(asShown ? comparedAsShown : compared);
            }
        }
    }
    EXPECT_GT(compared, 300);
    EXPECT_GT(comparedAsShown, compared + 100) << "the frames past 256 were played";
    EXPECT_GE(coalesceCompared, 16);
}

// Heap in use now, whether taken in small pieces or mapped whole.
std::size_t HeapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// A screen recording of 100 whole 1920 x 1080 frames: a desktop with a window that a box crosses,
// every tenth frame disposed by restoring what it covered.
Bytes FullHdRecording()
{
    const int width = 1920, height = 1080;
    GifBuilder file(width, height);
    file.GlobalTable({0x3A6EA5, 0x000000, 0xECE9D8, 0xFF0000});
    std::vector<uint8_t> indices(size_t(width) * size_t(height));
    for (int f = 0; f < 100; ++f) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                uint8_t c = 0;
                if (x > 200 && x < 1400 && y > 100 && y < 900)
                    c = (x / 9 + y / 17) % 13 == 0 ? 1 : 2;
                if (x > 300 + 12 * f && x < 500 + 12 * f && y > 600 && y < 800)
                    c = 3;
                indices[size_t(y) * width + size_t(x)] = c;
            }
        Bytes data;
        gif::CompressFrame(indices, 4, data);
        file.Control(f % 10 == 9 ? 3 : 1, 4).Image(0, 0, width, height, data);
    }
    return file.Trailer().Data();
}

// Held as shown, a long full-screen animation costs about its canvas, a saved area and its file,
// not a byte or more for every pixel of every frame; and it plays exactly as held whole.
TEST(FrameComposition, AsShownAHundredFullHdFramesPlayInBoundedMemory)
{
    Bytes file = FullHdRecording();
    const std::size_t fileSize = file.size();
    // Two passes, the second from frame 1 again over the last frame's disposal.
    const auto play = [](GifAnimation &animation, const std::function<void(int)> &shown) {
        for (int pass = 0; pass < 2; ++pass)
            for (int n = 1; n <= animation.FrameCount(); ++n) {
                animation.DisposeFrame(n == 1 ? animation.FrameCount() : n - 1);
                animation.DrawFrame(n);
                shown(n);
            }
    };
    const auto canvasHash = [](const GifAnimation &animation) {
        return qHash(QByteArrayView(animation.Canvas().constBits(), animation.Canvas().sizeInBytes()));
    };
    std::vector<size_t> expected;
    {
        GifAnimation whole = Loaded(file);
        ASSERT_EQ(whole.FrameCount(), 100);
        ASSERT_EQ(QSize(whole.ImageWidth(), whole.ImageHeight()), QSize(1920, 1080));
        play(whole, [&](int) { expected.push_back(canvasHash(whole)); });
    }

    const std::size_t before = HeapInUse();
    GifAnimation shown;
    ASSERT_TRUE(shown.Load(std::move(file), {}, GifAnimation::Holding::AsShown));
    std::size_t peak = HeapInUse(), drawn = 0;
    play(shown, [&](int n) {
        peak = std::max(peak, HeapInUse());
        EXPECT_EQ(canvasHash(shown), expected[drawn++]) << "frame " << n;
    });
    const std::size_t used = peak - before;
    EXPECT_LT(used, std::size_t(40) << 20) << used << " bytes for a file of " << fileSize;
    std::cout << "held as shown: " << used / 1024 << " KiB at most for a file of " << fileSize / 1024 << " KiB\n";
}

} // namespace
} // namespace kaptiv
