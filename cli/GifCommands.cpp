// kaptiv gif-info, gif-frames and gif-make: the GIF engine used from a script.
#include "cli/Arguments.h"
#include "cli/CommandLine.h"
#include "gif/GifAnimation.h"
#include "gif/GifFrames.h"
#include "gif/GifSave.h"
#include "formats/BmpCodec.h"
#include "platform/NativeNames.h"
#include "platform/Errors.h"

#include <filesystem>
#include <ostream>
#include <string>

namespace kaptiv {

namespace {

QString hexColour(const gif::ColorTable &table, int index)
{
    return QStringLiteral("#%1%2%3")
        .arg(table[3 * index], 2, 16, QLatin1Char('0'))
        .arg(table[3 * index + 1], 2, 16, QLatin1Char('0'))
        .arg(table[3 * index + 2], 2, 16, QLatin1Char('0'))
        .toUpper();
}

void makeFolder(const QString &directory)
{
    std::error_code error;
    std::filesystem::create_directories(nativePath(directory), error);
    if (error)
        throw EOpenFile(QStringLiteral("Cannot create the folder \"%1\". %2")
                            .arg(directory, QString::fromLocal8Bit(error.message())));
}

// A comment for a terminal: its bytes shown as Latin-1, with control characters escaped so that a
// file cannot move the cursor, clear the screen or forge a line of the listing.
std::string printableComment(const std::string &bytes)
{
    QString shown;
    for (const QChar c : commentText(bytes)) {
        const char16_t u = c.unicode();
        if (u == '\\' || u == '"')
            shown += QLatin1Char('\\') + c;
        else if (u == '\n')
            shown += QLatin1String("\\n");
        else if (u == '\r')
            shown += QLatin1String("\\r");
        else if (u == '\t')
            shown += QLatin1String("\\t");
        else if (u < 0x20 || (u >= 0x7F && u < 0xA0))
            shown += QStringLiteral("\\x%1").arg(int(u), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown.toStdString();
}

// What every command that counts a file's frames adds when the reader stopped at its limit.
std::string beyondLimit(bool beyond, int read)
{
    return beyond ? " (the file holds more; Kaptiv reads the first " + std::to_string(read) + ")" : "";
}

// The commands take a file's frames one at a time, so they read as many as the player does.
gif::ParseOptions frameByFrame(gif::FrameHandler onFrame)
{
    gif::ParseOptions options;
    options.DecodePixels = false;
    options.Limits = GifAnimation::OneFrameAtATime();
    options.OnFrame = std::move(onFrame);
    return options;
}

QString onlyFile(const QStringList &arguments, const char *command)
{
    if (arguments.isEmpty())
        throw UsageError{QStringLiteral("%1 needs a GIF file").arg(QLatin1String(command))};
    return arguments[0];
}

} // namespace

int runGifInfo(const QStringList &arguments, std::ostream &out)
{
    const QString path = onlyFile(arguments, "gif-info");
    if (arguments.size() > 1)
        throw UsageError{QStringLiteral("gif-info takes one file, not '%1'").arg(arguments.mid(1).join(' '))};
    // Counted first, then listed as the frames come: no frame is held, however many there are.
    const std::vector<std::uint8_t> bytes = readGifFile(path);
    int frames = 0;
    const gif::GifImage image = parseGif(path, bytes, frameByFrame([&](gif::GifFrame &, int) { return ++frames, true; }));
    auto yesNo = [](bool b) { return b ? "yes" : "no"; };
    out << "File: " << terminalText(path) << "\n"
        << "Canvas: " << image.ImageWidth << " x " << image.ImageHeight << "\n"
        << "Frames: " << frames << beyondLimit(image.FramesBeyondLimit, frames) << "\n"
        << "Colour depth: " << image.ColorDepth << " bits (" << (image.ColorDepth ? 1 << image.ColorDepth : 0)
        << " colours)\n"
        << "Loop count: " << image.LoopCount << (image.LoopCount == 0 ? " (for ever)" : "") << "\n"
        << "Transparent: " << yesNo(image.IsTransparent) << "\n"
        << "Animated: " << yesNo(image.IsAnimated) << "\n";
    parseGif(path, bytes, frameByFrame([&](const gif::GifFrame &f, int number) {
        out << "Frame " << number << ": position " << f.Left << "," << f.Top << "; size " << f.Width << " x "
            << f.Height << "; delay " << f.Delay << " ms; disposal " << int(f.Disposal) << "; interlaced "
            << yesNo(f.Interlaced) << "; transparent ";
        if (f.Transparent)
            out << "index " << int(f.TransparentIndex) << " colour " << hexColour(f.Colors, f.TransparentIndex).toStdString();
        else
            out << "no";
        out << "; local table ";
        if (f.HasLocalColors)
            out << (1 << f.LocalBits) << " colours";
        else
            out << "none";
        out << "; comment \"" << printableComment(f.Comment) << "\"\n";
        return true;
    }));
    return 0;
}

int runGifFrames(const QStringList &arguments, std::ostream &out)
{
    QString path, directory;
    bool composited = false;
    QRgb background = qRgb(255, 255, 255);
    for (int i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--output") || arguments[i] == QLatin1String("-o"))
            directory = valueOf(arguments, i);
        else if (arguments[i] == QLatin1String("--composited"))
            composited = true;
        else if (arguments[i] == QLatin1String("--background"))
            background = rgbOption(arguments[i], valueOf(arguments, i));
        else if (arguments[i].startsWith(QLatin1String("--")))
            throw UsageError{QStringLiteral("unknown option '%1'").arg(arguments[i])};
        else if (path.isEmpty())
            path = arguments[i];
        else
            throw UsageError{QStringLiteral("gif-frames takes one file, not '%1'").arg(arguments[i])};
    }
    if (path.isEmpty())
        throw UsageError{QStringLiteral("gif-frames needs a GIF file")};
    if (directory.isEmpty())
        throw UsageError{QStringLiteral("gif-frames needs --output DIR")};
    auto frameFile = [&](int number) {
        return directory + QStringLiteral("/frame-%1.bmp").arg(number, 3, 10, QLatin1Char('0'));
    };
    if (composited) {
        // Checked whole at load; each frame is decoded as it is drawn.
        GifAnimation animation = loadGifAnimation(path);
        makeFolder(directory);
        for (int i = 1; i <= animation.FrameCount(); ++i) {
            animation.DisposeFrame(i - 1);
            animation.DrawFrame(i);
            saveBmp(Bitmap(animation.CanvasOver(background), 24), frameFile(i));
        }
        out << animation.FrameCount() << " composited frames written to " << terminalText(directory)
            << beyondLimit(animation.FramesBeyondLimit(), animation.FrameCount()) << "\n";
        return 0;
    }
    // The whole file is checked first, so that a file the reader refuses leaves nothing behind;
    // then the frames are decoded and written one at a time, only one of them in memory.
    const std::vector<std::uint8_t> bytes = readGifFile(path);
    int frames = 0;
    const gif::GifImage facts = parseGif(path, bytes, frameByFrame([&](gif::GifFrame &, int) { return ++frames, true; }));
    makeFolder(directory);
    int written = 0;
    QStringList withoutPixels;
    gif::ParseOptions oneAtATime = frameByFrame([&](const gif::GifFrame &frame, int number) {
        const TFrameInfo info = frameRecord(frame);
        if (info.Bitmap->isNull()) {
            withoutPixels << QString::number(number);
            return true;
        }
        saveBmp(*info.Bitmap, frameFile(number));
        ++written;
        return true;
    });
    oneAtATime.DecodePixels = true;
    parseGif(path, bytes, oneAtATime);
    out << written;
    if (!withoutPixels.isEmpty())
        out << " of " << frames;
    out << (frames == 1 ? " frame" : " frames") << " written to " << terminalText(directory);
    if (!withoutPixels.isEmpty())
        out << "; without pixels: frame " << withoutPixels.join(QStringLiteral(", ")).toStdString();
    out << beyondLimit(facts.FramesBeyondLimit, frames) << "\n";
    return 0;
}

namespace {

// What gif-make is asked to do.
struct GifMakeRequest {
    QString output;
    TFrameInfo settings; // of every frame
    TGIFSaveInfo info;
    QStringList images;
};

GifMakeRequest gifMakeRequest(const QStringList &arguments)
{
    GifMakeRequest request;
    TFrameInfo &settings = request.settings;
    TGIFSaveInfo &info = request.info;
    info.GlobalColors = true;
    QStringList colorOptions;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        if (a == QLatin1String("--output") || a == QLatin1String("-o")) {
            request.output = valueOf(arguments, i);
        } else if (a == QLatin1String("--delay")) {
            settings.Delay = wholeNumber(a, valueOf(arguments, i), 655350);
        } else if (a == QLatin1String("--loop")) {
            info.Loop = quint16(wholeNumber(a, valueOf(arguments, i), 65535));
        } else if (a == QLatin1String("--interlaced")) {
            settings.Interlaced = true;
        } else if (a == QLatin1String("--transparent")) {
            const QRgb rgb = rgbOption(a, valueOf(arguments, i));
            settings.Transparent = true;
            settings.TransparentColor = uint(qRed(rgb)) | uint(qGreen(rgb)) << 8 | uint(qBlue(rgb)) << 16;
        } else if (a == QLatin1String("--local-colors")) {
            info.GlobalColors = false;
        } else if (a == QLatin1String("--optimize")) {
            info.Optimize = true;
        } else if (a == QLatin1String("--colors")) {
            const QString value = valueOf(arguments, i);
            if (value != QLatin1String("as-is") && value != QLatin1String("adaptive"))
                throw UsageError{QStringLiteral("--colors must be as-is or adaptive, not '%1'").arg(value)};
            info.ReduceColors = value == QLatin1String("adaptive");
        } else if (a == QLatin1String("--dither") || a == QLatin1String("--no-dither")) {
            info.Dither = a == QLatin1String("--dither");
            colorOptions << a;
        } else if (a.startsWith(QLatin1String("--"))) {
            throw UsageError{QStringLiteral("unknown option '%1'").arg(a)};
        } else {
            request.images << a;
        }
    }
    requireAdaptiveForDither(colorOptions, info.ReduceColors);
    if (request.output.isEmpty())
        throw UsageError{QStringLiteral("gif-make needs --output OUT.gif")};
    if (request.images.isEmpty())
        throw UsageError{QStringLiteral("gif-make needs at least one bitmap")};
    // Kaptiv's own reader is the judge: a file it would not read whole is not written.
    if (request.images.size() > gif::MaxFrames)
        throw UsageError{QStringLiteral("gif-make takes at most %1 bitmaps, the most frames Kaptiv reads from a GIF "
                                        "file, not %2").arg(gif::MaxFrames).arg(request.images.size())};
    return request;
}

} // namespace

int runGifMake(const QStringList &arguments, std::ostream &out)
{
    GifMakeRequest request = gifMakeRequest(arguments);
    const QString &output = request.output;
    const TFrameInfo &settings = request.settings;
    const QStringList &images = request.images;
    TGIFSaveInfo &info = request.info;
    // The bitmaps are read one at a time, each twice (its colours first, then to write it), so
    // that memory holds one of them and the file, not all of them.
    const gif::ReadLimits limits;
    std::uint64_t pixels = 0;
    int checked = 0;
    auto frameAt = [&](int n) {
        const QString &path = images[n];
        TFrameInfo frame = settings;
        frame.Bitmap = std::make_shared<Bitmap>(loadBmp(path));
        frame.Width = frame.Bitmap->width();
        frame.Height = frame.Bitmap->height();
        if (n < checked)
            return frame;
        ++checked;
        const std::uint64_t framePixels = std::uint64_t(frame.Width) * std::uint64_t(frame.Height);
        if (framePixels > limits.MaxFramePixels)
            throw EGIFError(QStringLiteral("\"%1\" has more than %2 pixels, the largest frame Kaptiv reads.")
                                .arg(path)
                                .arg(limits.MaxFramePixels));
        pixels += framePixels;
        if (pixels > limits.MaxTotalPixels)
            throw EGIFError(QStringLiteral("The bitmaps have more than %1 pixels together, the most Kaptiv reads from "
                                           "one GIF file.").arg(limits.MaxTotalPixels));
        return frame;
    };
    if (!SaveGIF(output, int(images.size()), frameAt, info))
        refuseGifFrames(info);
    reportStream(output, out) << terminalText(output) << ": " << info.Count() << (info.Count() == 1 ? " frame" : " frames")
        << (info.Count() > 1 ? (info.GlobalColors ? ", one shared colour table" : ", a colour table per frame") : "")
        << "\n";
    return 0;
}

} // namespace kaptiv
