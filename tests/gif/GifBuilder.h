#pragma once

// Hand-made GIF files for tests: every block written explicitly, so a test can damage or reorder
// any of them.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace kaptiv::gif::test {

using Bytes = std::vector<std::uint8_t>;

// LZW codes packed least significant bit first, as GIF image data carries them.
class CodePacker {
public:
    void Put(int code, int width);
    // Minimum code size byte, the packed codes in sub-blocks of at most `blockSize` bytes, and
    // (when `terminate`) the zero-length terminator.
    Bytes ImageData(int minCodeSize, std::size_t blockSize = 255, bool terminate = true) const;

private:
    Bytes bytes_;
    std::uint32_t acc_ = 0;
    int bits_ = 0;
};

// Every index sent as a code of its own, with the code widths any GIF decoder expects: a clear
// code first, entries counted up to 4096 and never cleared again, then (optionally) the end code.
Bytes RootCodeImageData(int minCodeSize, const std::vector<std::uint8_t> &indices, bool endCode = true,
                        std::size_t blockSize = 255);

class GifBuilder {
public:
    explicit GifBuilder(int screenWidth = 0, int screenHeight = 0, std::string version = "89a");

    GifBuilder &GlobalTable(const std::vector<std::uint32_t> &rgbColors, int bits = 0);
    GifBuilder &Control(int disposal, int delay, bool transparent = false, int transparentIndex = 0);
    GifBuilder &Comment(const std::string &text);
    GifBuilder &Loop(int count);
    GifBuilder &Application(const std::string &identifierAndCode, const Bytes &subBlock);
    GifBuilder &PlainText();
    GifBuilder &Image(int left, int top, int width, int height, const Bytes &imageData,
                      bool interlaced = false, const std::vector<std::uint32_t> &localTable = {},
                      int localBits = 0);
    // A frame whose indices are sent as root codes, with a two-colour (or given) global layout.
    GifBuilder &SimpleImage(int width, int height, const std::vector<std::uint8_t> &indices,
                            bool interlaced = false, int minCodeSize = 2);
    GifBuilder &Raw(const Bytes &bytes);
    GifBuilder &Trailer();

    const Bytes &Data() const { return bytes_; }

private:
    void Word(int value);
    void Table(const std::vector<std::uint32_t> &rgbColors, int bits);

    Bytes bytes_;
};

int TableBitsFor(std::size_t colors);

} // namespace kaptiv::gif::test
