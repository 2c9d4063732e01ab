// The recording's encoder alone, on a recording already made: every frame of GIF file is drawn
// as a viewer shows it and handed to the encoder as a grabbed frame would be, one due time
// apart. Prints the encoder's time a frame and the size of what it writes, so ways of encoding
// can be compared on the same frames, without the screen's timing in the way, and where the
// bytes of what it wrote go: the area of the changed rectangles, the share of it left transparent,
// the bits a pixel of it took, and the colour tables' sizes.
//   record_encode_bench [--fast] RECORDING.gif [OUT.gif]
// --fast compresses as CompressFrame does, clearing a full string table at once.
#include "gif/core/GifReader.h"
#include "record/FrameEncoder.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string_view>
#include <vector>

using namespace kaptiv;

int main(int argc, char **argv)
{
    const bool fast = argc > 1 && std::string_view(argv[1]) == "--fast";
    argc -= fast;
    argv += fast;
    if (argc < 2) {
        std::fprintf(stderr, "usage: record_encode_bench [--fast] RECORDING.gif [OUT.gif]\n");
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
    if (fast)
        encoder.setCoding(gif::LzwCoding::Fast);
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
    // Where the bytes went: the written file read back frame by frame.
    std::uint64_t area = 0, transparent = 0, imageBytes = 0, tableBytes = 0;
    std::size_t lastOffset = 0;
    int frames = 0, lastTableBits = 0;
    const auto account = [&](std::size_t offset) {
        if (frames > 0) {
            const std::uint64_t bytes = offset - lastOffset;
            imageBytes += bytes;
            tableBytes += 3u << lastTableBits;
        }
    };
    gif::ParseOptions back;
    back.Limits = options.Limits;
    back.OnFrame = [&](gif::GifFrame &f, int) {
        account(f.Offset);
        lastOffset = f.Offset;
        lastTableBits = f.HasLocalColors ? f.LocalBits : 0;
        area += std::uint64_t(f.Width) * std::uint64_t(f.Height);
        if (f.Transparent && !f.Mask.empty())
            for (int y = 0; y < f.Height; ++y)
                for (int x = 0; x < f.Width; ++x)
                    transparent += f.MaskAt(x, y);
        ++frames;
        return true;
    };
    gif::GifImage written;
    gif::ReadGIF(out, written, back);
    account(out.size() - 1);
    std::printf("%d images: %.0f pixels an image in the changed rectangle, %.1f%% of them transparent; "
                "%.0f bytes an image (%.0f of colour tables), %.3f bits a pixel of rectangle\n",
                frames, double(area) / frames, 100.0 * double(transparent) / double(area ? area : 1),
                double(imageBytes) / frames, double(tableBytes) / frames, 8.0 * double(imageBytes) / double(area ? area : 1));
    if (argc > 2)
        std::ofstream(argv[2], std::ios::binary).write(reinterpret_cast<const char *>(out.data()), std::streamsize(out.size()));
    return 0;
}
