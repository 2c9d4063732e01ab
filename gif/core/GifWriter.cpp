#include "gif/core/GifWriter.h"

#include "gif/core/LzwEncoder.h"

#include <algorithm>
#include <cstdlib>

namespace kaptiv::gif {

namespace {

constexpr int MaxField = 65535;

void PutWord(std::vector<std::uint8_t> &s, int value)
{
    s.push_back(static_cast<std::uint8_t>(value));
    s.push_back(static_cast<std::uint8_t>(value >> 8));
}

int FieldValue(int value) { return std::clamp(value, 0, MaxField); }

void PutColorTable(std::vector<std::uint8_t> &s, const PaletteBuilder &palette)
{
    const int entries = 1 << ColorBits(palette.Count());
    s.insert(s.end(), palette.Table().begin(), palette.Table().begin() + 3 * entries);
}

void PutLoopingBlock(std::vector<std::uint8_t> &s, std::uint16_t loop)
{
    static constexpr char Identifier[] = "NETSCAPE2.0";
    s.insert(s.end(), {0x21, 0xFF, 0x0B});
    s.insert(s.end(), Identifier, Identifier + 11);
    s.insert(s.end(), {0x03, 0x01});
    PutWord(s, loop);
    s.push_back(0x00);
}

void PutGraphicControl(std::vector<std::uint8_t> &s, const GifFrameInput &frame, int transparentIndex)
{
    const bool transparent = frame.Transparent && transparentIndex != NoTransparentIndex;
    const int disposal = frame.Disposal >= 0 && frame.Disposal <= 3 ? frame.Disposal : 0;
    s.insert(s.end(), {0x21, 0xF9, 0x04, static_cast<std::uint8_t>(disposal << 2 | (transparent ? 1 : 0))});
    PutWord(s, FieldValue(frame.Delay / 10));
    s.push_back(transparent ? static_cast<std::uint8_t>(transparentIndex) : 0);
    s.push_back(0x00);
}

void PutImageDescriptor(std::vector<std::uint8_t> &s, const GifFrameInput &frame, std::uint8_t packed)
{
    s.push_back(0x2C);
    PutWord(s, FieldValue(frame.Left));
    PutWord(s, FieldValue(frame.Top));
    PutWord(s, frame.Pixels.Width);
    PutWord(s, frame.Pixels.Height);
    s.push_back(static_cast<std::uint8_t>(packed | (frame.Interlaced ? 0x40 : 0)));
}

bool Writable(const GifFrameInput &frame)
{
    const BgrxPixels &p = frame.Pixels;
    return p.Width >= 0 && p.Height >= 0 && p.Width <= MaxField && p.Height <= MaxField;
}

} // namespace

bool ReadFramePixels(const GifFrameInput &frame, PaletteBuilder &palette, std::span<std::uint8_t> indices,
                     int &transparentIndex)
{
    const BgrxPixels &p = frame.Pixels;
    const bool empty = p.Width == 0 || p.Height == 0;
    if (!empty && (!p.Data || std::abs(p.Stride) < 4 * static_cast<std::ptrdiff_t>(p.Width)))
        return false;
    return MapFramePixels(p, frame.Interlaced, frame.TransparentColor, palette, indices, transparentIndex);
}

void WriteComment(std::string_view text, std::vector<std::uint8_t> &stream)
{
    if (text.empty())
        return;
    stream.insert(stream.end(), {0x21, 0xFE});
    while (!text.empty()) {
        const std::size_t n = std::min<std::size_t>(text.size(), 255);
        stream.push_back(static_cast<std::uint8_t>(n));
        stream.insert(stream.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
        text.remove_prefix(n);
    }
    stream.push_back(0x00);
}

bool WriteGIFStream(GifSaveInfo &info, std::vector<std::uint8_t> &stream)
{
    const int count = info.Count();
    if (count == 0 || !std::all_of(info.Frames.begin(), info.Frames.end(), Writable))
        return false;
    static constexpr char Header[] = "GIF89a";
    stream.insert(stream.end(), Header, Header + 6);

    // Every frame is mapped before anything else is written, so a table shared by all frames
    // is complete when it goes out as the global table.
    PaletteBuilder palette;
    std::vector<std::vector<std::uint8_t>> indices(static_cast<std::size_t>(count));
    std::vector<int> transparentIndex(static_cast<std::size_t>(count), NoTransparentIndex);
    for (int i = 0; i < count; ++i) {
        const GifFrameInput &frame = info.Frames[static_cast<std::size_t>(i)];
        indices[i].resize(static_cast<std::size_t>(frame.Pixels.Width) * static_cast<std::size_t>(frame.Pixels.Height));
        if (!(info.GlobalColors || i == 0))
            continue;
        if (!ReadFramePixels(frame, palette, indices[i], transparentIndex[i])) {
            if (info.GlobalColors && palette.Count() > PaletteBuilder::MaxColors && i > 0)
                info.GlobalColors = false;  // from here on every frame gets its own table
            else
                return false;
        }
    }
    const bool localTables = count > 1 && !info.GlobalColors;

    int screenWidth = 0, screenHeight = 0;
    for (const GifFrameInput &frame : info.Frames) {
        screenWidth = std::max(screenWidth, FieldValue(frame.Left) + frame.Pixels.Width);
        screenHeight = std::max(screenHeight, FieldValue(frame.Top) + frame.Pixels.Height);
    }
    PutWord(stream, std::min(screenWidth, MaxField));
    PutWord(stream, std::min(screenHeight, MaxField));
    stream.push_back(localTables ? 0 : static_cast<std::uint8_t>(0x80 | (ColorBits(palette.Count()) - 1)));
    stream.insert(stream.end(), {0, 0});
    if (!localTables)
        PutColorTable(stream, palette);
    if (count > 1)
        PutLoopingBlock(stream, info.Loop);

    for (int i = 0; i < count; ++i) {
        const GifFrameInput &frame = info.Frames[static_cast<std::size_t>(i)];
        if (localTables) {
            palette.Clear();
            if (!ReadFramePixels(frame, palette, indices[i], transparentIndex[i]))
                return false;
        }
        WriteComment(frame.Comment, stream);
        PutGraphicControl(stream, frame, transparentIndex[i]);
        PutImageDescriptor(stream, frame,
                           localTables ? static_cast<std::uint8_t>(0x80 | (ColorBits(palette.Count()) - 1)) : 0);
        if (localTables)
            PutColorTable(stream, palette);
        CompressFrame(indices[i], palette.Count(), stream);
    }
    WriteComment(CreditText, stream);
    stream.push_back(0x3B);
    return true;
}

} // namespace kaptiv::gif
