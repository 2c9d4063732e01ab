// kaptiv gif-info, gif-frames and gif-make: the GIF engine used from a script.
#include "cli/Arguments.h"
#include "cli/CommandLine.h"
#include "cli/GifInfo.h"
#include "formats/BitmapPixels.h"
#include "gif/GifAnimation.h"
#include "gif/GifFrames.h"
#include "gif/GifSave.h"
#include "formats/BmpCodec.h"
#include "formats/JpegCodec.h"
#include "formats/PngCodec.h"
#include "platform/files/FileErrors.h"
#include "platform/files/NativeNames.h"
#include "platform/ui/Errors.h"

#include <filesystem>
#include <algorithm>
#include <ostream>
#include <string>

namespace kaptiv {

namespace {

void makeFolder(const QString &directory)
{
    std::error_code error;
    std::filesystem::create_directories(nativePath(directory), error);
    if (error)
        throw EOpenFile(QStringLiteral("Cannot create the folder \"%1\". %2")
                            .arg(directory, QString::fromLocal8Bit(error.message())));
}

} // namespace

int runGifInfo(const QStringList &arguments, std::ostream &out)
{
    std::vector<std::string> words;
    for (const QString &argument : arguments)
        words.push_back(encodeNativeName(argument));
    const std::vector<std::string_view> views(words.begin(), words.end());
    refusedAsUsageError([&] { reportingCodecErrors([&] { cli::gifInfo(views, out); }); });
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
            << cli::beyondLimit(animation.FramesBeyondLimit(), animation.FrameCount()) << "\n";
        return 0;
    }
    // The whole file is checked first, so that a file the reader refuses leaves nothing behind;
    // then the frames are decoded and written one at a time, only one of them in memory.
    const std::vector<std::uint8_t> bytes = readGifFile(path);
    int frames = 0;
    const gif::GifImage facts = parseGif(path, bytes, cli::frameByFrame([&](gif::GifFrame &, int) { return ++frames, true; }));
    makeFolder(directory);
    int written = 0;
    QStringList withoutPixels;
    gif::ParseOptions oneAtATime = cli::frameByFrame([&](const gif::GifFrame &frame, int number) {
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
    out << cli::beyondLimit(facts.FramesBeyondLimit, frames) << "\n";
    return 0;
}

namespace {

// Kaptiv's own reader is the judge: a file it would not read whole is not written.
UsageError tooManyFrames(qsizetype frames)
{
    return UsageError{QStringLiteral("gif-make makes at most %1 frames, the most Kaptiv reads from a GIF file, "
                                     "not %2").arg(gif::MaxFrames).arg(frames)};
}

// What gif-make is asked to do.
struct GifMakeRequest {
    QString output;
    TFrameInfo settings; // of every frame
    bool delayGiven = false; // else a GIF's frames keep their own delays
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
            request.delayGiven = true;
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
        throw UsageError{QStringLiteral("gif-make needs at least one picture")};
    if (request.images.size() > gif::MaxFrames) // each gives a frame at least
        throw tooManyFrames(request.images.size());
    return request;
}

enum class PictureKind { Bitmap, Png, Jpeg, Gif };

// What a file holds, by its first bytes (so a bitmap named without .bmp is still read as one).
// It is opened by the rules every reader keeps, so a device or a FIFO is refused by name, never
// read for ever or waited on. A file too short to tell is left to the bitmap reader, whose message
// names it.
PictureKind pictureKindOf(const QString &path)
{
    static constexpr std::string_view Signatures[] = {"\x89PNG", "\xFF\xD8\xFF", "GIF8", "BM"};
    const auto bytes = reportingFileErrors([&] { return files::ReadFileWithSignature(nativePath(path), Signatures); });
    if (!bytes) {
        std::error_code unknown;
        if (std::filesystem::file_size(nativePath(path), unknown) < Signatures[0].size() && !unknown)
            return PictureKind::Bitmap;
        throw EOpenFile(QStringLiteral("%1: The file is not a BMP, PNG, JPEG or GIF picture.").arg(path));
    }
    const std::string_view start(reinterpret_cast<const char *>(bytes->data()), std::min<std::size_t>(bytes->size(), 4));
    if (start.starts_with(Signatures[0])) return PictureKind::Png;
    if (start.starts_with(Signatures[1])) return PictureKind::Jpeg;
    if (start.starts_with(Signatures[2])) return PictureKind::Gif;
    return PictureKind::Bitmap;
}

// The frames gif-make's inputs give, in order: a still picture one, a GIF each of its frames as
// the player shows it (over `background` where nothing opaque has been drawn) with its delay.
// Each frame is asked for twice in turn, so one GIF is composed at a time, from its first frame on.
class InputFrames {
public:
    InputFrames(const QStringList &paths, QRgb background) : paths_(paths), background_(background)
    {
        for (int input = 0; input < paths.size(); ++input) {
            const PictureKind kind = pictureKindOf(paths[input]);
            if (kind != PictureKind::Gif) {
                sources_.push_back({input, 0, kind});
                continue;
            }
            int frames = 0; // counted without decoding, however many there are
            parseGif(paths[input], readGifFile(paths[input]), cli::frameByFrame([&](gif::GifFrame &, int) { return ++frames, true; }));
            if (frames == 0)
                throw EGIFError(QStringLiteral("\"%1\" holds no frames.").arg(paths[input]));
            for (int frame = 1; frame <= frames; ++frame)
                sources_.push_back({input, frame, kind});
        }
        if (sources_.size() > std::size_t(gif::MaxFrames))
            throw tooManyFrames(qsizetype(sources_.size()));
    }

    int count() const { return int(sources_.size()); }
    const QString &pathOf(int n) const { return paths_[sources_[std::size_t(n)].input]; }

    // Frame n (from 0) and the delay its input gives it (none for a still picture).
    std::pair<std::shared_ptr<Bitmap>, int> frame(int n)
    {
        const Source &source = sources_[std::size_t(n)];
        const QString &path = paths_[source.input];
        switch (source.kind) {
        case PictureKind::Png: return {std::make_shared<Bitmap>(loadPng(path)), 0};
        case PictureKind::Jpeg: return {std::make_shared<Bitmap>(loadJpeg(path)), 0};
        case PictureKind::Bitmap: return {std::make_shared<Bitmap>(loadBmp(path)), 0};
        case PictureKind::Gif: break;
        }
        if (playing_ != source.input || source.frame < drawn_) {
            animation_ = loadGifAnimation(path);
            playing_ = source.input;
            drawn_ = 0;
        }
        if (source.frame != drawn_) {
            for (; drawn_ < source.frame; ++drawn_) {
                animation_.DisposeFrame(drawn_);
                animation_.DrawFrame(drawn_ + 1);
            }
            shown_ = std::make_shared<Bitmap>(animation_.CanvasOver(background_), 24);
        }
        return {shown_, animation_.Facts(source.frame).Delay};
    }

private:
    struct Source {
        int input;
        int frame; // of a GIF, from 1
        PictureKind kind;
    };

    const QStringList &paths_;
    const QRgb background_;
    std::vector<Source> sources_;
    int playing_ = -1; // the input whose animation is loaded
    int drawn_ = 0;    // its frames drawn so far
    GifAnimation animation_;
    std::shared_ptr<Bitmap> shown_; // the canvas after frame drawn_
};

} // namespace

int runGifMake(const QStringList &arguments, std::ostream &out)
{
    GifMakeRequest request = gifMakeRequest(arguments);
    const QString &output = request.output;
    const TFrameInfo &settings = request.settings;
    const QStringList &images = request.images;
    TGIFSaveInfo &info = request.info;
    // The pictures are read one at a time, each twice (its colours first, then to write it), so
    // that memory holds one of them and the file, not all of them.
    InputFrames inputs(images, settings.Transparent ? rgbOfColorValue(settings.TransparentColor) : qRgb(255, 255, 255));
    const gif::ReadLimits limits;
    std::uint64_t pixels = 0;
    int checked = 0;
    auto frameAt = [&](int n) {
        TFrameInfo frame = settings;
        const auto [picture, delay] = inputs.frame(n);
        frame.Bitmap = picture;
        frame.Width = picture->width();
        frame.Height = picture->height();
        if (!request.delayGiven)
            frame.Delay = delay;
        if (n < checked)
            return frame;
        ++checked;
        const std::uint64_t framePixels = std::uint64_t(frame.Width) * std::uint64_t(frame.Height);
        if (framePixels > limits.MaxFramePixels)
            throw EGIFError(QStringLiteral("\"%1\" has more than %2 pixels, the largest frame Kaptiv reads.")
                                .arg(inputs.pathOf(n))
                                .arg(limits.MaxFramePixels));
        pixels += framePixels;
        if (pixels > limits.MaxTotalPixels)
            throw EGIFError(QStringLiteral("The pictures have more than %1 pixels together, the most Kaptiv reads from "
                                           "one GIF file.").arg(limits.MaxTotalPixels));
        return frame;
    };
    if (!SaveGIF(output, inputs.count(), frameAt, info))
        refuseGifFrames(info);
    reportStream(output, out) << terminalText(output) << ": " << info.Count() << (info.Count() == 1 ? " frame" : " frames")
        << (info.Count() > 1 ? (info.GlobalColors ? ", one shared colour table" : ", a colour table per frame") : "")
        << "\n";
    return 0;
}

} // namespace kaptiv
