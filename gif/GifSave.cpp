#include "gif/GifSave.h"

#include "platform/FileErrors.h"
#include "gif/core/GifWriter.h"
#include "platform/Errors.h"

namespace kaptiv {

bool EncodeGIF(TGIFSaveInfo &info, std::vector<uint8_t> &bytes)
{
    gif::GifSaveInfo save;
    save.Loop = info.Loop;
    save.GlobalColors = info.GlobalColors;
    std::vector<QImage> pixels; // keeps each frame's 32-bit copy alive while the writer reads it
    pixels.reserve(info.Frames.size());
    for (const TFrameInfo &frame : info.Frames) {
        if (!frame.Bitmap || frame.Bitmap->isNull())
            return false;
        // Format_RGB32 in memory is blue, green, red and one spare byte per pixel, top row first.
        pixels.push_back(frame.Bitmap->toRgb32());
        const QImage &image = pixels.back();
        gif::GifFrameInput input;
        input.Pixels = {image.constBits(), image.width(), image.height(), image.bytesPerLine()};
        input.Left = frame.Left;
        input.Top = frame.Top;
        input.Delay = frame.Delay;
        input.Interlaced = frame.Interlaced;
        input.Transparent = frame.Transparent;
        input.TransparentColor = std::int32_t(frame.TransparentColor);
        input.Disposal = frame.Disposal;
        input.Comment = commentBytes(frame.Comment);
        save.Frames.push_back(std::move(input));
    }
    bytes.clear();
    const bool written = gif::WriteGIFStream(save, bytes);
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
