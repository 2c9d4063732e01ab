// kaptiv convert: one picture from one image file into another, through the readers and writers
// the Open and Save As commands use, each format with the options its Save As takes. The rules of
// its arguments, and the conversions the codec core does alone, are the program's without Qt
// (cli/ConvertPlan.h); here the rest.
#include "cli/Arguments.h"
#include "cli/CommandLine.h"
#include "cli/ConvertPlan.h"
#include "formats/BitmapPixels.h"
#include "formats/BmpCodec.h"
#include "formats/IconCodec.h"
#include "formats/JpegCodec.h"
#include "formats/PngCodec.h"
#include "gif/GifFrames.h"
#include "gif/GifSave.h"
#include "platform/files/NativeNames.h"
#include "platform/ui/Errors.h"

#include <ostream>
#include <vector>

namespace kaptiv {

namespace {

Bitmap readGifFrame(const QString &path, int frame)
{
    const gif::GifImage image = loadGif(path);
    if (frame > image.FrameCount())
        throw UsageError{QStringLiteral("'%1' has %2 frame(s); --frame takes 1 to %2").arg(path).arg(image.FrameCount())};
    const TFrameInfo info = GetFrameInfo(image, frame);
    if (!info.Bitmap || info.Bitmap->isNull())
        throw EGIFError(QStringLiteral("Frame %1 of \"%2\" has no pixels.").arg(frame).arg(path));
    return *info.Bitmap;
}

Bitmap readPicture(const QString &path, ImageFileType type, int frame)
{
    switch (type) {
    case ImageFileType::Bitmap: return loadBmp(path);
    case ImageFileType::Gif: return readGifFrame(path, frame);
    case ImageFileType::Jpeg: return loadJpeg(path);
    case ImageFileType::Icon: return loadIcon(path);
    case ImageFileType::Png: return loadPng(path);
    case ImageFileType::None: break;
    }
    throw UsageError{QStringLiteral("no reader for '%1'").arg(path)};
}

BmpColorFormat bmpColorFormatOf(convert::Colors colors)
{
    switch (colors) {
    case convert::Colors::Monochrome: return BmpColorFormat::Monochrome;
    case convert::Colors::Colors16: return BmpColorFormat::Colors16;
    case convert::Colors::Colors256: return BmpColorFormat::Colors256;
    case convert::Colors::AsIs:
    case convert::Colors::Adaptive: break;
    }
    return BmpColorFormat::AsIs;
}

// Writes the picture and says what was written.
QString writePicture(const Bitmap &source, const QString &path, const convert::Plan &plan)
{
    const ImageFileType type = plan.outputType;
    const bool adaptive = plan.colors == convert::Colors::Adaptive;
    // A GIF is reduced by its writer, which keeps a transparent colour out of the mixing.
    const Bitmap picture = type == ImageFileType::Jpeg || (adaptive && type == ImageFileType::Gif) ? source
        : adaptive ? bitmapWithAdaptiveColors(source, plan.dither)
                   : bitmapInColorFormat(source, bmpColorFormatOf(plan.colors));
    const QString depth = QStringLiteral("%1 bits per pixel").arg(picture.depth());
    const std::optional<QRgb> transparent = plan.transparent ? std::optional<QRgb>(QRgb(*plan.transparent)) : std::nullopt;
    switch (type) {
    case ImageFileType::Bitmap:
        saveBmp(picture, path);
        return depth;
    case ImageFileType::Png:
        savePng(picture, path);
        return depth;
    case ImageFileType::Icon:
        saveIcon(picture, path, transparent);
        return QStringLiteral("icon, 16 colours");
    case ImageFileType::Jpeg:
        saveJpeg(picture, path, plan.jpeg);
        return QStringLiteral("JPEG quality %1%2%3")
            .arg(plan.jpeg.quality)
            .arg(plan.jpeg.grayscale ? QStringLiteral(", grey") : QString())
            .arg(plan.jpeg.progressive ? QStringLiteral(", progressive") : QString());
    case ImageFileType::Gif: {
        TFrameInfo frame;
        frame.Bitmap = std::make_shared<Bitmap>(picture);
        frame.Width = picture.width();
        frame.Height = picture.height();
        frame.Interlaced = plan.interlaced;
        frame.Transparent = transparent.has_value();
        if (transparent)
            frame.TransparentColor = uint(qRed(*transparent)) | uint(qGreen(*transparent)) << 8
                | uint(qBlue(*transparent)) << 16;
        TGIFSaveInfo info;
        info.ReduceColors = adaptive;
        info.Dither = plan.dither;
        info.Frames.push_back(frame);
        if (!SaveGIF(path, info))
            refuseGifFrames(info);
        return QStringLiteral("GIF");
    }
    case ImageFileType::None: break;
    }
    throw UsageError{QStringLiteral("no writer for '%1'").arg(path)};
}

} // namespace

int runConvert(const QStringList &arguments, std::ostream &out)
{
    std::vector<std::string> words;
    for (const QString &argument : arguments)
        words.push_back(encodeNativeName(argument));
    const std::vector<std::string_view> views(words.begin(), words.end());
    const convert::Plan plan = refusedAsUsageError([&] { return convert::plan(views); });
    const QString output = decodeNativeName(plan.output);
    std::string written;
    if (convert::runsWithoutQt(plan)) {
        written = reportingCodecErrors([&] { return convert::run(plan); });
    } else {
        const Bitmap picture = readPicture(decodeNativeName(plan.input), plan.inputType, plan.frame);
        const QString what = writePicture(picture, output, plan);
        written = std::to_string(picture.width()) + " x " + std::to_string(picture.height()) + ", " + what.toStdString();
    }
    reportStream(output, out) << plan.output << ": " << written << "\n";
    return 0;
}

} // namespace kaptiv
