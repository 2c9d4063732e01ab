#include "gif/GifSave.h"

#include "formats/BitmapPixels.h"
#include "formats/core/ColorTables.h"
#include "platform/files/FileErrors.h"
#include "gif/core/ColorReducer.h"
#include "gif/core/GifWriter.h"
#include "platform/ui/Errors.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

namespace kaptiv {

namespace {

// The frame's pixels as the writer reads them. Format_RGB32 in memory is blue, green, red and one
// spare byte per pixel, top row first, and is read where it lies; any other form is converted a
// row at a time as the writer asks, so that a large frame is not held twice (a 1-bit frame of
// 16384 x 16384 would take 1 GiB more as 32-bit pixels). The view keeps the bitmap alive.
gif::BgrxPixels bgrxPixels(const std::shared_ptr<Bitmap> &bitmap)
{
    const QImage &image = bitmap->image();
    gif::BgrxPixels pixels{nullptr, image.width(), image.height(), 4 * std::ptrdiff_t(image.width()), {}};
    if (image.format() == QImage::Format_RGB32) {
        pixels.Data = image.constBits();
        pixels.Stride = image.bytesPerLine();
        pixels.FillRow = nullptr;
    } else if (image.format() == QImage::Format_Indexed8) {
        pixels.FillRow = [bitmap, table = image.colorTable()](int y, std::uint8_t *row) {
            const uchar *indices = bitmap->image().constScanLine(y);
            QRgb *out = reinterpret_cast<QRgb *>(row);
            for (int x = 0; x < bitmap->width(); ++x)
                out[x] = indices[x] < table.size() ? table[indices[x]] : 0;
        };
    } else {
        pixels.FillRow = [bitmap](int y, std::uint8_t *row) {
            const QImage &image = bitmap->image();
            const QImage one = convertImage(image.copy(0, y, image.width(), 1), QImage::Format_RGB32);
            std::memcpy(row, one.constBits(), 4 * std::size_t(image.width()));
        };
    }
    return pixels;
}

// The writer's view of a record.
gif::GifFrameInput writerFrame(const TFrameInfo &frame)
{
    gif::GifFrameInput input;
    input.Pixels = bgrxPixels(frame.Bitmap);
    input.Left = frame.Left;
    input.Top = frame.Top;
    input.Delay = frame.Delay;
    input.Interlaced = frame.Interlaced;
    input.Transparent = frame.Transparent;
    input.TransparentColor = std::int32_t(frame.TransparentColor);
    input.Disposal = frame.Disposal;
    input.Comment = commentBytes(frame.Comment);
    return input;
}

// A frame the writer refused while the file was being written.
struct FrameRefused {};

gif::BgrxPixels bgrxOf(const QImage &rgb32)
{
    return {rgb32.constBits(), rgb32.width(), rgb32.height(), rgb32.bytesPerLine()};
}

// The colour (0xRRGGBB) a transparent frame keeps exactly; none for an opaque frame.
std::optional<std::uint32_t> keptColorOf(const TFrameInfo &frame)
{
    if (!frame.Transparent)
        return std::nullopt;
    // The writer takes "no colour" as white.
    const QRgb rgb = frame.TransparentColor == NoColor ? qRgb(255, 255, 255) : rgbOfColorValue(frame.TransparentColor);
    return std::uint32_t(rgb) & 0xFFFFFF;
}

// How the frames of a save with ReduceColors get their colours, decided from one look at every
// frame: nothing when each frame fits a table of its own (the file is then as without the
// option); else one adaptive table for all frames when they share one, or a table for each frame
// of more than 256 colours. A frame whose colours are in the table keeps them, since a colour that
// is an entry is never dithered.
class FrameReduction {
public:
    FrameReduction(const TGIFSaveInfo &info, int count, const std::function<TFrameInfo(int)> &frameAt)
        : dither_(info.Dither)
    {
        if (!info.ReduceColors)
            return;
        bool shared = info.GlobalColors && count > 1;
        std::optional<std::uint32_t> kept;
        gif::ColorHistogram histogram;
        std::vector<int> tooMany; // the frames of more than 256 colours
        for (int n = 0; n < count; ++n) {
            const TFrameInfo frame = frameAt(n);
            if (!frame.Bitmap || frame.Bitmap->isNull())
                continue; // refused later, as without the option
            const QImage image = frame.Bitmap->toRgb32();
            // One table keeps one transparent colour exactly; frames transparent in different
            // colours get a table each.
            if (const auto keep = keptColorOf(frame)) {
                shared = shared && (!kept || *kept == *keep);
                kept = keep;
            }
            gif::PaletteBuilder colours;
            if (!gif::FitsColors(bgrxOf(image), colours))
                tooMany.push_back(n);
            if (shared)
                histogram.Add(bgrxOf(image), kept);
        }
        if (tooMany.empty())
            return;
        if (shared) {
            shared_ = std::make_unique<gif::PaletteMapper>(gif::ChoosePalette(histogram, 256, 3, kept));
            return;
        }
        own_.resize(std::size_t(count));
        for (const int n : tooMany) {
            const TFrameInfo frame = frameAt(n);
            const std::optional<std::uint32_t> keep = keptColorOf(frame);
            gif::ColorHistogram own;
            own.Add(bgrxOf(frame.Bitmap->toRgb32()), keep);
            own_[std::size_t(n)] = gif::ChoosePalette(own, 256, 3, keep);
        }
    }

    // When frame `n` is to be written with other colours, makes `image` its 32-bit picture in
    // those colours and points `input` at it.
    void Apply(int n, const TFrameInfo &frame, QImage &image, gif::GifFrameInput &input) const
    {
        std::unique_ptr<gif::PaletteMapper> own;
        gif::PaletteMapper *mapper = shared_.get();
        if (!mapper && std::size_t(n) < own_.size() && own_[std::size_t(n)]) {
            own = std::make_unique<gif::PaletteMapper>(*own_[std::size_t(n)]);
            mapper = own.get();
        }
        if (!mapper)
            return;
        image = frame.Bitmap->toRgb32();
        uchar *bits = image.bits(); // detaches: the window's own picture stays as it is
        mapper->Reduce(bgrxOf(image), dither_, bits, image.bytesPerLine(), frame.Left, frame.Top);
        input.Pixels = bgrxOf(image);
    }

private:
    bool dither_;
    std::unique_ptr<gif::PaletteMapper> shared_;
    std::vector<std::optional<gif::Palette>> own_;
};

// Memory for a frame's colour indices (a byte a pixel) or the writer's other work on it ran out.
[[noreturn]] void noMemoryFor(const Bitmap &picture)
{
    throw EOutOfMemory(QStringLiteral("Not enough memory for a picture of %1 x %2 pixels.")
                           .arg(picture.width())
                           .arg(picture.height()));
}

} // namespace

Bitmap bitmapWithAdaptiveColors(const Bitmap &picture, bool dither)
{
    return bitmapOf(reportingCodecErrors([&] { return toAdaptiveColors(pixelsOf(picture), dither); }));
}

bool EncodeGIF(TGIFSaveInfo &info, std::vector<uint8_t> &bytes)
{
    gif::GifSaveInfo save;
    save.Loop = info.Loop;
    save.GlobalColors = info.GlobalColors;
    save.Optimize = info.Optimize;
    std::vector<QImage> pixels(info.Frames.size()); // the frames' reduced copies, while the writer reads them
    const FrameReduction reduction(info, info.Count(), [&](int n) { return info.Frames[size_t(n)]; });
    for (size_t i = 0; i < info.Frames.size(); ++i) {
        const TFrameInfo &frame = info.Frames[i];
        if (!frame.Bitmap || frame.Bitmap->isNull())
            return false;
        save.Frames.push_back(writerFrame(frame));
        reduction.Apply(int(i), frame, pixels[i], save.Frames.back());
    }
    bytes.clear();
    bool written = false;
    try {
        written = gif::WriteGIFStream(save, bytes);
    } catch (const std::bad_alloc &) {
        const auto largest = std::max_element(info.Frames.begin(), info.Frames.end(), [](const auto &a, const auto &b) {
            return qint64(a.Bitmap->width()) * a.Bitmap->height() < qint64(b.Bitmap->width()) * b.Bitmap->height();
        });
        noMemoryFor(*largest->Bitmap);
    }
    info.GlobalColors = save.GlobalColors;
    return written;
}

bool SaveGIF(const QString &fileName, TGIFSaveInfo &info)
{
    return reportingFileErrors([&] {
        const files::FileWriter file(nativePath(fileName)); // reports an unwritable place at once
        std::vector<std::uint8_t> bytes;
        if (!EncodeGIF(info, bytes))
            return false;
        file.Write(bytes);
        return true;
    });
}

namespace {

using FrameSource = std::function<TFrameInfo(int)>;

// The first pass of a streamed save. The shared table must be whole before the file starts, so
// each frame's colours are gathered first (as WriteGIFStream does), keeping only the frame's place
// and size in info.Frames. False when a frame cannot be read or is too large for the file.
bool gatherFrames(int count, const FrameSource &frameAt, const FrameReduction &reduction, TGIFSaveInfo &info,
                  gif::PaletteBuilder &palette, gif::GifStreamStart &start)
{
    std::vector<std::uint8_t> scratch;
    bool readable = true;
    for (int i = 0; i < count; ++i) {
        TFrameInfo frame = frameAt(i);
        int width = 0, height = 0;
        if (!frame.Bitmap || frame.Bitmap->isNull())
            readable = false;
        else if (info.GlobalColors || i == 0) {
            QImage image;
            gif::GifFrameInput input = writerFrame(frame);
            reduction.Apply(i, frame, image, input);
            width = frame.Bitmap->width();
            height = frame.Bitmap->height();
            int transparentIndex = gif::NoTransparentIndex;
            bool mapped = false;
            try {
                scratch.resize(size_t(width) * size_t(height));
                mapped = gif::ReadFramePixels(input, palette, scratch, transparentIndex);
            } catch (const std::bad_alloc &) {
                noMemoryFor(*frame.Bitmap);
            }
            if (!mapped) {
                if (info.GlobalColors && palette.Count() > gif::PaletteBuilder::MaxColors && i > 0)
                    info.GlobalColors = false;
                else
                    readable = false;
            }
        }
        if (frame.Bitmap && !frame.Bitmap->isNull() && width == 0 && height == 0) {
            width = frame.Bitmap->width();
            height = frame.Bitmap->height();
        }
        frame.Bitmap.reset();
        start.Width = std::max(start.Width, std::clamp(frame.Left, 0, MaxGifExtent) + width);
        start.Height = std::max(start.Height, std::clamp(frame.Top, 0, MaxGifExtent) + height);
        readable = readable && width <= MaxGifExtent && height <= MaxGifExtent;
        info.Frames.push_back(std::move(frame));
    }
    return readable;
}

// The second pass: the header, each frame asked for again and coded, then the end, handed to the
// file as it takes them. False when a frame is refused.
bool writeFrames(const files::FileWriter &file, int count, const FrameSource &frameAt, const FrameReduction &reduction,
                 const gif::GifStreamStart &start)
{
    std::vector<std::uint8_t> piece;
    gif::GifStreamWriter writer(piece);
    int next = -1; // the header, then the frames, then the end
    try {
        file.Write([&]() -> std::span<const std::uint8_t> {
            piece.clear();
            // A frame the optimiser holds back gives no bytes yet; the next one is taken then.
            while (piece.empty() && next <= count) {
                if (next < 0) {
                    writer.Begin(start);
                } else if (next < count) {
                    const TFrameInfo frame = frameAt(next);
                    if (!frame.Bitmap || frame.Bitmap->isNull())
                        throw FrameRefused{};
                    QImage image;
                    gif::GifFrameInput input = writerFrame(frame);
                    bool added = false;
                    try {
                        reduction.Apply(next, frame, image, input);
                        added = writer.AddFrame(input);
                    } catch (const std::bad_alloc &) {
                        noMemoryFor(*frame.Bitmap);
                    }
                    if (!added)
                        throw FrameRefused{};
                } else {
                    writer.Finish();
                }
                ++next;
            }
            return piece;
        });
    } catch (const FrameRefused &) {
        return false;
    }
    return true;
}

} // namespace

bool SaveGIF(const QString &fileName, int count, const std::function<TFrameInfo(int)> &frameAt, TGIFSaveInfo &info)
{
    return reportingFileErrors([&] {
        const files::FileWriter file(nativePath(fileName)); // reports an unwritable place at once
        info.Frames.clear();
        if (count <= 0)
            return false;
        const FrameReduction reduction(info, count, frameAt);
        gif::PaletteBuilder palette;
        gif::GifStreamStart start;
        if (!gatherFrames(count, frameAt, reduction, info, palette, start))
            return false;
        start.SharedColors = count > 1 && !info.GlobalColors ? nullptr : &palette;
        start.Looping = count > 1;
        start.Loop = info.Loop;
        start.Optimize = info.Optimize;
        return writeFrames(file, count, frameAt, reduction, start);
    });
}

void requireGifExtent(const TGIFSaveInfo &info)
{
    // The file keeps every position and size in 16 bits; a frame reaching past them would be cut
    // by every reader.
    for (int n = 0; n < info.Count(); ++n) {
        const TFrameInfo &frame = info.Frames[size_t(n)];
        const int64_t right = int64_t{frame.Left} + frame.Width, bottom = int64_t{frame.Top} + frame.Height;
        if (right <= MaxGifExtent && bottom <= MaxGifExtent)
            continue;
        if (info.Count() == 1 && frame.Left == 0 && frame.Top == 0)
            throw EGIFError(QStringLiteral("The picture is %1 x %2 pixels, beyond the %3 x %3 a GIF file can hold.")
                                .arg(right)
                                .arg(bottom)
                                .arg(MaxGifExtent));
        throw EGIFError(QStringLiteral("Image %1 reaches %2 x %3 pixels from the top left, beyond the %4 x %4 "
                                       "a GIF file can hold.  Move it or make it smaller.")
                            .arg(n + 1)
                            .arg(right)
                            .arg(bottom)
                            .arg(MaxGifExtent));
    }
}

void refuseGifFrames(const TGIFSaveInfo &info)
{
    requireGifExtent(info);
    throw EGIFError(QStringLiteral("Could not create the GIF animation.  Make sure the images are valid, i.e. there "
                                   "are no more than 256 colors per image."));
}

} // namespace kaptiv
