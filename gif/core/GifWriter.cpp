#include "gif/core/GifWriter.h"

#include "gif/core/FrameOptimizer.h"
#include "gif/core/LzwEncoder.h"
#include "gif/core/RowOrder.h"

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

void PutLoopingBlock(std::vector<std::uint8_t> &s, std::uint16_t loop)
{
    static constexpr char Identifier[] = "NETSCAPE2.0";
    s.insert(s.end(), {0x21, 0xFF, 0x0B});
    s.insert(s.end(), Identifier, Identifier + 11);
    s.insert(s.end(), {0x03, 0x01});
    PutWord(s, loop);
    s.push_back(0x00);
}

void PutColorTable(std::vector<std::uint8_t> &s, const ColorTable &table, int count)
{
    const int entries = 1 << ColorBits(count);
    s.insert(s.end(), table.begin(), table.begin() + 3 * entries);
}

void PutGraphicControl(std::vector<std::uint8_t> &s, const GifIndexedFrame &frame)
{
    const bool transparent = frame.TransparentIndex != NoTransparentIndex;
    const int disposal = frame.Disposal >= 0 && frame.Disposal <= 3 ? frame.Disposal : 0;
    s.insert(s.end(), {0x21, 0xF9, 0x04, static_cast<std::uint8_t>(disposal << 2 | (transparent ? 1 : 0))});
    PutWord(s, FieldValue(frame.Delay));
    s.push_back(transparent ? static_cast<std::uint8_t>(frame.TransparentIndex) : 0);
    s.push_back(0x00);
}

void PutImageDescriptor(std::vector<std::uint8_t> &s, const GifIndexedFrame &frame)
{
    s.push_back(0x2C);
    PutWord(s, FieldValue(frame.Left));
    PutWord(s, FieldValue(frame.Top));
    PutWord(s, frame.Width);
    PutWord(s, frame.Height);
    const std::uint8_t table =
        frame.LocalColors ? static_cast<std::uint8_t>(0x80 | (ColorBits(frame.LocalCount) - 1)) : 0;
    s.push_back(static_cast<std::uint8_t>(table | (frame.Interlaced ? 0x40 : 0)));
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
    if (!empty && !p.FillRow && (!p.Data || std::abs(p.Stride) < 4 * static_cast<std::ptrdiff_t>(p.Width)))
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

void CompressIndexedFrame(const GifIndexedFrame &frame, int colorCount, std::vector<std::uint8_t> &out,
                          std::vector<std::uint8_t> &scratch, LzwCoding coding)
{
    const auto compress = [coding](std::span<const std::uint8_t> indices, int colors, std::vector<std::uint8_t> &data) {
        CompressFrameWith(coding, indices, colors, data);
    };
    const std::size_t pixels = static_cast<std::size_t>(frame.Width) * static_cast<std::size_t>(frame.Height);
    if (!frame.Interlaced) {
        compress(frame.Indices.first(pixels), colorCount, out);
        return;
    }
    scratch.resize(pixels);
    const RowOrder rows(frame.Height, true);
    const auto width = static_cast<std::size_t>(frame.Width);
    for (int n = 0; n < frame.Height; ++n)
        std::copy_n(frame.Indices.begin() + static_cast<std::ptrdiff_t>(rows.RowAt(n) * width), width,
                    scratch.begin() + static_cast<std::ptrdiff_t>(n * width));
    compress(scratch, colorCount, out);
}

GifStreamWriter::GifStreamWriter(std::vector<std::uint8_t> &out)
    : out_(out), scratch_(std::make_unique<PaletteBuilder>())
{
}

GifStreamWriter::~GifStreamWriter() = default;

void GifStreamWriter::Begin(const GifStreamStart &start)
{
    static constexpr char Header[] = "GIF89a";
    out_.insert(out_.end(), Header, Header + 6);
    PutWord(out_, FieldValue(start.Width));
    PutWord(out_, FieldValue(start.Height));
    if (start.SharedColors) {
        shared_ = std::make_unique<PaletteBuilder>(*start.SharedColors);
        sharedCount_ = shared_->Count();
        out_.push_back(static_cast<std::uint8_t>(0x80 | (ColorBits(sharedCount_) - 1)));
    } else {
        out_.push_back(0);
    }
    out_.insert(out_.end(), {0, 0});
    if (shared_)
        PutColorTable(out_, shared_->Table(), sharedCount_);
    if (start.Looping)
        PutLoopingBlock(out_, start.Loop);
    coding_ = start.Coding;
    if (start.Optimize)
        optimizer_ = std::make_unique<FrameOptimizer>(
            FieldValue(start.Width), FieldValue(start.Height), shared_ ? &shared_->Table() : nullptr, sharedCount_,
            [this](const GifIndexedFrame &frame, std::span<const std::uint8_t> data) { PutEncoded(frame, data); });
}

bool GifStreamWriter::AddFrame(const GifFrameInput &frame)
{
    if (!Writable(frame))
        return false;
    const BgrxPixels &p = frame.Pixels;
    indices_.resize(static_cast<std::size_t>(p.Width) * static_cast<std::size_t>(p.Height));
    int transparentIndex = NoTransparentIndex;
    PaletteBuilder &palette = shared_ ? *shared_ : *scratch_;
    if (!shared_)
        palette.Clear();
    if (!ReadFramePixels(frame, palette, indices_, transparentIndex) || (shared_ && palette.Count() != sharedCount_)) {
        if (shared_)
            shared_->Truncate(sharedCount_);  // the table written stays the one frames map to
        return false;
    }
    GifIndexedFrame indexed;
    indexed.Left = frame.Left;
    indexed.Top = frame.Top;
    indexed.Width = p.Width;
    indexed.Height = p.Height;
    indexed.Indices = indices_;
    if (!shared_) {
        indexed.LocalColors = &palette.Table();
        indexed.LocalCount = palette.Count();
    }
    indexed.TransparentIndex = frame.Transparent ? transparentIndex : NoTransparentIndex;
    indexed.Disposal = frame.Disposal;
    indexed.Delay = FieldValue(frame.Delay / 10);
    indexed.Interlaced = frame.Interlaced;
    indexed.Comment = frame.Comment;
    if (optimizer_) {
        // The indices came in stored order; the optimiser compares pictures row by row.
        if (frame.Interlaced) {
            ordered_.resize(indices_.size());
            const RowOrder rows(p.Height, true);
            const auto width = static_cast<std::size_t>(p.Width);
            for (int n = 0; n < p.Height; ++n)
                std::copy_n(indices_.begin() + static_cast<std::ptrdiff_t>(n * width), width,
                            ordered_.begin() + static_cast<std::ptrdiff_t>(rows.RowAt(n) * width));
            indexed.Indices = ordered_;
        }
        optimizer_->Add(indexed);
        return true;
    }
    PutEncoded(indexed, {});
    CompressFrameWith(coding_, indices_, palette.Count(), out_);
    return true;
}

bool GifStreamWriter::AddIndexedFrame(const GifIndexedFrame &frame)
{
    const std::size_t pixels = static_cast<std::size_t>(std::max(frame.Width, 0)) *
                               static_cast<std::size_t>(std::max(frame.Height, 0));
    if (frame.Width < 0 || frame.Height < 0 || frame.Width > MaxField || frame.Height > MaxField ||
        frame.Indices.size() < pixels || (!frame.LocalColors && !shared_))
        return false;
    if (optimizer_) {
        optimizer_->Add(frame);
        return true;
    }
    std::vector<std::uint8_t> data;
    CompressIndexedFrame(frame, frame.LocalColors ? frame.LocalCount : sharedCount_, data, ordered_, coding_);
    PutEncoded(frame, data);
    return true;
}

void GifStreamWriter::PutEncoded(const GifIndexedFrame &frame, std::span<const std::uint8_t> imageData)
{
    WriteComment(frame.Comment, out_);
    PutGraphicControl(out_, frame);
    PutImageDescriptor(out_, frame);
    if (frame.LocalColors)
        PutColorTable(out_, *frame.LocalColors, frame.LocalCount);
    out_.insert(out_.end(), imageData.begin(), imageData.end());
}

void GifStreamWriter::Finish()
{
    if (optimizer_)
        optimizer_->Finish();
    WriteComment(CreditText, out_);
    out_.push_back(0x3B);
}

bool WriteGIFStream(GifSaveInfo &info, std::vector<std::uint8_t> &stream)
{
    const int count = info.Count();
    if (count == 0 || !std::all_of(info.Frames.begin(), info.Frames.end(), Writable))
        return false;

    // The shared table must be complete when it goes out at the start, so every frame's colours
    // are gathered first; the frames are mapped to it again as they are written.
    PaletteBuilder palette;
    std::vector<std::uint8_t> scratch;
    for (int i = 0; i < count; ++i) {
        if (!(info.GlobalColors || i == 0))
            break;
        const GifFrameInput &frame = info.Frames[static_cast<std::size_t>(i)];
        scratch.resize(static_cast<std::size_t>(frame.Pixels.Width) * static_cast<std::size_t>(frame.Pixels.Height));
        int transparentIndex = NoTransparentIndex;
        if (!ReadFramePixels(frame, palette, scratch, transparentIndex)) {
            if (info.GlobalColors && palette.Count() > PaletteBuilder::MaxColors && i > 0)
                info.GlobalColors = false;  // from here on every frame gets its own table
            else
                return false;
        }
    }
    scratch = {};
    const bool localTables = count > 1 && !info.GlobalColors;

    GifStreamStart start;
    for (const GifFrameInput &frame : info.Frames) {
        start.Width = std::max(start.Width, FieldValue(frame.Left) + frame.Pixels.Width);
        start.Height = std::max(start.Height, FieldValue(frame.Top) + frame.Pixels.Height);
    }
    start.SharedColors = localTables ? nullptr : &palette;
    start.Looping = count > 1;
    start.Loop = info.Loop;
    start.Optimize = info.Optimize;
    GifStreamWriter writer(stream);
    writer.Begin(start);
    for (const GifFrameInput &frame : info.Frames)
        if (!writer.AddFrame(frame))
            return false;
    writer.Finish();
    return true;
}

} // namespace kaptiv::gif
