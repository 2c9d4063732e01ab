// Decoding against giflib and Wuffs, LZW encoding and colour mapping against giflib. Every decoder
// is credited with the pixels it decoded itself (Mpix/s): compare those, not the times.
// Run: ./bench/gif/gif_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only

#include "GiflibOracle.h"
#include "WuffsPeer.h"

#include "gif/core/ColorMapper.h"
#include "gif/core/GifReader.h"
#include "gif/core/GifWriter.h"
#include "gif/core/LzwEncoder.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <stdexcept>
#include <string>

namespace {

using namespace kaptiv::gif;
using Bytes = std::vector<std::uint8_t>;

Bytes ReadCorpusFile(const std::string &name)
{
    std::ifstream in(std::string(KAPTIV_GIF_CORPUS) + "/real/" + name, std::ios::binary);
    if (!in)
        throw std::runtime_error("missing corpus file " + name);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Frames of a screen recording: a desktop with windows, a pointer and a counter moving over it,
// every frame whole (as a recorder without a frame optimiser writes them).
Bytes MakeAnimation(int width, int height, int frames)
{
    const int scale = width / 640;
    std::vector<std::vector<std::uint8_t>> pixels(static_cast<std::size_t>(frames));
    GifSaveInfo info;
    info.GlobalColors = true;
    for (int f = 0; f < frames; ++f) {
        std::vector<std::uint8_t> &p = pixels[static_cast<std::size_t>(f)];
        p.resize(4 * static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const int u = x / scale, v = y / scale;  // the 640 x 480 design, drawn larger
                std::uint32_t c = 0x3A6EA5;                                     // desktop
                if (u > 40 && u < 420 && v > 30 && v < 330)
                    c = v < 52 ? 0x0A246A : ((x / 7 + y / 13) % 11 == 0 ? 0x000000 : 0xECE9D8);  // window, its text
                if (u > 200 + 3 * f && u < 260 + 3 * f && v > 300 && v < 360)
                    c = 0xFFFFFF - static_cast<std::uint32_t>(f * 0x050505);  // moving item
                if ((u - 5 * f - 100) * (u - 5 * f - 100) + (v - 2 * f - 80) * (v - 2 * f - 80) < 40)
                    c = 0xFF0000;                                               // pointer
                std::uint8_t *px = &p[4 * (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x))];
                px[0] = static_cast<std::uint8_t>(c), px[1] = static_cast<std::uint8_t>(c >> 8),
                px[2] = static_cast<std::uint8_t>(c >> 16), px[3] = 0;
            }
        GifFrameInput frame;
        frame.Pixels = {p.data(), width, height, 4 * width};
        frame.Delay = 100;
        info.Frames.push_back(frame);
    }
    Bytes file;
    if (!WriteGIFStream(info, file))
        throw std::runtime_error("animation could not be written");
    return file;
}

struct Sample {
    Bytes file;
    std::int64_t pixels = 0;
    GifImage image;
};

const Sample &Get(const std::string &name)
{
    static std::map<std::string, Sample> samples;
    auto it = samples.find(name);
    if (it == samples.end()) {
        Sample s;
        s.file = name == "animation_50f"          ? MakeAnimation(640, 480, 50)
                 : name == "recording_1080p_20f" ? MakeAnimation(1920, 1080, 20)
                                                 : ReadCorpusFile(name);
        if (!ParseGIF(s.file, s.image))
            throw std::runtime_error("cannot read " + name);
        for (const GifFrame &f : s.image.Frames)
            s.pixels += static_cast<std::int64_t>(f.Width) * f.Height;
        it = samples.emplace(name, std::move(s)).first;
    }
    return it->second;
}

void SetPixelRate(benchmark::State &state, std::int64_t pixels)
{
    state.counters["Mpix/s"] =
        benchmark::Counter(static_cast<double>(pixels) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

// Every frame of the file, each kept in a buffer of its own as ReadGIF keeps them.
void DecodeOurs(benchmark::State &state, const std::string &name)
{
    const Sample &s = Get(name);
    ParseOptions everyFrame;
    everyFrame.Limits.MaxFrames = std::numeric_limits<int>::max();
    std::int64_t pixels = 0;
    for (auto _ : state) {
        GifImage image;
        if (!ParseGIF(s.file, image, everyFrame))
            state.SkipWithError("not read");
        pixels = 0;
        for (const GifFrame &f : image.Frames)
            pixels += static_cast<std::int64_t>(f.Width) * f.Height;
    }
    SetPixelRate(state, pixels);
}

// Every frame of the file handed over as it is decoded and dropped, as the player and gif-frames
// take them: the like of a decoder writing into one canvas.
void DecodeOursFrameByFrame(benchmark::State &state, const std::string &name)
{
    const Sample &s = Get(name);
    std::int64_t pixels = 0;
    ParseOptions frameByFrame;
    frameByFrame.Limits.MaxFrames = std::numeric_limits<int>::max();
    frameByFrame.Limits.MaxTotalPixels = std::numeric_limits<std::uint64_t>::max();
    frameByFrame.OnFrame = [&pixels](GifFrame &frame, int) {
        benchmark::DoNotOptimize(frame.Indices.data());
        pixels += static_cast<std::int64_t>(frame.Width) * frame.Height;
        return true;
    };
    std::int64_t decoded = 0;
    for (auto _ : state) {
        pixels = 0;
        GifImage image;
        if (!ParseGIF(s.file, image, frameByFrame))
            state.SkipWithError("not read");
        decoded = pixels;
    }
    SetPixelRate(state, decoded);
}

void DecodeGiflib(benchmark::State &state, const std::string &name)
{
    const Sample &s = Get(name);
    std::int64_t pixels = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(pixels = oracle::DecodeOnly(s.file));
    if (pixels < 0)
        state.SkipWithError("giflib refused the file");
    SetPixelRate(state, pixels);
}

// Wuffs decodes into one canvas: of indices (the like of our work), or of BGRA colours.
void DecodeWuffs(benchmark::State &state, const std::string &name, WuffsTarget target)
{
    const Sample &s = Get(name);
    std::int64_t pixels = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(pixels = WuffsDecodeAll(s.file.data(), s.file.size(), target));
    if (pixels < 0)
        state.SkipWithError("Wuffs refused the file");
    SetPixelRate(state, pixels);
}

// The first frame's indices in stored order, and the table size they use.
struct Indices {
    std::vector<std::uint8_t> values;
    int width = 0, height = 0, colors = 0;
};

Indices FirstFrameIndices(const std::string &name)
{
    const GifFrame &f = Get(name).image.Frames.at(0);
    Indices in{{}, f.Width, f.Height, 1 << (f.PaletteBits == 0 ? 8 : f.PaletteBits)};
    for (int y = 0; y < f.Height; ++y)
        for (int x = 0; x < f.Width; ++x)
            in.values.push_back(f.IndexAt(x, y));
    return in;
}

void EncodeOurs(benchmark::State &state, const std::string &name)
{
    const Indices in = FirstFrameIndices(name);
    std::size_t size = 0;
    for (auto _ : state) {
        Bytes out;
        out.reserve(in.values.size());
        CompressFrame(in.values, in.colors, out);
        size = out.size();
    }
    SetPixelRate(state, static_cast<std::int64_t>(in.values.size()));
    state.counters["bytes"] = static_cast<double>(size);
}

void EncodeGiflib(benchmark::State &state, const std::string &name)
{
    const Indices in = FirstFrameIndices(name);
    std::size_t size = 0;
    // Header, screen descriptor, colour table, image descriptor and trailer around the data.
    const std::size_t overhead = 6 + 7 + 3 * static_cast<std::size_t>(in.colors) + 10 + 1;
    for (auto _ : state)
        size = oracle::CompressIndices(in.width, in.height, in.colors, in.values).size();
    SetPixelRate(state, static_cast<std::int64_t>(in.values.size()));
    state.counters["bytes"] = static_cast<double>(size - overhead);  // image data only, as ours
}

// 32-bit pixels of a frame, and the indices its mapping writes.
struct BgrxFrame {
    std::vector<std::uint8_t> bytes;
    int width = 0, height = 0;
};

// Pixels of `f` in the colours of `colors`, placed at (left, top) of `frame`.
void PaintFrame(BgrxFrame &frame, const GifFrame &f, const ColorTable &colors, int left, int top)
{
    for (int y = 0; y < f.Height && top + y < frame.height; ++y)
        for (int x = 0; x < f.Width && left + x < frame.width; ++x) {
            const std::uint8_t *rgb = &colors[3 * f.IndexAt(x, y)];
            std::uint8_t *px = &frame.bytes[4 * (static_cast<std::size_t>(top + y) * static_cast<std::size_t>(frame.width) +
                                                 static_cast<std::size_t>(left + x))];
            px[0] = rgb[2], px[1] = rgb[1], px[2] = rgb[0], px[3] = 0;
        }
}

// The photo alone (256 colours, few runs), or a 1920 x 1080 screen with the photo in a window
// (the screen's indices drawn in the photo's colours, so 256 colours in all, long runs around it).
BgrxFrame MappingFrame(bool screen)
{
    const GifFrame &photo = Get("photo_1024x768.gif").image.Frames.at(0);
    if (!screen) {
        BgrxFrame frame{std::vector<std::uint8_t>(4 * static_cast<std::size_t>(photo.Width * photo.Height)), photo.Width,
                        photo.Height};
        PaintFrame(frame, photo, photo.Colors, 0, 0);
        return frame;
    }
    const GifFrame &desktop = Get("screen_1920x1080.gif").image.Frames.at(0);
    BgrxFrame frame{std::vector<std::uint8_t>(4 * 1920 * 1080), 1920, 1080};
    PaintFrame(frame, desktop, photo.Colors, 0, 0);
    PaintFrame(frame, photo, photo.Colors, 600, 200);
    return frame;
}

void MapColors(benchmark::State &state, bool screen)
{
    const BgrxFrame frame = MappingFrame(screen);
    const BgrxPixels pixels{frame.bytes.data(), frame.width, frame.height, 4 * frame.width};
    std::vector<std::uint8_t> indices(static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height));
    for (auto _ : state) {
        PaletteBuilder palette;
        int transparent;
        if (!MapFramePixels(pixels, false, -1, palette, indices, transparent) || palette.Count() != 256)
            state.SkipWithError("not a 256-colour frame");
    }
    SetPixelRate(state, static_cast<std::int64_t>(indices.size()));
}

// Every real file of the corpus, and two generated screen recordings.
const char *const DecodeSamples[] = {
    "anim_screencap_20f.gif", "anim_screencap_full_20f.gif", "anim_sprites_20f.gif", "bricks-gray.gif",
    "gifplayer-muybridge.gif", "harvesters.gif", "hibiscus.primitive.gif", "hibiscus.regular.gif",
    "hippopotamus.interlaced.gif", "photo_1024x768.gif", "photo_1024x768_interlaced.gif", "pjw-thumbnail.gif",
    "screen_1920x1080.gif", "animation_50f", "recording_1080p_20f"};
const char *const EncodeSamples[] = {"screen_1920x1080.gif", "photo_1024x768.gif"};

const bool Registered = [] {
    for (const char *name : DecodeSamples) {
        benchmark::RegisterBenchmark((std::string("Decode/ours/") + name).c_str(), DecodeOurs, name)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("Decode/ours-frame-by-frame/") + name).c_str(), DecodeOursFrameByFrame, name)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("Decode/giflib/") + name).c_str(), DecodeGiflib, name)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("Decode/wuffs-indices/") + name).c_str(), DecodeWuffs, name, WuffsIndices)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("Decode/wuffs-bgra/") + name).c_str(), DecodeWuffs, name, WuffsBgra)->Unit(benchmark::kMillisecond);
    }
    for (const char *name : EncodeSamples) {
        benchmark::RegisterBenchmark((std::string("Encode/ours/") + name).c_str(), EncodeOurs, name)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("Encode/giflib/") + name).c_str(), EncodeGiflib, name)->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("MapColors/photo_1024x768_256_colours", MapColors, false)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("MapColors/screen_1920x1080_256_colours", MapColors, true)->Unit(benchmark::kMillisecond);
    return true;
}();

} // namespace
