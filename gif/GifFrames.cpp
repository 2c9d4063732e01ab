#include "gif/GifFrames.h"

#include "formats/BitmapPixels.h"
#include "gif/GifFile.h"
#include "gif/core/GifReader.h"
#include "platform/ui/Errors.h"


namespace kaptiv {

std::vector<std::uint8_t> readGifFile(const QString &path)
{
    return reportingCodecErrors([&] { return gif::readGifFile(encodeNativeName(path)); });
}

gif::GifImage parseGif(const QString &path, std::span<const std::uint8_t> bytes, const gif::ParseOptions &options)
{
    return reportingCodecErrors([&] { return gif::parseGifFile(encodeNativeName(path), bytes, options); });
}

gif::GifImage loadGif(const QString &path)
{
    return parseGif(path, readGifFile(path));
}

GifAnimation loadGifAnimation(const QString &path, GifAnimation::Holding holding)
{
    std::vector<std::uint8_t> bytes = readGifFile(path);
    GifAnimation animation;
    if (!animation.Load(bytes, {}, holding)) {
        gif::ParseOptions factsOnly; // to tell why: the reader's verdict, else the canvas was too large
        factsOnly.DecodePixels = false;
        if (holding == GifAnimation::Holding::AsShown) {
            factsOnly.Limits = GifAnimation::OneFrameAtATime();
            factsOnly.OnFrame = [](gif::GifFrame &, int) { return true; };
        }
        const gif::GifImage facts = parseGif(path, bytes, factsOnly);
        throw EGIFError(QStringLiteral("\"%1\" has a canvas of %2 x %3 pixels, more than the %4 pixels Kaptiv shows.")
                            .arg(path)
                            .arg(facts.ImageWidth)
                            .arg(facts.ImageHeight)
                            .arg(GifAnimation::MaxCanvasPixels));
    }
    return animation;
}

namespace {

QRgb colorAt(const gif::ColorTable &table, int index)
{
    return qRgb(table[3 * index], table[3 * index + 1], table[3 * index + 2]);
}

} // namespace

TFrameInfo GetFrameInfo(const gif::GifImage &image, int index)
{
    if (index < 1 || index > image.FrameCount())
        return {};
    return frameRecord(image.Frames[size_t(index - 1)]);
}

TFrameInfo frameRecord(const gif::GifFrame &frame)
{
    TFrameInfo info;
    info.Left = frame.Left;
    info.Top = frame.Top;
    info.Width = frame.Width;
    info.Height = frame.Height;
    info.Delay = frame.Delay;
    info.Interlaced = frame.Interlaced;
    info.Transparent = frame.Transparent;
    info.Disposal = frame.Disposal;
    info.Comment = commentText(frame.Comment);
    if (frame.Transparent) {
        const QRgb t = colorAt(frame.Colors, frame.TransparentIndex);
        info.TransparentColor = uint32_t(qRed(t)) | uint32_t(qGreen(t)) << 8 | uint32_t(qBlue(t)) << 16;
    }
    // Transparent pixels hold the transparent index, so every pixel is simply its table colour;
    // pixels the data never reached hold index 0.
    QImage pixels = allocateImage(frame.Width, frame.Height, QImage::Format_RGB32);
    if (!frame.Indices.empty())
        for (int y = 0; y < frame.Height; ++y) {
            QRgb *row = reinterpret_cast<QRgb *>(pixels.scanLine(y));
            for (int x = 0; x < frame.Width; ++x)
                row[x] = colorAt(frame.Colors, frame.IndexAt(x, y));
        }
    info.Bitmap = std::make_shared<Bitmap>(pixels, 24);
    return info;
}

} // namespace kaptiv
