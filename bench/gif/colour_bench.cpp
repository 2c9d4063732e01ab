// Choosing a 256-colour table for a 1920 x 1080 full-colour frame and mapping the frame to it,
// against ImageMagick's -colors 256 +dither doing the same in this process (Magick++ is linked
// here only, as the peer to compare with). The frame is ImageMagick's fractal plasma, a
// photo-like picture of about a million colours, made once with a fixed seed.
#include "gif/core/ColorReducer.h"

#include <Magick++.h>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

constexpr int Width = 1920, Height = 1080;

struct Photo {
    Magick::Image image;
    std::vector<std::uint8_t> bgrx;

    Photo()
    {
        Magick::InitializeMagick(nullptr);
        // One thread for both, so CPU time and real time tell the same story.
        Magick::ResourceLimits::thread(1);
        MagickCore::SetRandomSecretKey(7);
        image.size(Magick::Geometry(Width, Height));
        image.read("plasma:fractal");
        image.type(Magick::TrueColorType);
        bgrx.resize(std::size_t(Width) * Height * 4);
        image.write(0, 0, Width, Height, "BGRA", Magick::CharPixel, bgrx.data());
    }
    kaptiv::gif::BgrxPixels pixels() const { return {bgrx.data(), Width, Height, Width * 4}; }
};

const Photo &photo()
{
    static const Photo p;
    return p;
}

void Kaptiv(benchmark::State &state, bool dither)
{
    const kaptiv::gif::BgrxPixels pixels = photo().pixels();
    std::vector<std::uint8_t> indices(std::size_t(Width) * Height);
    for (auto _ : state) {
        kaptiv::gif::ColorHistogram histogram;
        histogram.Add(pixels);
        kaptiv::gif::PaletteMapper mapper(kaptiv::gif::ChoosePalette(histogram));
        mapper.Map(pixels, dither, indices.data(), Width);
        benchmark::DoNotOptimize(indices.data());
    }
    state.counters["Mpix/s"] = benchmark::Counter(double(Width) * Height * 1e-6 * double(state.iterations()),
                                                  benchmark::Counter::kIsRate);
}

void Magick(benchmark::State &state, bool dither)
{
    for (auto _ : state) {
        state.PauseTiming();
        Magick::Image copy = photo().image;
        copy.modifyImage(); // its own pixels, copied outside the timing
        state.ResumeTiming();
        copy.quantizeColors(256);
        copy.quantizeDither(dither);
        copy.quantize();
        benchmark::DoNotOptimize(copy.totalColors());
    }
    state.counters["Mpix/s"] = benchmark::Counter(double(Width) * Height * 1e-6 * double(state.iterations()),
                                                  benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(Kaptiv, palette_and_map_1920x1080, false)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(Kaptiv, palette_and_map_dithered_1920x1080, true)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(Magick, colors_256_plus_dither_1920x1080, false)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(Magick, colors_256_dither_1920x1080, true)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

} // namespace
