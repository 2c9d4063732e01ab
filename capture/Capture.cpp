#include "capture/Capture.h"

#include "platform/CursorStamp.h"
#include "platform/Errors.h"

#include <chrono>
#include <thread>

namespace kaptiv {

void waitRefreshDelay(const QString &delayText)
{
    const int milliseconds = StrToInt(delayText);
    if (milliseconds > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

Bitmap CaptureScreen(Desktop &desktop, const CaptureOptions &options)
{
    waitRefreshDelay(options.refreshDelay);
    const QPoint cursorPos = desktop.cursorPos();
    const CursorImage cursor = options.includeCursor ? desktop.currentCursor() : CursorImage{};
    const QSize size = desktop.screenSize();
    const QImage screen = desktop.grabScreen({0, 0, size.width(), size.height()});
    Bitmap bitmap = convertToColors(screen, desktop.displayDepth(), options.colors);
    if (options.includeCursor)
        stampCursor(bitmap, cursor, cursorPos);
    return bitmap;
}

WindowCapture captureWindowArea(Desktop &desktop, WindowId window, bool wholeWindow,
                                const CaptureOptions &options, QPoint cursorPos, const CursorImage &cursor)
{
    const ScreenRect rect = wholeWindow ? desktop.windowRect(window) : desktop.clientRect(window);
    const QImage pixels = desktop.grabScreen(rect);
    WindowCapture result{convertToColors(pixels, desktop.displayDepth(), options.colors), rect};
    if (options.includeCursor)
        stampCursor(result.bitmap, cursor, cursorPos - QPoint(rect.Left, rect.Top));
    return result;
}

WindowId requireForegroundWindow(Desktop &desktop)
{
    const WindowId window = desktop.foregroundWindow();
    if (!window)
        throw ENoWindow(QStringLiteral("There is currently no active window."));
    return window;
}

} // namespace kaptiv
