#include "gif/core/GifReader.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <optional>

namespace kaptiv::gif {

namespace {

constexpr std::uint8_t ExtensionIntroducer = 0x21;
constexpr std::uint8_t ImageIntroducer = 0x2C;
constexpr std::uint8_t Trailer = 0x3B;
constexpr std::uint8_t ControlLabel = 0xF9;
constexpr std::uint8_t CommentLabel = 0xFE;
constexpr std::uint8_t ApplicationLabel = 0xFF;

constexpr std::size_t HeaderSize = 6;
constexpr std::size_t ScreenDescriptorSize = 7;
constexpr std::size_t ImageDescriptorSize = 10;
constexpr std::size_t ControlFields = 4;    // packed byte, delay, transparent index

int Word(const std::uint8_t *p) { return p[0] | (p[1] << 8); }

bool Has(std::span<const std::uint8_t> file, std::size_t pos, std::size_t count)
{
    return pos <= file.size() && count <= file.size() - pos;
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

// The reading of one file: the block loop and the facts it gathers.
class Parser {
public:
    Parser(std::span<const std::uint8_t> file, GifImage &image, const ParseOptions &options)
        : file_(file), image_(image), options_(options),
          pixelsAllowed_(options.Limits.MaxTotalPixels)
    {
    }

    ParseResult Run()
    {
        if (file_.size() < 3 || std::memcmp(file_.data(), "GIF", 3) != 0)
            return ParseResult::NotAGif;
        if (!Has(file_, 0, HeaderSize + ScreenDescriptorSize))
            return ParseResult::NotAGif;
        const std::uint8_t *screen = file_.data() + HeaderSize;
        pos_ = HeaderSize + ScreenDescriptorSize;
        if (screen[4] & 0x80) {
            image_.ColorDepth = (screen[4] & 7) + 1;
            const std::size_t tableBytes = std::size_t{3} << image_.ColorDepth;
            if (!Has(file_, pos_, tableBytes))
                return ParseResult::NotAGif;
            std::memcpy(image_.GlobalTable.data(), file_.data() + pos_, tableBytes);
            pos_ += tableBytes;
        }
        image_.ImageWidth = Word(screen);
        image_.ImageHeight = Word(screen + 2);
        const ParseResult result = ReadBlocks();
        if (result != ParseResult::Read)
            return result;
        if (!Report(pos_))
            return ParseResult::Abandoned;
        image_.IsAnimated = framesRead_ > 1;
        return ParseResult::Read;
    }

private:
    ParseResult ReadBlocks()
    {
        for (;;) {
            if (!Report(pos_))
                return ParseResult::Abandoned;
            const std::size_t start = pos_;
            if (pos_ >= file_.size())
                return ParseResult::Read;
            switch (file_[pos_]) {
            case ExtensionIntroducer:
                ReadExtension();
                break;
            case ImageIntroducer:
                if (framesRead_ >= options_.Limits.MaxFrames) {
                    image_.FramesBeyondLimit = true;
                    return ParseResult::Read;
                }
                if (const auto stop = ReadFrame())
                    return *stop;
                break;
            case Trailer:
                pos_ = file_.size();
                return ParseResult::Read;
            case 0x00:
                ++pos_;  // a stray terminator between blocks
                break;
            default:
                break;
            }
            if (pos_ == start)
                return ParseResult::Read;  // a block this reader does not know ends the reading
        }
    }

    // Every extension is sub-blocks after its label; the known ones are read from them and the
    // rest skipped by their sizes, whatever size their blocks have.
    void ReadExtension()
    {
        if (!Has(file_, pos_, 2)) {
            pos_ = file_.size();
            return;
        }
        const std::uint8_t label = file_[pos_ + 1];
        pos_ += 2;
        switch (label) {
        case ControlLabel:
            ReadControl();
            break;
        case CommentLabel:
            pendingComment_ = ReadSubBlockText(file_, pos_);
            break;
        case ApplicationLabel:
            ReadApplication();
            break;
        default:
            SkipSubBlocks(file_, pos_);
            break;
        }
    }

    // The size byte and the fields its block holds; fields a short block lacks read as 0.
    void ReadControl()
    {
        pendingControl_ = {};
        if (pos_ >= file_.size())
            return;
        const std::size_t size = file_[pos_++];
        pendingControl_[0] = static_cast<std::uint8_t>(size);
        const std::size_t present = std::min({size, ControlFields, file_.size() - pos_});
        std::memcpy(pendingControl_.data() + 1, file_.data() + pos_, present);
        if (size == 0)
            return;  // that was the terminator
        pos_ = Has(file_, pos_, size) ? pos_ + size : file_.size();
        SkipSubBlocks(file_, pos_);
    }

    // The looping block: the loop count is in its sub-block whose id is 1; other sub-blocks (a
    // buffering hint, say) and other applications are skipped.
    void ReadApplication()
    {
        static constexpr char Looping[] = "NETSCAPE2.0";
        bool identifier = true, looping = false;
        while (pos_ < file_.size()) {
            const std::size_t count = file_[pos_++];
            if (count == 0)
                return;
            if (!Has(file_, pos_, count)) {
                pos_ = file_.size();
                return;
            }
            const std::uint8_t *block = file_.data() + pos_;
            if (identifier)
                looping = count >= 11 && std::memcmp(block, Looping, 11) == 0;
            else if (looping && count >= 3 && block[0] == 1)
                image_.LoopCount = Word(block + 1);
            identifier = false;
            pos_ += count;
        }
    }

    std::optional<ParseResult> ReadFrame()
    {
        GifFrame frame;
        const std::uint64_t remaining = pixelsAllowed_;
        // Frames handed over one at a time are dropped before the next: calloc gives their memory
        // again, where the arena would take fresh pages for every one.
        ImageContext context{image_.GlobalTable, image_.ColorDepth, pendingControl_,
                             std::min(options_.Limits.MaxFramePixels, remaining), options_.DecodePixels, {},
                             options_.OnFrame ? nullptr : &memory_, &tables_};
        if (options_.OnProgress)
            context.Progress = [this](std::size_t pos) { return Report(pos); };
        switch (ReadImage(file_, pos_, context, frame)) {
        case ImageRead::Read:
            break;
        case ImageRead::TooLarge:
            return static_cast<std::uint64_t>(frame.Width) * static_cast<std::uint64_t>(frame.Height) >
                           options_.Limits.MaxFramePixels
                       ? ParseResult::FrameTooLarge
                       : ParseResult::TooManyPixels;
        case ImageRead::Abandoned:
            return ParseResult::Abandoned;
        case ImageRead::NotAnImage:
        case ImageRead::CutShort:
            return ParseResult::Read;  // the file ends here
        }
        pixelsAllowed_ -= static_cast<std::uint64_t>(frame.Width) * static_cast<std::uint64_t>(frame.Height);
        image_.ColorDepth = std::max(image_.ColorDepth, frame.LocalBits);
        image_.IsTransparent = image_.IsTransparent || frame.Transparent;
        image_.ImageWidth = std::max(image_.ImageWidth, frame.Left + frame.Width);
        image_.ImageHeight = std::max(image_.ImageHeight, frame.Top + frame.Height);
        frame.Comment = std::move(pendingComment_);
        pendingComment_.clear();
        pendingControl_ = {};
        ++framesRead_;
        if (options_.OnFrame) {
            if (!options_.OnFrame(frame, framesRead_))
                return ParseResult::Abandoned;
        } else {
            image_.Frames.push_back(std::move(frame));
        }
        return std::nullopt;
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
    ZeroedArena memory_;
    LzwTables tables_;
    int framesRead_ = 0;
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
    frame.Offset = readPos;
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
    if (pixels > context.PixelsAllowed)
        return ImageRead::TooLarge;
    if (pixels == 0 || !context.DecodePixels) {
        if (readPos < file.size())
            ++readPos;  // minimum code size
        SkipSubBlocks(file, readPos);
        return ImageRead::Read;
    }

    frame.IndexStride = (static_cast<std::size_t>(frame.Width) + 3) & ~std::size_t{3};
    const auto zeroed = [&](std::size_t size) { return context.Memory ? context.Memory->Take(size) : ZeroedBuffer(size); };
    frame.Indices = zeroed(frame.IndexStride * static_cast<std::size_t>(frame.Height));
    RasterTarget target;
    target.Width = frame.Width;
    target.Height = frame.Height;
    target.Interlaced = frame.Interlaced;
    target.Indices = frame.Indices.data();
    target.IndexStride = frame.IndexStride;
    if (frame.Transparent) {
        target.MaskStride = (static_cast<std::size_t>(frame.Width) + 31) / 32 * 4;
        target.TransparentIndex = frame.TransparentIndex;
        target.NewMask = [&] {
            frame.MaskStride = target.MaskStride;
            frame.Mask = zeroed(frame.MaskStride * static_cast<std::size_t>(frame.Height));
            return frame.Mask.data();
        };
    }
    if (DecodeRaster(file, readPos, target, context.Progress, context.Tables) == RasterResult::Abandoned)
        return ImageRead::Abandoned;
    return ImageRead::Read;
}

ParseResult ReadGIF(std::span<const std::uint8_t> file, GifImage &image, const ParseOptions &options)
{
    image = GifImage();
    if (file.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        return ParseResult::FileTooLarge;
    ParseResult result = ParseResult::OutOfMemory;
    try {
        result = Parser(file, image, options).Run();
    } catch (const std::bad_alloc &) {
        result = ParseResult::OutOfMemory;
    }
    if (result != ParseResult::Read)
        image = GifImage();
    return result;
}

bool ParseGIF(std::span<const std::uint8_t> file, GifImage &image, const ParseOptions &options)
{
    return ReadGIF(file, image, options) == ParseResult::Read;
}

} // namespace kaptiv::gif
