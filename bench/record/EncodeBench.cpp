// The recording's encoder alone, on a recording already made: every frame of GIF file is drawn
// as a viewer shows it and handed to the encoder as a grabbed frame would be, one due time
// apart. Prints the encoder's time a frame and the size of what it writes, so ways of encoding
// can be compared on the same frames, without the screen's timing in the way.
//   record_encode_bench RECORDING.gif [OUT.gif]
#include "gif/core/GifReader.h"
#include "record/FrameEncoder.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

using namespace kaptiv;

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: record_encode_bench RECORDING.gif [OUT.gif]\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    gif::GifImage header;
    gif::ParseOptions probe;
    probe.DecodePixels = false;
    probe.Limits.MaxFrames = 1 << 30;
    if (!gif::ParseGIF(bytes, header, probe)) {
        std::fprintf(stderr, "record_encode_bench: cannot read %s\n", argv[1]);
        return 1;
    }
    const int width = header.ImageWidth, height = header.ImageHeight;
    std::vector<std::uint32_t> canvas(std::size_t(width) * std::size_t(height), 0);
    record::FrameEncoder encoder(width, height, 30, record::ColorMode::Adaptive, true);
    std::vector<std::uint8_t> out;
    encoder.begin(out);
    std::chrono::nanoseconds spent{0};
    std::int64_t index = 0;
    gif::ParseOptions options;
    options.Limits.MaxFrames = 1 << 30;
    options.Limits.MaxTotalPixels = ~std::uint64_t{0};
    options.OnFrame = [&](gif::GifFrame &f, int) {
        for (int y = 0; y < f.Height && f.Top + y < height; ++y)
            for (int x = 0; x < f.Width && f.Left + x < width; ++x) {
                const int i = f.IndexAt(x, y);
                if (f.Transparent && i == f.TransparentIndex)
                    continue;
                const std::uint8_t *c = &f.Colors[3 * std::size_t(i)];
                canvas[std::size_t(f.Top + y) * width + f.Left + x] = std::uint32_t(c[0]) << 16 | c[1] << 8 | c[2];
            }
        const auto start = std::chrono::steady_clock::now();
        encoder.add(canvas.data(), index++, out);
        spent += std::chrono::steady_clock::now() - start;
        return true;
    };
    gif::GifImage image;
    gif::ReadGIF(bytes, image, options);
    const auto start = std::chrono::steady_clock::now();
    encoder.finish(index, out);
    spent += std::chrono::steady_clock::now() - start;
    std::printf("%lld frames in, %d written, %.2f ms a frame, %zu bytes\n", static_cast<long long>(index),
                encoder.framesWritten(), std::chrono::duration<double, std::milli>(spent).count() / double(index ? index : 1),
                out.size());
    if (argc > 2)
        std::ofstream(argv[2], std::ios::binary).write(reinterpret_cast<const char *>(out.data()), std::streamsize(out.size()));
    return 0;
}
