#include "capture/Capture.h"
#include "cli/Arguments.h"
#include "cli/CommandLine.h"
#include "formats/BmpCodec.h"
#include "platform/Desktop.h"
#include "platform/Errors.h"

#include <QRegularExpression>

#include <ostream>

namespace kaptiv {

namespace {

CaptureColors parseColors(const QString &value)
{
    if (value == QLatin1String("mono")) return CaptureColors::Monochrome;
    if (value == QLatin1String("16")) return CaptureColors::Colors16;
    if (value == QLatin1String("256")) return CaptureColors::Colors256;
    if (value == QLatin1String("full")) return CaptureColors::Highest;
    throw UsageError{QStringLiteral("--colors must be mono, 16, 256 or full, not '%1'").arg(value)};
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
    QString output;
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
        } else {
            throw UsageError{QStringLiteral("unknown option '%1'").arg(a)};
        }
    }
    if (output.isEmpty())
        throw UsageError{QStringLiteral("grab needs --output FILE.bmp or FILE.png")};
    checkCaptureFileName(output); // before the capture, which may take a while

    Desktop &screen = desktop();
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
    savePictureByName(bitmap, output);
    reportStream(output, out) << terminalText(output) << ": " << bitmap.width() << " x " << bitmap.height() << ", "
        << bitmap.depth() << " bits per pixel\n";
    return 0;
}

} // namespace kaptiv
