// Saving a 1920 x 1080 capture as PNG, JPEG at quality 75 and BMP, against ImageMagick's convert
// writing the same pixels in the same run.
//   build/bench/formats/save_bench
// convert runs as a process, reading the raw pixels from a file: BM_MagickStartup (a 1 x 1
// picture) shows how much of its figures is starting the program and reading.
#include "formats/BmpCodec.h"
#include "formats/JpegCodec.h"
#include "formats/PngCodec.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace kaptiv {
namespace {

constexpr int Width = 1920, Height = 1080;

// What a desktop capture looks like: flat window backgrounds, lines of text-like strokes, and a
// photograph-like area of smooth colour with noise.
QImage capture()
{
    QImage image(Width, Height, QImage::Format_RGB32);
    image.fill(qRgb(236, 236, 236));
    quint32 noise = 12345;
    for (int y = 0; y < Height; ++y) {
        QRgb *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < Width; ++x) {
            if (y < 30)
                row[x] = qRgb(48, 80, 140); // title bars
            else if (x > 1100 && y > 300 && y < 900) {
                noise = noise * 1664525u + 1013904223u;
                row[x] = qRgb((x / 4 + (noise >> 28)) & 255, (y / 3 + (noise >> 29)) & 255, ((x + y) / 6) & 255);
            } else if (x > 40 && x < 1000 && y % 18 < 11 && ((x * 7 + y * 3) % 13 < 4))
                row[x] = qRgb(20, 20, 20); // text
        }
    }
    return image;
}

const Bitmap &picture()
{
    static const Bitmap bitmap(capture(), 24);
    return bitmap;
}

QTemporaryDir &scratch()
{
    static QTemporaryDir dir;
    return dir;
}

template <typename Save>
void saveWithKaptiv(benchmark::State &state, const char *name, Save save)
{
    const QString path = scratch().filePath(QLatin1String(name));
    for (auto _ : state)
        save(picture(), path);
    state.counters["bytes"] = double(QFile(path).size());
}

void BM_KaptivPng(benchmark::State &state) { saveWithKaptiv(state, "k.png", savePng); }
void BM_KaptivJpeg75(benchmark::State &state)
{
    saveWithKaptiv(state, "k.jpg", [](const Bitmap &b, const QString &p) { saveJpeg(b, p, {75, false, false}); });
}
void BM_KaptivBmp(benchmark::State &state) { saveWithKaptiv(state, "k.bmp", saveBmp); }

void saveWithMagick(benchmark::State &state, const QString &target, int width, int height)
{
    const QString raw = scratch().filePath(QStringLiteral("in%1.bgra").arg(width));
    if (!QFile::exists(raw)) {
        QFile file(raw);
        file.open(QIODevice::WriteOnly);
        const QImage pixels = picture().image().copy(0, 0, width, height);
        for (int y = 0; y < height; ++y)
            file.write(reinterpret_cast<const char *>(pixels.constScanLine(y)), qint64(width) * 4);
    }
    const QString out = scratch().filePath(target);
    const QStringList arguments{"-size", QStringLiteral("%1x%2").arg(width).arg(height), "-depth", "8", "bgra:" + raw,
                                "-alpha", "off", "-quality", "75", out};
    for (auto _ : state) {
        QProcess process;
        process.start(QStringLiteral("convert"), arguments);
        if (!process.waitForFinished(120000) || process.exitCode() != 0) {
            state.SkipWithError("convert failed");
            return;
        }
    }
    state.counters["bytes"] = double(QFile(out).size());
}

void BM_MagickPng(benchmark::State &state) { saveWithMagick(state, QStringLiteral("m.png"), Width, Height); }
void BM_MagickJpeg75(benchmark::State &state) { saveWithMagick(state, QStringLiteral("m.jpg"), Width, Height); }
void BM_MagickBmp(benchmark::State &state) { saveWithMagick(state, QStringLiteral("BMP3:m.bmp"), Width, Height); }
void BM_MagickStartup(benchmark::State &state) { saveWithMagick(state, QStringLiteral("s.bmp"), 1, 1); }

BENCHMARK(BM_KaptivPng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MagickPng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KaptivJpeg75)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MagickJpeg75)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KaptivBmp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MagickBmp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MagickStartup)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace kaptiv
