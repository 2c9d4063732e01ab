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

void refuseGifFrames()
{
    throw EGIFError(QStringLiteral("Could not create the GIF animation.  Make sure the images are valid, i.e. there "
                                   "are no more than 256 colors per image."));
}

} // namespace kaptiv
