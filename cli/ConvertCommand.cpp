// kaptiv convert: one picture from one image file into another, through the readers and writers
// the Open and Save As commands use, each format with the options its Save As takes.
#include "cli/Arguments.h"
#include "cli/CommandLine.h"
#include "formats/BmpCodec.h"
#include "formats/IconCodec.h"
#include "formats/ImageFileType.h"
#include "formats/JpegCodec.h"
#include "formats/PngCodec.h"
#include "gif/GifFrames.h"
#include "gif/GifSave.h"
#include "platform/ui/Errors.h"

#include <optional>
#include <ostream>

namespace kaptiv {

namespace {

struct ConvertOptions {
    BmpColorFormat colors = BmpColorFormat::AsIs;
    bool adaptive = false; // --colors adaptive: a table of at most 256 colours made for the picture
    bool dither = true;
    JpegOptions jpeg;
    bool interlaced = false;
    std::optional<QRgb> transparent;
    int frame = 1;
    QStringList given; // the options named, to refuse those the output format has no use for
};

BmpColorFormat parseColors(const QString &value, bool &adaptive)
{
    adaptive = value == QLatin1String("adaptive");
    if (adaptive) return BmpColorFormat::AsIs;
    if (value == QLatin1String("mono")) return BmpColorFormat::Monochrome;
    if (value == QLatin1String("16")) return BmpColorFormat::Colors16;
    if (value == QLatin1String("256")) return BmpColorFormat::Colors256;
    if (value == QLatin1String("as-is")) return BmpColorFormat::AsIs;
    throw UsageError{QStringLiteral("--colors must be mono, 16, 256, as-is or adaptive, not '%1'").arg(value)};
}

// The file type by the name's extension, letter case ignored on the command line.
ImageFileType fileTypeOf(const QString &path, const char *role)
{
    const ImageFileType type = imageFileTypeOf(path.toLower());
    if (type == ImageFileType::None)
        throw UsageError{QStringLiteral("cannot tell the %1 file's format from '%2': use .bmp, .gif, .jpg, .jpeg, "
                                        ".ico or .png").arg(QLatin1String(role), path)};
    return type;
}

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

// The options each output format takes; any other is refused rather than silently ignored.
void refuseUnusedOptions(const ConvertOptions &options, ImageFileType type)
{
    auto usedBy = [type](const QString &option) {
        if (option == QLatin1String("--frame"))
            return true; // an input option
        if (option == QLatin1String("--dither") || option == QLatin1String("--no-dither"))
            return type == ImageFileType::Gif || type == ImageFileType::Bitmap || type == ImageFileType::Png;
        if (option == QLatin1String("--colors"))
            return type != ImageFileType::Jpeg;
        if (option == QLatin1String("--quality") || option == QLatin1String("--grayscale")
            || option == QLatin1String("--progressive"))
            return type == ImageFileType::Jpeg;
        if (option == QLatin1String("--interlaced"))
            return type == ImageFileType::Gif;
        return type == ImageFileType::Gif || type == ImageFileType::Icon; // --transparent
    };
    for (const QString &option : options.given)
        if (!usedBy(option))
            throw UsageError{QStringLiteral("%1 does not apply to the output format").arg(option)};
    if (options.adaptive && type == ImageFileType::Icon)
        throw UsageError{QStringLiteral("--colors adaptive applies to GIF, BMP and PNG output")};
}

// Writes the picture and says what was written.
QString writePicture(const Bitmap &source, const QString &path, ImageFileType type, const ConvertOptions &options)
{
    // A GIF is reduced by its writer, which keeps a transparent colour out of the mixing.
    const Bitmap picture = type == ImageFileType::Jpeg || (options.adaptive && type == ImageFileType::Gif) ? source
        : options.adaptive ? bitmapWithAdaptiveColors(source, options.dither)
                           : bitmapInColorFormat(source, options.colors);
    const QString depth = QStringLiteral("%1 bits per pixel").arg(picture.depth());
    switch (type) {
    case ImageFileType::Bitmap:
        saveBmp(picture, path);
        return depth;
    case ImageFileType::Png:
        savePng(picture, path);
        return depth;
    case ImageFileType::Icon:
        saveIcon(picture, path, options.transparent);
        return QStringLiteral("icon, 16 colours");
    case ImageFileType::Jpeg:
        saveJpeg(picture, path, options.jpeg);
        return QStringLiteral("JPEG quality %1%2%3")
            .arg(options.jpeg.quality)
            .arg(options.jpeg.grayscale ? QStringLiteral(", grey") : QString())
            .arg(options.jpeg.progressive ? QStringLiteral(", progressive") : QString());
    case ImageFileType::Gif: {
        TFrameInfo frame;
        frame.Bitmap = std::make_shared<Bitmap>(picture);
        frame.Width = picture.width();
        frame.Height = picture.height();
        frame.Interlaced = options.interlaced;
        frame.Transparent = options.transparent.has_value();
        if (options.transparent)
            frame.TransparentColor = uint(qRed(*options.transparent)) | uint(qGreen(*options.transparent)) << 8
                | uint(qBlue(*options.transparent)) << 16;
        TGIFSaveInfo info;
        info.ReduceColors = options.adaptive;
        info.Dither = options.dither;
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
    ConvertOptions options;
    QStringList files;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        if (a == QLatin1String("--colors")) {
            options.colors = parseColors(valueOf(arguments, i), options.adaptive);
        } else if (a == QLatin1String("--dither") || a == QLatin1String("--no-dither")) {
            options.dither = a == QLatin1String("--dither");
        } else if (a == QLatin1String("--quality")) {
            options.jpeg.quality = wholeNumber(a, valueOf(arguments, i), 100);
            if (options.jpeg.quality < 1)
                throw UsageError{QStringLiteral("--quality takes 1 to 100, not 0")};
        } else if (a == QLatin1String("--grayscale")) {
            options.jpeg.grayscale = true;
        } else if (a == QLatin1String("--progressive")) {
            options.jpeg.progressive = true;
        } else if (a == QLatin1String("--interlaced")) {
            options.interlaced = true;
        } else if (a == QLatin1String("--transparent")) {
            options.transparent = rgbOption(a, valueOf(arguments, i));
        } else if (a == QLatin1String("--frame")) {
            options.frame = wholeNumber(a, valueOf(arguments, i), 65535);
            if (options.frame < 1)
                throw UsageError{QStringLiteral("--frame counts from 1")};
        } else if (a.startsWith(QLatin1String("--"))) {
            throw UsageError{QStringLiteral("unknown option '%1'").arg(a)};
        } else {
            files << a;
            continue;
        }
        options.given << a;
    }
    if (files.size() != 2)
        throw UsageError{QStringLiteral("convert takes an input file and an output file")};
    const ImageFileType inputType = fileTypeOf(files[0], "input");
    const ImageFileType outputType = fileTypeOf(files[1], "output");
    refuseUnusedOptions(options, outputType);
    requireAdaptiveForDither(options.given, options.adaptive);
    if (options.given.contains(QLatin1String("--frame")) && inputType != ImageFileType::Gif)
        throw UsageError{QStringLiteral("--frame applies to a GIF input file")};

    const Bitmap picture = readPicture(files[0], inputType, options.frame);
    const QString written = writePicture(picture, files[1], outputType, options);
    reportStream(files[1], out) << terminalText(files[1]) << ": " << picture.width() << " x " << picture.height() << ", "
        << written.toStdString() << "\n";
    return 0;
}

} // namespace kaptiv
