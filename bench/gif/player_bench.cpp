// Decoding and composing the frames of real animations, as the player does, against giflib's
// decoding followed by a straightforward compositing loop, in frames per second.
// Run: ./bench/gif/player_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only

#include "gif/GifAnimation.h"

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

const char *const Animations[] = {"anim_screencap_20f.gif", "anim_screencap_full_20f.gif", "anim_sprites_20f.gif",
                                  "gifplayer-muybridge.gif"};

Bytes ReadCorpusFile(const std::string &name)
{
    std::ifstream in(std::string(KAPTIV_GIF_CORPUS) + "/real/" + name, std::ios::binary);
    if (!in)
        throw std::runtime_error("missing corpus file " + name);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Held as shown (the player's way: every frame of the file, decoded when drawn) or every frame
// decoded at load (Open as image windows' way: at most 256).
void Ours(benchmark::State &state, const char *name, kaptiv::GifAnimation::Holding holding)
{
    const Bytes file = ReadCorpusFile(name);
    int frames = 0;
    for (auto _ : state) {
        kaptiv::GifAnimation animation;
        if (!animation.Load(file, {}, holding))
            state.SkipWithError("not read");
        for (int n = 1; n <= animation.FrameCount(); ++n) {
            animation.DisposeFrame(n - 1);
            animation.DrawFrame(n);
        }
        benchmark::DoNotOptimize(animation.Canvas().constBits());
        frames += animation.FrameCount();
    }
    state.counters["frames/s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
}

struct Input {
    const Bytes &bytes;
    size_t pos = 0;
};

int ReadInput(GifFileType *gif, GifByteType *buffer, int count)
{
    auto *input = static_cast<Input *>(gif->UserData);
    const size_t n = std::min(size_t(count), input->bytes.size() - input->pos);
    std::memcpy(buffer, input->bytes.data() + input->pos, n);
    input->pos += n;
    return int(n);
}

// giflib's whole-file decoding, then every frame composed on an RGBA canvas by the plain rules.
void Giflib(benchmark::State &state, const char *name)
{
    const Bytes file = ReadCorpusFile(name);
    int frames = 0;
    for (auto _ : state) {
        Input input{file};
        int error = 0;
        GifFileType *gif = DGifOpen(&input, ReadInput, &error);
        if (!gif || DGifSlurp(gif) != GIF_OK) {
            state.SkipWithError("giflib refused the file");
            break;
        }
        int width = gif->SWidth, height = gif->SHeight;
        bool transparent = false;
        for (int i = 0; i < gif->ImageCount; ++i) {
            const GifImageDesc &d = gif->SavedImages[i].ImageDesc;
            width = std::max(width, d.Left + d.Width);
            height = std::max(height, d.Top + d.Height);
            GraphicsControlBlock gcb;
            transparent |= DGifSavedExtensionToGCB(gif, i, &gcb) == GIF_OK && gcb.TransparentColor >= 0;
        }
        const uint32_t background = transparent ? 0 : 0xFF000000u;
        std::vector<uint32_t> canvas(size_t(width) * size_t(height), background), saved;
        GraphicsControlBlock last{};
        GifImageDesc lastDesc{};
        for (int i = 0; i < gif->ImageCount; ++i) {
            const SavedImage &image = gif->SavedImages[i];
            const GifImageDesc &d = image.ImageDesc;
            if (i > 0 && last.DisposalMode == DISPOSE_BACKGROUND)
                for (int y = 0; y < lastDesc.Height; ++y)
                    std::fill_n(&canvas[size_t(lastDesc.Top + y) * size_t(width) + size_t(lastDesc.Left)], lastDesc.Width,
                                background);
            else if (i > 0 && last.DisposalMode == DISPOSE_PREVIOUS)
                canvas = saved;
            GraphicsControlBlock gcb{};
            gcb.TransparentColor = NO_TRANSPARENT_COLOR;
            DGifSavedExtensionToGCB(gif, i, &gcb);
            if (gcb.DisposalMode == DISPOSE_PREVIOUS)
                saved = canvas;
            const ColorMapObject *map = d.ColorMap ? d.ColorMap : gif->SColorMap;
            for (int y = 0; y < d.Height; ++y) {
                const GifByteType *row = image.RasterBits + size_t(y) * size_t(d.Width);
                uint32_t *target = &canvas[size_t(d.Top + y) * size_t(width) + size_t(d.Left)];
                for (int x = 0; x < d.Width; ++x) {
                    const int index = row[x];
                    if (index == gcb.TransparentColor)
                        continue;
                    const GifColorType c = map && index < map->ColorCount ? map->Colors[index] : GifColorType{0, 0, 0};
                    target[x] = 0xFF000000u | uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | c.Blue;
                }
            }
            last = gcb;
            lastDesc = d;
        }
        benchmark::DoNotOptimize(canvas.data());
        frames += gif->ImageCount;
        DGifCloseFile(gif, &error);
    }
    state.counters["frames/s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
}

const bool registered = [] {
    for (const char *name : Animations) {
        benchmark::RegisterBenchmark((std::string("Ours/as-shown/") + name).c_str(), Ours, name,
                                     kaptiv::GifAnimation::Holding::AsShown)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("Ours/every-frame/") + name).c_str(), Ours, name,
                                     kaptiv::GifAnimation::Holding::EveryFrame)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("Giflib/") + name).c_str(), Giflib, name)->Unit(benchmark::kMillisecond);
    }
    return true;
}();

} // namespace
