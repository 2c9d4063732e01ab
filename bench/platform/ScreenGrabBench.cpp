// Screen grabs against a plain copy of the same bytes, and the colour reductions, in one run.
//   build/bench/platform/screen_grab_bench   (needs DISPLAY; a 1920 x 1080 display for the grab figures)
#include "platform/pixels/PixelFormats.h"
#include "platform/x11/X11Desktop.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

namespace kaptiv {
namespace {

void setPixelsProcessed(benchmark::State &state, qint64 pixels)
{
    state.SetItemsProcessed(state.iterations() * pixels);
    state.counters["Mpixel/s"] = benchmark::Counter(double(state.iterations() * pixels) / 1e6,
                                                    benchmark::Counter::kIsRate);
}

void grabScreen(benchmark::State &state, bool sharedMemory)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        state.SkipWithError("DISPLAY is not set");
        return;
    }
    if (!sharedMemory)
        qputenv("KAPTIV_NO_SHM", "1");
    X11Desktop desktop;
    qunsetenv("KAPTIV_NO_SHM");
    const QSize size = desktop.screenSize();
    for (auto _ : state) {
        QImage image = desktop.grabScreen({0, 0, size.width(), size.height()});
        benchmark::DoNotOptimize(image.constBits());
    }
    setPixelsProcessed(state, qint64(size.width()) * size.height());
    state.SetLabel(QStringLiteral("%1x%2").arg(size.width()).arg(size.height()).toStdString());
}

void BM_GrabScreenSharedMemory(benchmark::State &state) { grabScreen(state, true); }
void BM_GrabScreenXGetImage(benchmark::State &state) { grabScreen(state, false); }

// The floor a grab is measured against: copying the same number of bytes once.
void BM_MemcpyOfAFullHdFrame(benchmark::State &state)
{
    const size_t bytes = size_t(1920) * 1080 * 4;
    std::vector<char> from(bytes, 1), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    setPixelsProcessed(state, 1920 * 1080);
}

// Flat areas, window frames and text-sized specks: what a desktop looks like.
QImage screenshotLike()
{
    QImage image(1920, 1080, QImage::Format_RGB32);
    image.fill(qRgb(240, 240, 240));
    std::mt19937 random(1);
    for (int w = 0; w < 12; ++w) {
        const int x0 = int(random() % 1500), y0 = int(random() % 800), ww = 200 + int(random() % 400), hh = 150 + int(random() % 250);
        const QRgb title = qRgb(int(random() % 256), int(random() % 256), int(random() % 256));
        for (int y = y0; y < std::min(1080, y0 + hh); ++y)
            for (int x = x0; x < std::min(1920, x0 + ww); ++x)
                image.setPixel(x, y, y < y0 + 20 ? title : ((x * 7 + y * 3) % 97 == 0 ? qRgb(0, 0, 0) : qRgb(255, 255, 255)));
    }
    return image;
}

// Smooth gradients with noise: nearly every pixel a new colour.
QImage photoLike()
{
    QImage image(1920, 1080, QImage::Format_RGB32);
    std::mt19937 random(2);
    for (int y = 0; y < 1080; ++y) {
        QRgb *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < 1920; ++x) {
            const int n = int(random() % 24);
            row[x] = qRgb((x / 8 + n) & 255, (y / 5 + n) & 255, ((x + y) / 12 + 2 * n) & 255);
        }
    }
    return image;
}

void reduce(benchmark::State &state, const QImage &source, CaptureColors colors)
{
    convertToColors(source, 24, colors); // the tables are made once per process, not per capture
    for (auto _ : state) {
        Bitmap bitmap = convertToColors(source, 24, colors);
        benchmark::DoNotOptimize(bitmap.image().constBits());
    }
    setPixelsProcessed(state, qint64(source.width()) * source.height());
}

const QImage &screenshot()
{
    static const QImage image = screenshotLike();
    return image;
}

const QImage &photo()
{
    static const QImage image = photoLike();
    return image;
}

void BM_ReduceScreenshot(benchmark::State &state) { reduce(state, screenshot(), CaptureColors(state.range(0))); }
void BM_ReducePhoto(benchmark::State &state) { reduce(state, photo(), CaptureColors(state.range(0))); }

// Arguments: 0 monochrome, 1 sixteen colours, 2 the 256-colour table.
BENCHMARK(BM_GrabScreenSharedMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GrabScreenXGetImage)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MemcpyOfAFullHdFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReduceScreenshot)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReducePhoto)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace kaptiv
