#include "capture/Capture.h"
#include "cli/ClipboardHolder.h"
#include "cli/CommandLine.h"
#include "cli/GrabPlan.h"
#include "formats/BmpCodec.h"
#include "formats/JpegCodec.h"
#include "formats/ImageFileIo.h"
#include "formats/PngCodec.h"
#include "formats/core/PngEncoder.h"
#include "platform/desktop/Desktop.h"
#include "platform/ui/Errors.h"
#include "platform/files/FileErrors.h"
#include "platform/files/NativeNames.h"
#include "platform/desktop/WaylandDesktop.h"

#include <iostream>
#include <ostream>

namespace kaptiv {

namespace {

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

// A grab's PNG file by the encoder the command-line front uses, so both programs write one file
// for one screen; pictures of other kinds (alpha, a palette) by the general PNG codec.
void saveGrabPng(const Bitmap &bitmap, const QString &path)
{
    const QImage &image = bitmap.image();
    std::optional<bmp::SourcePixels> kind;
    if (image.format() == QImage::Format_RGB32)
        kind = bmp::SourcePixels::Xrgb32;
    else if (image.format() == QImage::Format_RGB16)
        kind = bmp::SourcePixels::Words565;
    else if (image.format() == QImage::Format_RGB555)
        kind = bmp::SourcePixels::Words555;
    if (!kind || image.isNull()) {
        savePng(bitmap, path);
        return;
    }
    writeImageFile(path, [&] {
        try {
            const std::vector<std::uint8_t> file =
                png::encode({image.constBits(), image.bytesPerLine(), image.width(), image.height(), *kind});
            return QByteArray(reinterpret_cast<const char *>(file.data()), qsizetype(file.size()));
        } catch (const png::EncodeError &) {
            return encodePng(bitmap);
        }
    });
}

// Writes the capture and says in what form, for the report.
QString writeCapture(const Bitmap &bitmap, const grab::Plan &plan)
{
    const QString depth = QStringLiteral("%1 bits per pixel").arg(bitmap.depth());
    const QString output = decodeNativeName(plan.output);
    if (plan.toStandardOutput()) {
        writeToStandardOutput(encodePng(bitmap));
        return depth;
    }
    switch (plan.format) {
    case ImageFileType::Bitmap:
        saveBmp(bitmap, output);
        return depth;
    case ImageFileType::Jpeg: {
        JpegOptions jpeg;
        jpeg.quality = plan.jpegQuality.value_or(jpeg.quality);
        saveJpeg(bitmap, output, jpeg);
        return QStringLiteral("JPEG quality %1").arg(jpeg.quality);
    }
    default:
        saveGrabPng(bitmap, output);
        return depth;
    }
}

grab::Plan planOf(const QStringList &arguments)
{
    std::vector<std::string> bytes;
    for (const QString &argument : arguments)
        bytes.push_back(encodeNativeName(argument));
    const std::vector<std::string_view> words(bytes.begin(), bytes.end());
    grab::Planned planned = grab::planGrab(words);
    if (!planned.plan)
        throw UsageError{decodeNativeName(planned.refusal)};
    return *planned.plan;
}

CaptureColors captureColorsOf(grab::Colors colors)
{
    switch (colors) {
    case grab::Colors::Monochrome: return CaptureColors::Monochrome;
    case grab::Colors::Colors16: return CaptureColors::Colors16;
    case grab::Colors::Colors256: return CaptureColors::Colors256;
    case grab::Colors::Full: break;
    }
    return CaptureColors::Highest;
}

} // namespace

int runGrabCommand(const QStringList &arguments, std::ostream &out)
{
    const grab::Plan plan = planOf(arguments);
    const QString output = decodeNativeName(plan.output);
    const bool writes = !plan.output.empty();
    if (writes && !plan.toStandardOutput())
        checkCaptureTarget(output); // before the capture, which may take a while
    CaptureOptions options;
    options.refreshDelay = QString::number(plan.delayMilliseconds);
    options.includeCursor = plan.cursor;
    options.colors = captureColorsOf(plan.colors);

    Desktop &screen = desktop();
    // Refused before the delay: a script learns at once that it asked for what this desktop hides.
    if (!screen.seesOtherWindows()) {
        if (plan.target != grab::Target::Screen)
            throw ENoWindow(hiddenFromProgramsMessage(plan.target == grab::Target::ActiveWindow
                                                          ? HiddenFromPrograms::ActiveWindow
                                                          : HiddenFromPrograms::ActiveWindowClient)
                            + QStringLiteral(" 'kaptiv grab screen' captures the whole screen."));
        if (options.includeCursor)
            throw EDisplayError(hiddenFromProgramsMessage(HiddenFromPrograms::Cursor)
                                + QStringLiteral(" Leave out --cursor to capture the screen without it."));
    }
    Bitmap bitmap;
    if (plan.target == grab::Target::Screen) {
        bitmap = CaptureScreen(screen, options);
    } else {
        waitRefreshDelay(options.refreshDelay);
        requireForegroundWindow(screen);
        const QPoint cursorPos = screen.cursorPos();
        const CursorImage cursor = options.includeCursor ? screen.currentCursor() : CursorImage{};
        const WindowId window = requireForegroundWindow(screen);
        bitmap = captureWindowArea(screen, window, plan.target == grab::Target::ActiveWindow, options, cursorPos, cursor).bitmap;
    }
    // A file named on the same line reports to the terminal; the picture itself may be on standard output.
    std::ostream &report = plan.toStandardOutput() ? std::cerr : reportStream(output, out);
    if (writes) {
        const QString written = writeCapture(bitmap, plan);
        report << (plan.toStandardOutput() ? std::string("standard output") : terminalText(output)) << ": "
               << bitmap.width() << " x " << bitmap.height() << ", " << written.toStdString() << "\n";
    }
    if (plan.clipboard) {
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
