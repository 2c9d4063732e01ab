#include "GifBuilder.h"

#include <algorithm>

namespace kaptiv::gif::test {

void CodePacker::Put(int code, int width)
{
    acc_ |= static_cast<std::uint32_t>(code) << bits_;
    bits_ += width;
    while (bits_ >= 8) {
        bytes_.push_back(static_cast<std::uint8_t>(acc_));
        acc_ >>= 8;
        bits_ -= 8;
    }
}

Bytes CodePacker::ImageData(int minCodeSize, std::size_t blockSize, bool terminate) const
{
    Bytes packed = bytes_;
    if (bits_ > 0)
        packed.push_back(static_cast<std::uint8_t>(acc_));
    Bytes out{static_cast<std::uint8_t>(minCodeSize)};
    for (std::size_t i = 0; i < packed.size(); i += blockSize) {
        const std::size_t n = std::min(blockSize, packed.size() - i);
        out.push_back(static_cast<std::uint8_t>(n));
        out.insert(out.end(), packed.begin() + static_cast<long>(i), packed.begin() + static_cast<long>(i + n));
    }
    if (terminate)
        out.push_back(0);
    return out;
}

Bytes RootCodeImageData(int minCodeSize, const std::vector<std::uint8_t> &indices, bool endCode,
                        std::size_t blockSize)
{
    CodePacker packer;
    const int clear = 1 << minCodeSize;
    int width = minCodeSize + 1;
    int next = clear + 2;
    packer.Put(clear, width);
    for (std::size_t i = 0; i < indices.size(); ++i) {
        packer.Put(indices[i], width);
        // Every code after the first defines one entry; the width grows once the next entry
        // would not fit, up to 12 bits.
        if (i > 0 && next < 4096) {
            ++next;
            if (next == (1 << width) && width < 12)
                ++width;
        }
    }
    if (endCode)
        packer.Put(clear + 1, width);
    return packer.ImageData(minCodeSize, blockSize);
}

int TableBitsFor(std::size_t colors)
{
    int bits = 1;
    while ((std::size_t{1} << bits) < colors)
        ++bits;
    return bits;
}

GifBuilder::GifBuilder(int screenWidth, int screenHeight, std::string version)
{
    const std::string header = "GIF" + version;
    bytes_.assign(header.begin(), header.end());
    Word(screenWidth);
    Word(screenHeight);
    bytes_.insert(bytes_.end(), {0, 0, 0});
}

GifBuilder &GifBuilder::GlobalTable(const std::vector<std::uint32_t> &rgbColors, int bits)
{
    if (bits == 0)
        bits = TableBitsFor(rgbColors.size());
    bytes_[10] = static_cast<std::uint8_t>(0x80 | (bits - 1));
    Table(rgbColors, bits);
    return *this;
}

GifBuilder &GifBuilder::Control(int disposal, int delay, bool transparent, int transparentIndex)
{
    bytes_.insert(bytes_.end(), {0x21, 0xF9, 0x04, static_cast<std::uint8_t>((disposal << 2) | (transparent ? 1 : 0))});
    Word(delay);
    bytes_.insert(bytes_.end(), {static_cast<std::uint8_t>(transparentIndex), 0});
    return *this;
}

GifBuilder &GifBuilder::Comment(const std::string &text)
{
    bytes_.insert(bytes_.end(), {0x21, 0xFE});
    for (std::size_t i = 0; i < text.size(); i += 255) {
        const std::size_t n = std::min<std::size_t>(255, text.size() - i);
        bytes_.push_back(static_cast<std::uint8_t>(n));
        bytes_.insert(bytes_.end(), text.begin() + static_cast<long>(i), text.begin() + static_cast<long>(i + n));
    }
    bytes_.push_back(0);
    return *this;
}

GifBuilder &GifBuilder::Loop(int count)
{
    return Application("NETSCAPE2.0", {1, static_cast<std::uint8_t>(count), static_cast<std::uint8_t>(count >> 8)});
}

GifBuilder &GifBuilder::Application(const std::string &identifierAndCode, const Bytes &subBlock)
{
    bytes_.insert(bytes_.end(), {0x21, 0xFF, 0x0B});
    bytes_.insert(bytes_.end(), identifierAndCode.begin(), identifierAndCode.end());
    bytes_.push_back(static_cast<std::uint8_t>(subBlock.size()));
    bytes_.insert(bytes_.end(), subBlock.begin(), subBlock.end());
    bytes_.push_back(0);
    return *this;
}

GifBuilder &GifBuilder::PlainText()
{
    bytes_.insert(bytes_.end(), {0x21, 0x01, 12, 0, 0, 0, 0, 8, 0, 8, 0, 8, 8, 1, 0});
    bytes_.insert(bytes_.end(), {5, 'H', 'e', 'l', 'l', 'o', 0});
    return *this;
}

GifBuilder &GifBuilder::Image(int left, int top, int width, int height, const Bytes &imageData, bool interlaced,
                              const std::vector<std::uint32_t> &localTable, int localBits)
{
    bytes_.push_back(0x2C);
    Word(left);
    Word(top);
    Word(width);
    Word(height);
    std::uint8_t packed = interlaced ? 0x40 : 0;
    if (!localTable.empty()) {
        if (localBits == 0)
            localBits = TableBitsFor(localTable.size());
        packed |= static_cast<std::uint8_t>(0x80 | (localBits - 1));
    }
    bytes_.push_back(packed);
    if (!localTable.empty())
        Table(localTable, localBits);
    bytes_.insert(bytes_.end(), imageData.begin(), imageData.end());
    return *this;
}

GifBuilder &GifBuilder::SimpleImage(int width, int height, const std::vector<std::uint8_t> &indices,
                                    bool interlaced, int minCodeSize)
{
    return Image(0, 0, width, height, RootCodeImageData(minCodeSize, indices), interlaced);
}

GifBuilder &GifBuilder::Raw(const Bytes &bytes)
{
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
}

GifBuilder &GifBuilder::Trailer()
{
    bytes_.push_back(0x3B);
    return *this;
}

void GifBuilder::Word(int value)
{
    bytes_.push_back(static_cast<std::uint8_t>(value));
    bytes_.push_back(static_cast<std::uint8_t>(value >> 8));
}

void GifBuilder::Table(const std::vector<std::uint32_t> &rgbColors, int bits)
{
    for (int i = 0; i < (1 << bits); ++i) {
        const std::uint32_t c = i < static_cast<int>(rgbColors.size()) ? rgbColors[static_cast<std::size_t>(i)] : 0;
        bytes_.insert(bytes_.end(), {static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
                                     static_cast<std::uint8_t>(c)});
    }
}

} // namespace kaptiv::gif::test
