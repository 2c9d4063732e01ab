#include "capture/Capture.h"
#include "cli/Arguments.h"
#include "cli/ClipboardHolder.h"
#include "cli/CommandLine.h"
#include "formats/BmpCodec.h"
#include "formats/ImageFileType.h"
#include "formats/JpegCodec.h"
#include "formats/PngCodec.h"
#include "platform/Desktop.h"
#include "platform/Errors.h"
#include "platform/FileErrors.h"
#include "platform/WaylandDesktop.h"

#include <QRegularExpression>

#include <iostream>
#include <ostream>

namespace kaptiv {

namespace {

enum class CaptureFormat { Bitmap, Png, Jpeg };

CaptureColors parseColors(const QString &value)
{
    if (value == QLatin1String("mono")) return CaptureColors::Monochrome;
    if (value == QLatin1String("16")) return CaptureColors::Colors16;
    if (value == QLatin1String("256")) return CaptureColors::Colors256;
    if (value == QLatin1String("full")) return CaptureColors::Highest;
    throw UsageError{QStringLiteral("--colors must be mono, 16, 256 or full, not '%1'").arg(value)};
}

// The name that sends the picture to standard output instead of a file.
bool namesStandardOutput(const QString &output) { return output == QLatin1String("-"); }

// What the output becomes, by its name's extension (letter case ignored); standard output gets PNG.
CaptureFormat captureFormatOf(const QString &output)
{
    if (namesStandardOutput(output))
        return CaptureFormat::Png;
    switch (imageFileTypeOf(output.toLower())) {
    case ImageFileType::Bitmap: return CaptureFormat::Bitmap;
    case ImageFileType::Png: return CaptureFormat::Png;
    case ImageFileType::Jpeg: return CaptureFormat::Jpeg;
    default: break;
    }
    throw UsageError{QStringLiteral("grab writes .bmp, .png, .jpg or .jpeg files, or PNG to standard output "
                                    "with --output -, not '%1'").arg(output)};
}

// --quality: 1 to 100, for a JPEG output only (anything else would silently ignore it).
int jpegQuality(const QString &text, bool writesJpeg)
{
    const int quality = wholeNumber(QStringLiteral("--quality"), text, 100);
    if (quality < 1)
        throw UsageError{QStringLiteral("--quality takes 1 to 100, not 0")};
    if (!writesJpeg)
        throw UsageError{QStringLiteral("--quality applies to a JPEG output (.jpg or .jpeg)")};
    return quality;
}

// Standard output takes the bytes as they come; a broken pipe or a full disk is a failure.
void writeToStandardOutput(const QByteArray &bytes)
{
    try {
        files::WriteFile("/dev/stdout", {reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size())});
    } catch (const files::FileError &error) {
        throw EOpenFile(QStringLiteral("Cannot write the picture to standard output. %1")
                            .arg(QString::fromLocal8Bit(error.reason())));
    }
}

// A place that cannot take the file is refused before the capture.
void checkCaptureTarget(const QString &path)
{
    reportingFileErrors([&] { files::FileWriter{nativePath(path)}; });
}

// Writes the capture and says in what form, for the report.
QString writeCapture(const Bitmap &bitmap, const QString &output, CaptureFormat format, const JpegOptions &jpeg)
{
    const QString depth = QStringLiteral("%1 bits per pixel").arg(bitmap.depth());
    if (namesStandardOutput(output)) {
        writeToStandardOutput(encodePng(bitmap));
        return depth;
    }
    switch (format) {
    case CaptureFormat::Bitmap:
        saveBmp(bitmap, output);
        return depth;
    case CaptureFormat::Png:
        savePng(bitmap, output);
        return depth;
    case CaptureFormat::Jpeg:
        saveJpeg(bitmap, output, jpeg);
        return QStringLiteral("JPEG quality %1").arg(jpeg.quality);
    }
    return depth;
}

} // namespace

int runGrabCommand(const QStringList &arguments, std::ostream &out)
{
    const QString what = arguments.value(0);
    if (what != QLatin1String("screen") && what != QLatin1String("active") && what != QLatin1String("client"))
        throw UsageError{what.isEmpty() ? QStringLiteral("grab needs screen, active or client")
                                        : QStringLiteral("cannot grab '%1': use screen, active or client").arg(what)};
    CaptureOptions options;
    options.refreshDelay = QStringLiteral("0");
    QString output, quality;
    bool clipboard = false;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        if (a == QLatin1String("--delay")) {
            options.refreshDelay = valueOf(arguments, i);
            static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
            if (!digits.match(options.refreshDelay).hasMatch())
                throw UsageError{QStringLiteral("--delay takes milliseconds as a whole number, not '%1'")
                                     .arg(options.refreshDelay)};
        } else if (a == QLatin1String("--cursor")) {
            options.includeCursor = true;
        } else if (a == QLatin1String("--colors")) {
            options.colors = parseColors(valueOf(arguments, i));
        } else if (a == QLatin1String("--output") || a == QLatin1String("-o")) {
            output = valueOf(arguments, i);
        } else if (a == QLatin1String("--quality")) {
            quality = valueOf(arguments, i);
        } else if (a == QLatin1String("--clipboard")) {
            clipboard = true;
        } else {
            throw UsageError{QStringLiteral("unknown option '%1'").arg(a)};
        }
    }
    if (output.isEmpty() && !clipboard)
        throw UsageError{QStringLiteral("grab needs --output FILE.bmp, FILE.png or FILE.jpg, --output - or --clipboard")};
    // Every argument is checked before the capture, which may take a while.
    const bool writes = !output.isEmpty();
    const CaptureFormat format = writes ? captureFormatOf(output) : CaptureFormat::Png;
    JpegOptions jpeg;
    if (!quality.isNull())
        jpeg.quality = jpegQuality(quality, writes && format == CaptureFormat::Jpeg);
    if (writes && !namesStandardOutput(output))
        checkCaptureTarget(output);

    Desktop &screen = desktop();
    // Refused before the delay: a script learns at once that it asked for what this desktop hides.
    if (!screen.seesOtherWindows()) {
        if (what != QLatin1String("screen"))
            throw ENoWindow(hiddenFromProgramsMessage(what == QLatin1String("active") ? HiddenFromPrograms::ActiveWindow
                                                                                      : HiddenFromPrograms::ActiveWindowClient)
                            + QStringLiteral(" 'kaptiv grab screen' captures the whole screen."));
        if (options.includeCursor)
            throw EDisplayError(hiddenFromProgramsMessage(HiddenFromPrograms::Cursor)
                                + QStringLiteral(" Leave out --cursor to capture the screen without it."));
    }
    Bitmap bitmap;
    if (what == QLatin1String("screen")) {
        bitmap = CaptureScreen(screen, options);
    } else {
        waitRefreshDelay(options.refreshDelay);
        requireForegroundWindow(screen);
        const QPoint cursorPos = screen.cursorPos();
        const CursorImage cursor = options.includeCursor ? screen.currentCursor() : CursorImage{};
        const WindowId window = requireForegroundWindow(screen);
        bitmap = captureWindowArea(screen, window, what == QLatin1String("active"), options, cursorPos, cursor).bitmap;
    }
    // A file named on the same line reports to the terminal; the picture itself may be on standard output.
    std::ostream &report = namesStandardOutput(output) ? std::cerr : reportStream(output, out);
    if (writes) {
        const QString written = writeCapture(bitmap, output, format, jpeg);
        report << (namesStandardOutput(output) ? std::string("standard output") : terminalText(output)) << ": "
               << bitmap.width() << " x " << bitmap.height() << ", " << written.toStdString() << "\n";
    }
    if (clipboard) {
        const ClipboardHolder holder = holdOnClipboard(encodePng(bitmap));
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(holder.longest).count();
        report << "clipboard: " << bitmap.width() << " x " << bitmap.height() << " as PNG, held by process "
               << holder.process << " until another program takes the clipboard (at most "
               << (seconds % 60 ? std::to_string(seconds) + " seconds" : std::to_string(seconds / 60) + " minutes")
               << ")\n";
    }
    return 0;
}

} // namespace kaptiv
