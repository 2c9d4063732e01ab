// The window lookup over a large snapshot, and what the overlay repaints per mouse move.
#include "FakeDesktop.h"
#include "capture/CaptureHost.h"
#include "capture/CaptureOverlay.h"
#include "capture/WndFromPt.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <benchmark/benchmark.h>
#include <random>

namespace kaptiv {
namespace {

using testing::FakeDesktop;

// 100 top-level windows, each with 9 descendants: 1000 entries on a 1920 x 1080 screen.
void fillDesktop(FakeDesktop &desktop)
{
    std::mt19937 random(42);
    auto between = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    for (int top = 0; top < 100; ++top) {
        const int w = between(200, 1200), h = between(150, 800);
        const int x = between(-100, 1920 - w / 2), y = between(-50, 1080 - h / 2);
        const WindowId parent = desktop.addWindow({x, y, x + w, y + h}, {x + 4, y + 24, x + w - 4, y + h - 4});
        for (int child = 0; child < 9; ++child) {
            const int cw = between(10, w / 2), ch = between(10, h / 2);
            const int cx = x + between(0, w - cw), cy = y + between(0, h - ch);
            desktop.addWindow({cx, cy, cx + cw, cy + ch}, {cx, cy, cx + cw, cy + ch}, parent);
        }
    }
}

void BM_WindowAtPoint(benchmark::State &state)
{
    FakeDesktop desktop(QImage(1920, 1080, QImage::Format_RGB32));
    fillDesktop(desktop);
    WindowLookup lookup;
    lookup.ListWindows(desktop, 0);
    std::mt19937 random(7);
    std::vector<QPoint> points(4096);
    for (QPoint &p : points)
        p = {std::uniform_int_distribution<int>(0, 1919)(random), std::uniform_int_distribution<int>(0, 1079)(random)};
    size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(lookup.WindowAtPoint(desktop, points[i++ & 4095]));
    state.counters["windows"] = double(lookup.entries().size());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WindowAtPoint);

struct BenchHost : CaptureHost {
    std::optional<Bitmap> frozen;
    bool rectangleMode() const override { return true; }
    bool customRegionMode() const override { return false; }
    bool wholeWindow() const override { return false; }
    bool showCoordinates() const override { return true; }
    CaptureOptions captureOptions() const override { return {QStringLiteral("0")}; }
    QSize customRegionSize() const override { return {}; }
    std::optional<Bitmap> &captureBitmap() override { return frozen; }
};

class PaintedArea : public QObject {
public:
    qint64 area = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            for (const QRect &r : static_cast<QPaintEvent *>(event)->region())
                area += qint64(r.width()) * r.height();
        return false;
    }
};

QApplication &application()
{
    static int argc = 1;
    static char name[] = "capture_bench";
    static char *argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}

// A drag on a 1920 x 1080 overlay whose band spans about `range` pixels each way, moving one pixel
// at a time. Counts what each move repaints against the length of the two outlines it changes.
void BM_OverlayDragRepaint(benchmark::State &state)
{
    application();
    const int range = int(state.range(0));
    FakeDesktop desktop(QImage(1920, 1080, QImage::Format_RGB32));
    BenchHost host;
    TCapturefrm overlay(host, desktop);
    overlay.show();
    QCoreApplication::processEvents();
    PaintedArea painted;
    overlay.installEventFilter(&painted);
    const QPoint origin(100, 100);
    auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent event(type, at, overlay.mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(&overlay, &event);
    };
    send(QEvent::MouseButtonPress, origin, Qt::LeftButton, Qt::LeftButton);
    QCoreApplication::processEvents();
    painted.area = 0;
    qint64 moves = 0, outline = 0;
    int step = 0;
    ScreenRect previous{};
    for (auto _ : state) {
        const QPoint at = origin + QPoint(range + step % 16, range + step % 16);
        ++step;
        send(QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton);
        QCoreApplication::processEvents();
        const ScreenRect now = overlay.Selection;
        outline += 2 * (previous.width() + previous.height()) + 2 * (now.width() + now.height());
        previous = now;
        ++moves;
    }
    send(QEvent::MouseButtonRelease, origin, Qt::LeftButton, Qt::NoButton);
    state.counters["painted_px_per_move"] = double(painted.area) / double(moves);
    state.counters["outline_px_per_move"] = double(outline) / double(moves);
    state.counters["screen_px"] = 1920.0 * 1080.0;
}
BENCHMARK(BM_OverlayDragRepaint)->Arg(64)->Arg(256)->Arg(900);

} // namespace
} // namespace kaptiv
