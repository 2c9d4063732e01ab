// kaptiv record: an area of the screen recorded into an animated GIF until its duration ends or
// Ctrl+C (SIGINT) or SIGTERM arrives; either way the file is finished properly.
#include "capture/Capture.h"
#include "cli/Arguments.h"
#include "cli/CommandLine.h"
#include "platform/desktop/Desktop.h"
#include "platform/ui/Errors.h"
#include "platform/files/FileAccess.h"
#include "platform/files/NativeNames.h"
#include "platform/desktop/WaylandDesktop.h"
#include "record/Recorder.h"
#include "record/X11AreaSource.h"

#include <QRegularExpression>

#include <csignal>
#include <ctime>
#include <ostream>

namespace kaptiv {

namespace {

record::AreaSourceOptions areaOf(const QString &what, const QString &geometry)
{
    record::AreaSourceOptions area;
    if (what == QLatin1String("area")) {
        static const QRegularExpression numbers(QStringLiteral("^(\\d{1,5}),(\\d{1,5}),(\\d{1,5}),(\\d{1,5})$"));
        const QRegularExpressionMatch match = numbers.match(geometry);
        if (!match.hasMatch() || match.captured(3).toInt() < 1 || match.captured(4).toInt() < 1)
            throw UsageError{QStringLiteral("area takes X,Y,W,H with a width and height of at least 1, not '%1'").arg(geometry)};
        area.x = match.captured(1).toInt();
        area.y = match.captured(2).toInt();
        area.width = match.captured(3).toInt();
        area.height = match.captured(4).toInt();
        return area;
    }
    Desktop &screen = desktop();
    const QSize size = screen.screenSize();
    ScreenRect rect{0, 0, size.width(), size.height()};
    if (what == QLatin1String("active")) {
        const ScreenRect window = screen.windowRect(requireForegroundWindow(screen));
        // The part of the window on the screen: only that can be read.
        rect = {std::max(window.Left, 0), std::max(window.Top, 0), std::min(window.Right, size.width()),
                std::min(window.Bottom, size.height())};
        if (rect.width() < 1 || rect.height() < 1)
            throw EConvertError(QStringLiteral("The active window is not on the screen."));
    }
    area.x = rect.Left;
    area.y = rect.Top;
    area.width = rect.width();
    area.height = rect.height();
    return area;
}

// What `kaptiv record` is asked to do.
struct RecordRequest {
    QString what, geometry; // screen, active, or area with its X,Y,W,H
    record::RecordingOptions options;
    bool cursor = false;
    QString output;
};

RecordRequest recordRequest(const QStringList &arguments)
{
    RecordRequest request;
    const QString &what = request.what = arguments.value(0);
    if (what != QLatin1String("screen") && what != QLatin1String("active") && what != QLatin1String("area"))
        throw UsageError{what.isEmpty() ? QStringLiteral("record needs screen, active or area X,Y,W,H")
                                        : QStringLiteral("cannot record '%1': use screen, active or area X,Y,W,H").arg(what)};
    int first = 1;
    if (what == QLatin1String("area")) {
        request.geometry = arguments.value(1);
        first = 2;
    }
    record::RecordingOptions &options = request.options;
    options.colors = record::ColorMode::AsIs;
    bool colorsGiven = false, noDither = false;
    QString &output = request.output;
    for (int i = first; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        if (a == QLatin1String("--fps")) {
            options.fps = wholeNumber(a, valueOf(arguments, i), 50);
            if (options.fps < 1)
                throw UsageError{QStringLiteral("--fps takes a whole number from 1 to 50, not '0'")};
        } else if (a == QLatin1String("--duration")) {
            options.maxDurationMs = wholeNumber(a, valueOf(arguments, i), 999999999);
            if (options.maxDurationMs < 1)
                throw UsageError{QStringLiteral("--duration takes milliseconds from 1, not '0'")};
        } else if (a == QLatin1String("--cursor")) {
            request.cursor = true;
        } else if (a == QLatin1String("--colors")) {
            const QString value = valueOf(arguments, i);
            if (value == QLatin1String("as-is"))
                options.colors = record::ColorMode::AsIs;
            else if (value == QLatin1String("adaptive"))
                options.colors = record::ColorMode::Adaptive;
            else
                throw UsageError{QStringLiteral("--colors must be as-is or adaptive, not '%1'").arg(value)};
            colorsGiven = true;
        } else if (a == QLatin1String("--no-dither")) {
            noDither = true;
        } else if (a == QLatin1String("--output") || a == QLatin1String("-o")) {
            output = valueOf(arguments, i);
        } else {
            throw UsageError{QStringLiteral("unknown option '%1'").arg(a)};
        }
    }
    if (noDither && !(colorsGiven && options.colors == record::ColorMode::Adaptive))
        throw UsageError{QStringLiteral("--no-dither goes with --colors adaptive only")};
    options.dither = !noDither;
    if (output.isEmpty())
        throw UsageError{QStringLiteral("record needs --output FILE.gif")};
    if (!output.endsWith(QLatin1String(".gif"), Qt::CaseInsensitive))
        throw UsageError{QStringLiteral("record writes a GIF file: the output name must end in .gif, not '%1'").arg(output)};
    return request;
}

} // namespace

int runRecordCommand(const QStringList &arguments, std::ostream &out)
{
    const RecordRequest request = recordRequest(arguments);
    const QString &output = request.output;
    const record::RecordingOptions &options = request.options;

    // The recording reads an X screen; in a Wayland session that shows none of the native windows.
    if (isWaylandSession())
        throw EDisplayError(hiddenFromProgramsMessage(HiddenFromPrograms::Recording));
    record::AreaSourceOptions area = areaOf(request.what, request.geometry);
    area.includeCursor = request.cursor;
    const std::filesystem::path target(encodeNativeName(output));
    const files::FileWriter writer(target); // refuses a place that cannot take the file before recording

    // SIGINT and SIGTERM are taken here, not by the default handler, so they end the recording
    // the way its duration does; every thread started below inherits the blocked set.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &stopSignals, &previous);
    ::signal(SIGXFSZ, SIG_IGN); // a file-size limit is a failed write, reported, not a death
    struct Restore {
        sigset_t &blocked, &mask;
        ~Restore()
        {
            // A second Ctrl+C while the file was finished has done its work: it must not end
            // the process once unblocked.
            const timespec none{0, 0};
            while (sigtimedwait(&blocked, nullptr, &none) > 0) {
            }
            pthread_sigmask(SIG_SETMASK, &mask, nullptr);
        }
    } restore{stopSignals, previous};

    std::unique_ptr<record::AreaSource> source;
    try {
        source = record::openX11AreaSource(area);
    } catch (const std::runtime_error &e) {
        throw EDisplayError(QStringLiteral("Cannot record: %1.").arg(QString::fromStdString(e.what())));
    }
    record::Recorder recorder(std::move(source),
                              [&writer](const record::NextPiece &next) { writer.Write(next); }, options);
    recorder.start();
    out << "Recording " << area.width << " x " << area.height << " at " << area.x << "," << area.y << " into "
        << terminalText(output) << "; Ctrl+C stops" << std::endl;
    while (!recorder.waitFor(std::chrono::milliseconds(0))) {
        const timespec slice{0, 50'000'000};
        if (sigtimedwait(&stopSignals, nullptr, &slice) > 0)
            recorder.stop();
    }
    const bool written = recorder.wait();
    const record::RecordingStats stats = recorder.stats();
    const std::string message = recorder.message();
    if (!written)
        throw EOpenFile(QStringLiteral("Nothing was written to %1: %2.")
                            .arg(output, QString::fromStdString(message.empty() ? "the recording failed" : message)));
    out << terminalText(output) << ": " << stats.framesWritten << " frames written, " << stats.framesDropped
        << " dropped, " << stats.durationCs / 100 << "." << (stats.durationCs % 100 < 10 ? "0" : "")
        << stats.durationCs % 100 << " s, " << stats.bytes << " bytes\n";
    if (!message.empty())
        out << "Recording ended early: " << message << "\n";
    return 0;
}

} // namespace kaptiv
