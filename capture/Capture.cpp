#include "capture/Capture.h"

#include "platform/pixels/CursorStamp.h"
#include "platform/ui/Errors.h"

#include <algorithm>
#include <chrono>
#include <cstring>
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

namespace {

[[noreturn]] void raiseNoActiveWindow()
{
    throw ENoWindow(QStringLiteral("There is currently no active window."));
}

} // namespace

WindowCapture captureWindowArea(Desktop &desktop, WindowId window, bool wholeWindow,
                                const CaptureOptions &options, QPoint cursorPos, const CursorImage &cursor)
{
    const ScreenRect rect = wholeWindow ? desktop.windowRect(window) : GetClientRectEx(desktop, window);
    if (rect.width() <= 0 || rect.height() <= 0) // gone since it was found: it has no rectangle
        raiseNoActiveWindow();
    const QImage pixels = desktop.grabScreen(rect);
    if (!desktop.windowExists(window)) // gone while it was read: the pixels are no longer its own
        raiseNoActiveWindow();
    WindowCapture result{convertToColors(pixels, desktop.displayDepth(), options.colors), rect};
    if (options.includeCursor)
        stampCursor(result.bitmap, cursor, cursorPos - QPoint(rect.Left, rect.Top));
    return result;
}

ScreenRect GetClientRectEx(Desktop &desktop, WindowId window) { return desktop.clientRect(window); }

Bitmap cropFrozenScreen(const Bitmap &frozen, const ScreenRect &area)
{
    const int width = std::max(area.width(), 0), height = std::max(area.height(), 0);
    const QImage &source = frozen.image();
    QImage cut = allocateImage(width, height, source.format());
    if (cut.isNull()) // an area of no width or no height
        return Bitmap(QImage(), frozen.depth());
    cut.setColorTable(source.colorTable());
    if (source.format() == QImage::Format_Indexed8)
        cut.fill(0u);
    else
        cut.fill(Qt::black);
    const QRect inside = QRect(area.Left, area.Top, width, height) & source.rect();
    const int bytesPerPixel = source.depth() / 8;
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        std::memcpy(cut.scanLine(y - area.Top) + (inside.left() - area.Left) * bytesPerPixel,
                    source.constScanLine(y) + inside.left() * bytesPerPixel, size_t(inside.width()) * bytesPerPixel);
    return Bitmap(std::move(cut), frozen.depth());
}

WindowId requireForegroundWindow(Desktop &desktop)
{
    const WindowId window = desktop.foregroundWindow();
    if (!window)
        raiseNoActiveWindow();
    return window;
}

} // namespace kaptiv
