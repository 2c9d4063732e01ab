#include "GiflibOracle.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace kaptiv::gif::oracle {

namespace {

struct Input {
    std::span<const std::uint8_t> bytes;
    std::size_t pos = 0;
};

int ReadBytes(GifFileType *gif, GifByteType *buf, int len)
{
    auto *in = static_cast<Input *>(gif->UserData);
    const std::size_t n = std::min(static_cast<std::size_t>(len), in->bytes.size() - in->pos);
    std::memcpy(buf, in->bytes.data() + in->pos, n);
    in->pos += n;
    return static_cast<int>(n);
}

int WriteBytes(GifFileType *gif, const GifByteType *buf, int len)
{
    auto *out = static_cast<std::vector<std::uint8_t> *>(gif->UserData);
    out->insert(out->end(), buf, buf + len);
    return len;
}

struct CloseReader {
    void operator()(GifFileType *gif) const { DGifCloseFile(gif, nullptr); }
};
struct CloseWriter {
    void operator()(GifFileType *gif) const { EGifCloseFile(gif, nullptr); }
};
using Reader = std::unique_ptr<GifFileType, CloseReader>;
using Writer = std::unique_ptr<GifFileType, CloseWriter>;

struct MapDeleter {
    void operator()(ColorMapObject *map) const { GifFreeMapObject(map); }
};
using Map = std::unique_ptr<ColorMapObject, MapDeleter>;

Map MakeMap(const std::vector<std::uint32_t> &table)
{
    if (table.empty())
        return nullptr;
    std::vector<GifColorType> colors(table.size());
    for (std::size_t i = 0; i < table.size(); ++i)
        colors[i] = {static_cast<GifByteType>(table[i] >> 16), static_cast<GifByteType>(table[i] >> 8),
                     static_cast<GifByteType>(table[i])};
    return Map(GifMakeMapObject(static_cast<int>(table.size()), colors.data()));
}

void Check(int result, const char *what)
{
    if (result != GIF_OK)
        throw std::runtime_error(what);
}

std::vector<int> StoredRows(int height, bool interlaced)
{
    std::vector<int> rows;
    if (!interlaced) {
        for (int y = 0; y < height; ++y)
            rows.push_back(y);
        return rows;
    }
    static constexpr int Start[] = {0, 4, 2, 1}, Step[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = Start[pass]; y < height; y += Step[pass])
            rows.push_back(y);
    return rows;
}

// The loop count of a "NETSCAPE2.0" application block and its sub-block {1, low, high}.
int LoopCountIn(const ExtensionBlock *blocks, int count)
{
    for (int b = 0; b + 1 < count; ++b)
        if (blocks[b].Function == APPLICATION_EXT_FUNC_CODE && blocks[b].ByteCount == 11
            && std::memcmp(blocks[b].Bytes, "NETSCAPE2.0", 11) == 0 && blocks[b + 1].ByteCount >= 3
            && blocks[b + 1].Bytes[0] == 1)
            return blocks[b + 1].Bytes[1] | blocks[b + 1].Bytes[2] << 8;
    return -1;
}

} // namespace

std::optional<Image> Read(std::span<const std::uint8_t> file)
{
    Input input{file};
    int error = 0;
    Reader gif(DGifOpen(&input, ReadBytes, &error));
    if (!gif || DGifSlurp(gif.get()) != GIF_OK)
        return std::nullopt;
    Image image;
    image.screenWidth = gif->SWidth;
    image.screenHeight = gif->SHeight;
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage &saved = gif->SavedImages[i];
        Frame f;
        f.left = saved.ImageDesc.Left;
        f.top = saved.ImageDesc.Top;
        f.width = saved.ImageDesc.Width;
        f.height = saved.ImageDesc.Height;
        f.interlaced = saved.ImageDesc.Interlace;
        const ColorMapObject *map = saved.ImageDesc.ColorMap ? saved.ImageDesc.ColorMap : gif->SColorMap;
        f.hasLocalTable = saved.ImageDesc.ColorMap != nullptr;
        for (int c = 0; map && c < map->ColorCount; ++c)
            f.colors.insert(f.colors.end(), {map->Colors[c].Red, map->Colors[c].Green, map->Colors[c].Blue});
        const std::size_t count = static_cast<std::size_t>(f.width) * static_cast<std::size_t>(f.height);
        if (saved.RasterBits)
            f.pixels.assign(saved.RasterBits, saved.RasterBits + count);
        GraphicsControlBlock gcb;
        if (DGifSavedExtensionToGCB(gif.get(), i, &gcb) == GIF_OK) {
            f.disposal = gcb.DisposalMode;
            f.delay = gcb.DelayTime;
            f.transparentIndex = gcb.TransparentColor;
        }
        image.frames.push_back(std::move(f));
        if (image.loopCount < 0)
            image.loopCount = LoopCountIn(saved.ExtensionBlocks, saved.ExtensionBlockCount);
    }
    return image;
}

std::int64_t DecodeOnly(std::span<const std::uint8_t> file)
{
    Input input{file};
    int error = 0;
    Reader gif(DGifOpen(&input, ReadBytes, &error));
    if (!gif || DGifSlurp(gif.get()) != GIF_OK)
        return -1;
    std::int64_t pixels = 0;
    for (int i = 0; i < gif->ImageCount; ++i)
        pixels += std::int64_t{gif->SavedImages[i].ImageDesc.Width} * gif->SavedImages[i].ImageDesc.Height;
    return pixels;
}

std::vector<std::uint8_t> Write(int screenWidth, int screenHeight, const std::vector<std::uint32_t> &globalTable,
                                const std::vector<FrameToWrite> &frames)
{
    std::vector<std::uint8_t> out;
    int error = 0;
    Writer gif(EGifOpen(&out, WriteBytes, &error));
    EGifSetGifVersion(gif.get(), true);
    Map global = MakeMap(globalTable);
    Check(EGifPutScreenDesc(gif.get(), screenWidth, screenHeight, 8, 0, global.get()), "screen");
    for (const FrameToWrite &f : frames) {
        GraphicsControlBlock gcb{f.disposal, false, f.delay, f.transparentIndex};
        GifByteType extension[4];
        EGifGCBToExtension(&gcb, extension);
        Check(EGifPutExtension(gif.get(), GRAPHICS_EXT_FUNC_CODE, 4, extension), "control");
        Map local = MakeMap(f.localTable);
        if (!local && gif->Image.ColorMap) {
            // giflib forgets, rather than frees, the previous frame's copy of its local table.
            GifFreeMapObject(gif->Image.ColorMap);
            gif->Image.ColorMap = nullptr;
        }
        Check(EGifPutImageDesc(gif.get(), f.left, f.top, f.width, f.height, f.interlaced, local.get()), "descriptor");
        std::vector<GifPixelType> row(static_cast<std::size_t>(f.width));
        for (int y : StoredRows(f.height, f.interlaced)) {
            std::memcpy(row.data(), f.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(f.width), row.size());
            Check(EGifPutLine(gif.get(), row.data(), f.width), "line");
        }
    }
    gif.reset();
    return out;
}

std::vector<std::uint8_t> CompressIndices(int width, int height, int tableSize, std::span<const std::uint8_t> indices)
{
    std::vector<std::uint8_t> out;
    int error = 0;
    Writer gif(EGifOpen(&out, WriteBytes, &error));
    std::vector<std::uint32_t> table(static_cast<std::size_t>(tableSize));
    Map map = MakeMap(table);
    Check(EGifPutScreenDesc(gif.get(), width, height, 8, 0, map.get()), "screen");
    Check(EGifPutImageDesc(gif.get(), 0, 0, width, height, false, nullptr), "descriptor");
    Check(EGifPutLine(gif.get(), const_cast<GifPixelType *>(indices.data()), width * height), "line");
    gif.reset();
    return out;
}

std::vector<std::vector<std::uint32_t>> Composed(const Image &image, std::uint32_t background)
{
    const int width = image.screenWidth, height = image.screenHeight;
    std::vector<std::uint32_t> canvas(std::size_t(width) * std::size_t(height), background);
    std::vector<std::vector<std::uint32_t>> shown;
    for (const Frame &f : image.frames) {
        const std::vector<std::uint32_t> before = canvas;
        const int top = std::max(f.top, 0), bottom = std::min(f.top + f.height, height);
        const int left = std::max(f.left, 0), right = std::min(f.left + f.width, width);
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) {
                const int index = f.pixels[std::size_t(y - f.top) * std::size_t(f.width) + std::size_t(x - f.left)];
                if (index == f.transparentIndex)
                    continue;
                const std::size_t c = 3 * std::size_t(index);
                canvas[std::size_t(y) * std::size_t(width) + std::size_t(x)] = c + 2 < f.colors.size()
                    ? std::uint32_t{f.colors[c]} << 16 | std::uint32_t{f.colors[c + 1]} << 8 | f.colors[c + 2]
                    : 0;
            }
        shown.push_back(canvas);
        if (f.disposal == 2) {
            for (int y = top; y < bottom; ++y)
                std::fill_n(canvas.begin() + std::ptrdiff_t(y) * width + left, std::max(right - left, 0), background);
        } else if (f.disposal == 3) {
            canvas = before;
        }
    }
    return shown;
}

} // namespace kaptiv::gif::oracle
