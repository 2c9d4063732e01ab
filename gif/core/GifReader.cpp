#include "gif/core/GifReader.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace kaptiv::gif {

namespace {

constexpr std::uint8_t ExtensionIntroducer = 0x21;
constexpr std::uint8_t ImageIntroducer = 0x2C;
constexpr std::uint8_t Trailer = 0x3B;
constexpr std::uint8_t PlainTextLabel = 0x01;
constexpr std::uint8_t ControlLabel = 0xF9;
constexpr std::uint8_t CommentLabel = 0xFE;
constexpr std::uint8_t ApplicationLabel = 0xFF;

constexpr std::size_t HeaderSize = 6;
constexpr std::size_t ScreenDescriptorSize = 7;
constexpr std::size_t ImageDescriptorSize = 10;
constexpr std::size_t ControlExtensionSize = 8;
constexpr std::size_t LoopingBlockSize = 19;

int Word(const std::uint8_t *p) { return p[0] | (p[1] << 8); }

bool Has(std::span<const std::uint8_t> file, std::size_t pos, std::size_t count)
{
    return pos <= file.size() && count <= file.size() - pos;
}

// A block with a size byte, the bytes it counts, then sub-blocks (plain text, application).
void SkipSizedBlock(std::span<const std::uint8_t> file, std::size_t &pos)
{
    if (pos >= file.size()) {
        pos = file.size();
        return;
    }
    const std::size_t size = file[pos++];
    pos = Has(file, pos, size) ? pos + size : file.size();
    SkipSubBlocks(file, pos);
}

std::string ReadSubBlockText(std::span<const std::uint8_t> file, std::size_t &pos)
{
    std::string text;
    while (pos < file.size()) {
        const std::size_t count = file[pos++];
        if (count == 0)
            break;
        const std::size_t taken = std::min(count, file.size() - pos);
        text.append(reinterpret_cast<const char *>(file.data() + pos), taken);
        pos += taken;
    }
    return text;
}

bool IsLoopingBlock(std::span<const std::uint8_t> file, std::size_t pos)
{
    return Has(file, pos, 14) && std::memcmp(file.data() + pos + 3, "NETSCAPE", 8) == 0 &&
           std::memcmp(file.data() + pos + 11, "2.0", 3) == 0;
}

// The reading of one file: the block loop and the facts it gathers.
class Parser {
public:
    Parser(std::span<const std::uint8_t> file, GifImage &image, const ParseOptions &options)
        : file_(file), image_(image), options_(options),
          pixelsAllowed_(options.Limits.MaxTotalPixels)
    {
    }

    bool Run()
    {
        if (file_.size() < 3 || std::memcmp(file_.data(), "GIF", 3) != 0)
            return false;
        if (!Has(file_, 0, HeaderSize + ScreenDescriptorSize))
            return false;
        const std::uint8_t *screen = file_.data() + HeaderSize;
        pos_ = HeaderSize + ScreenDescriptorSize;
        if (screen[4] & 0x80) {
            image_.ColorDepth = (screen[4] & 7) + 1;
            const std::size_t tableBytes = std::size_t{3} << image_.ColorDepth;
            if (!Has(file_, pos_, tableBytes))
                return false;
            std::memcpy(image_.GlobalTable.data(), file_.data() + pos_, tableBytes);
            pos_ += tableBytes;
        }
        if (!ReadBlocks() || !Report(pos_))
            return false;
        image_.ImageWidth = Word(screen);
        image_.ImageHeight = Word(screen + 2);
        for (const GifFrame &frame : image_.Frames) {
            image_.ImageWidth = std::max(image_.ImageWidth, frame.Left + frame.Width);
            image_.ImageHeight = std::max(image_.ImageHeight, frame.Top + frame.Height);
        }
        image_.IsAnimated = image_.FrameCount() > 1;
        return true;
    }

private:
    // False when the load was abandoned.
    bool ReadBlocks()
    {
        for (;;) {
            if (!Report(pos_))
                return false;
            const std::size_t start = pos_;
            if (pos_ >= file_.size())
                return true;
            switch (file_[pos_]) {
            case ExtensionIntroducer:
                ReadExtension();
                break;
            case ImageIntroducer: {
                if (image_.FrameCount() == MaxFrames)
                    return true;
                const ImageRead read = ReadFrame();
                if (read == ImageRead::Abandoned)
                    return false;
                if (read != ImageRead::Read)
                    return true;
                break;
            }
            case Trailer:
                pos_ = file_.size();
                return true;
            default:
                break;
            }
            if (pos_ == start)
                return true;
        }
    }

    void ReadExtension()
    {
        if (!Has(file_, pos_, 2)) {
            pos_ = file_.size();
            return;
        }
        switch (file_[pos_ + 1]) {
        case PlainTextLabel:
            pos_ += 2;
            SkipSizedBlock(file_, pos_);
            break;
        case ControlLabel:
            if (!Has(file_, pos_, ControlExtensionSize)) {
                pos_ = file_.size();
                break;
            }
            std::memcpy(pendingControl_.data(), file_.data() + pos_ + 2, pendingControl_.size());
            pos_ += ControlExtensionSize;
            break;
        case CommentLabel:
            pos_ += 2;
            pendingComment_ = ReadSubBlockText(file_, pos_);
            break;
        case ApplicationLabel:
            if (IsLoopingBlock(file_, pos_)) {
                // The loop count sits at a fixed place; the sub-block framing is not examined.
                if (Has(file_, pos_, LoopingBlockSize)) {
                    image_.LoopCount = Word(file_.data() + pos_ + 16);
                    pos_ += LoopingBlockSize;
                } else {
                    pos_ = file_.size();
                }
            } else {
                pos_ += 2;
                SkipSizedBlock(file_, pos_);
            }
            break;
        default:
            break;  // an unknown label ends the blocks
        }
    }

    ImageRead ReadFrame()
    {
        GifFrame frame;
        ImageContext context{image_.GlobalTable, image_.ColorDepth, pendingControl_,
                             std::min(options_.Limits.MaxFramePixels, pixelsAllowed_), {}};
        if (options_.OnProgress)
            context.Progress = [this](std::size_t pos) { return Report(pos); };
        const ImageRead read = ReadImage(file_, pos_, context, frame);
        if (read != ImageRead::Read)
            return read;
        pixelsAllowed_ -= static_cast<std::uint64_t>(frame.Width) * static_cast<std::uint64_t>(frame.Height);
        image_.ColorDepth = std::max(image_.ColorDepth, frame.LocalBits);
        image_.IsTransparent = image_.IsTransparent || frame.Transparent;
        frame.Comment = std::move(pendingComment_);
        pendingComment_.clear();
        pendingControl_ = {};
        image_.Frames.push_back(std::move(frame));
        return read;
    }

    // Tells the handler how far the reading is; false when it asks to stop.
    bool Report(std::size_t pos) const
    {
        if (!options_.OnProgress)
            return true;
        const auto total = static_cast<std::int64_t>(file_.size());
        const auto done = static_cast<std::int64_t>(pos);
        Progress progress;
        progress.BytesProcessed = static_cast<std::int32_t>(done);
        progress.BytesToProcess = static_cast<std::int32_t>(total);
        progress.PercentageProcessed = static_cast<std::int32_t>((100 * done + total / 2) / total);
        bool keep = true;
        options_.OnProgress(progress, keep);
        return keep;
    }

    std::span<const std::uint8_t> file_;
    GifImage &image_;
    const ParseOptions &options_;
    std::size_t pos_ = 0;
    ControlBytes pendingControl_{};
    std::string pendingComment_;
    std::uint64_t pixelsAllowed_;
};

std::uint8_t DisposalFromFile(std::uint8_t packed)
{
    const std::uint8_t method = (packed >> 2) & 7;
    return method <= 3 ? method : 2;
}

} // namespace

ImageRead ReadImage(std::span<const std::uint8_t> file, std::size_t &readPos, const ImageContext &context,
                    GifFrame &frame)
{
    if (!Has(file, readPos, ImageDescriptorSize)) {
        readPos = file.size();
        return ImageRead::CutShort;
    }
    const std::uint8_t *descriptor = file.data() + readPos;
    if (descriptor[0] != ImageIntroducer)
        return ImageRead::NotAnImage;
    readPos += ImageDescriptorSize;

    frame.Left = Word(descriptor + 1);
    frame.Top = Word(descriptor + 3);
    frame.Width = Word(descriptor + 5);
    frame.Height = Word(descriptor + 7);
    const std::uint8_t packed = descriptor[9];
    if (packed & 0x80) {
        frame.HasLocalColors = true;
        frame.LocalBits = (packed & 7) + 1;
        const std::size_t tableBytes = std::size_t{3} << frame.LocalBits;
        if (!Has(file, readPos, tableBytes)) {
            readPos = file.size();
            return ImageRead::CutShort;
        }
        std::memcpy(frame.Colors.data(), file.data() + readPos, tableBytes);
        readPos += tableBytes;
        frame.PaletteBits = frame.LocalBits;
    } else {
        frame.Colors = context.GlobalTable;
        frame.PaletteBits = context.ColorDepth;
    }
    frame.Interlaced = (packed & 0x40) != 0;

    const ControlBytes &control = context.PendingControl;
    frame.Disposal = DisposalFromFile(control[1]);
    frame.Delay = Word(control.data() + 2) * 10;
    frame.Transparent = (control[1] & 1) != 0;
    frame.TransparentIndex = control[4];

    const std::uint64_t pixels = static_cast<std::uint64_t>(frame.Width) * static_cast<std::uint64_t>(frame.Height);
    if (pixels == 0) {
        if (readPos < file.size())
            ++readPos;  // minimum code size
        SkipSubBlocks(file, readPos);
        return ImageRead::Read;
    }
    if (pixels > context.PixelsAllowed)
        return ImageRead::TooLarge;

    frame.IndexStride = (static_cast<std::size_t>(frame.Width) + 3) & ~std::size_t{3};
    frame.Indices = ZeroedBuffer(frame.IndexStride * static_cast<std::size_t>(frame.Height));
    RasterTarget target;
    target.Width = frame.Width;
    target.Height = frame.Height;
    target.Interlaced = frame.Interlaced;
    target.Indices = frame.Indices.data();
    target.IndexStride = frame.IndexStride;
    if (frame.Transparent) {
        frame.MaskStride = (static_cast<std::size_t>(frame.Width) + 31) / 32 * 4;
        frame.Mask = ZeroedBuffer(frame.MaskStride * static_cast<std::size_t>(frame.Height));
        target.Mask = frame.Mask.data();
        target.MaskStride = frame.MaskStride;
        target.TransparentIndex = frame.TransparentIndex;
    }
    if (DecodeRaster(file, readPos, target, context.Progress) == RasterResult::Abandoned)
        return ImageRead::Abandoned;
    return ImageRead::Read;
}

bool ParseGIF(std::span<const std::uint8_t> file, GifImage &image, const ParseOptions &options)
{
    image = GifImage();
    if (file.empty() || file.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        return false;
    bool read = false;
    try {
        read = Parser(file, image, options).Run();
    } catch (const std::bad_alloc &) {
        read = false;
    }
    if (!read)
        image = GifImage();
    return read;
}

} // namespace kaptiv::gif
