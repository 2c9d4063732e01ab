#include "gif/GifFrames.h"

#include "platform/FileErrors.h"
#include "gif/core/GifReader.h"
#include "platform/Errors.h"

namespace kaptiv {

namespace {

EGIFError unreadable(const QString &path)
{
    return EGIFError(QStringLiteral("\"%1\" is not a GIF file that can be read.").arg(path));
}

} // namespace

std::vector<std::uint8_t> readGifFile(const QString &path)
{
    static constexpr std::string_view Signature[] = {"GIF"};
    auto bytes = reportingFileErrors([&] { return files::ReadFileWithSignature(nativePath(path), Signature); });
    if (!bytes)
        throw unreadable(path);
    return std::move(*bytes);
}

gif::GifImage loadGif(const QString &path)
{
    const std::vector<std::uint8_t> bytes = readGifFile(path);
    gif::GifImage image;
    if (!gif::ParseGIF(bytes, image))
        throw unreadable(path);
    return image;
}

GifAnimation loadGifAnimation(const QString &path)
{
    const std::vector<std::uint8_t> bytes = readGifFile(path);
    GifAnimation animation;
    if (!animation.Load(bytes))
        throw unreadable(path);
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
    info.Comment = QString::fromStdString(frame.Comment);
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
