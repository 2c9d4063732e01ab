#pragma once
// Picture files made to hurt a reader, built byte by byte: a few bytes that declare a huge
// picture, or that would make the reader work far beyond their size. Plain C++, so that tests of
// the readers and of the programs share them.

#include <cstdint>
#include <string>
#include <vector>

namespace kaptiv::testing::hostile {

inline void putLittle(std::string &out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += char((value >> (8 * i)) & 0xFF);
}

inline void putBig(std::string &out, std::uint32_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out += char((value >> (8 * i)) & 0xFF);
}

// A run-length bitmap of `width` x `height` at `depth` 8 (RLE8) or 4 (RLE4), its table entry i
// the grey (i, i, i), followed by `codes`.
inline std::string runLengthBitmap(int width, int height, int depth, const std::string &codes)
{
    const int table = 1 << depth, offset = 14 + 40 + 4 * table;
    std::string b = "BM";
    putLittle(b, std::uint32_t(offset + codes.size()), 4);
    putLittle(b, 0, 4);
    putLittle(b, offset, 4);
    putLittle(b, 40, 4);
    putLittle(b, std::uint32_t(width), 4);
    putLittle(b, std::uint32_t(height), 4);
    putLittle(b, 1, 2);
    putLittle(b, std::uint32_t(depth), 2);
    putLittle(b, depth == 8 ? 1 : 2, 4); // compression
    putLittle(b, std::uint32_t(codes.size()), 4);
    putLittle(b, 0, 4), putLittle(b, 0, 4), putLittle(b, 0, 4), putLittle(b, 0, 4);
    for (int i = 0; i < table; ++i)
        b += std::string{char(i), char(i), char(i), '\0'};
    return b + codes;
}

// A 4 x 2 run-length bitmap whose bottom row holds runs adding up to more than 2^31 pixels (17
// MB of codes), then a top row of a run of 3 pixels of code 0x55: drawn, the top row is 55 55 55 0
// (RLE8) or 5 5 5 0 (RLE4), the bottom row 1 1 1 1 (RLE8) or 1 2 1 2 (RLE4, nibbles 1 and 2).
inline std::string runsPastTheColumnCounter(int depth)
{
    std::string codes;
    const std::string run = depth == 8 ? std::string("\xFF\x01", 2) : std::string("\xFF\x12", 2);
    codes.reserve(2 * 8'500'000 + 8);
    for (int i = 0; i < 8'500'000; ++i) // 8.5 million runs of 255
        codes += run;
    codes += std::string("\0\0" "\x03\x55" "\0\1", 6); // end of line, the top row's run, end of picture
    return runLengthBitmap(4, 2, depth, codes);
}

// A PNG of `width` x `height` at 1 bit of grey, every pixel black; its data compressed to about
// 1/2500 of the pixels' bytes with the format's fixed codes (a zero, then matches of 258 zeros).
inline std::string blackPng(std::uint32_t width, std::uint32_t height)
{
    const std::uint64_t raw = std::uint64_t(height) * (1 + (width + 7) / 8); // a filter byte a row
    std::string deflated("\x78\x01", 2);
    std::uint32_t bits = 0;
    int count = 0;
    auto put = [&](std::uint32_t value, int n) { // a Huffman code, its first bit the highest
        for (int i = n - 1; i >= 0; --i) {
            bits |= ((value >> i) & 1) << count;
            if (++count == 8) {
                deflated += char(bits);
                bits = 0, count = 0;
            }
        }
    };
    put(1, 1);                      // the last block
    put(1, 1), put(0, 1);           // fixed codes (type 1, its low bit first)
    std::uint64_t left = raw;
    put(0x30, 8), --left;           // the literal 0
    for (; left >= 258; left -= 258)
        put(0xC5, 8), put(0, 5);    // length 258, distance 1
    for (; left > 0; --left)
        put(0x30, 8);
    put(0, 7);                      // end of block
    if (count > 0)
        deflated += char(bits);
    putBig(deflated, std::uint32_t(raw % 65521) << 16 | 1, 4); // the Adler-32 of zeros

    auto chunk = [](std::string &out, const char *type, const std::string &data) {
        putBig(out, std::uint32_t(data.size()), 4);
        const std::string typed = std::string(type, 4) + data;
        std::uint32_t crc = 0xFFFFFFFFu;
        for (const char c : typed) {
            crc ^= std::uint8_t(c);
            for (int k = 0; k < 8; ++k)
                crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
        }
        out += typed;
        putBig(out, ~crc, 4);
    };
    std::string header;
    putBig(header, width, 4), putBig(header, height, 4);
    header += std::string("\x01\x00\x00\x00\x00", 5); // 1 bit, grey, deflate, no filter choice, not interlaced
    std::string png("\x89PNG\r\n\x1A\n", 8);
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", deflated);
    chunk(png, "IEND", "");
    return png;
}

// A 32 x 32 icon image at 1 bit, every pixel blue, its mask clear (all drawn).
inline std::string blueIconImage()
{
    std::string b;
    putLittle(b, 40, 4), putLittle(b, 32, 4), putLittle(b, 64, 4), putLittle(b, 1, 2), putLittle(b, 1, 2);
    for (int i = 0; i < 6; ++i)
        putLittle(b, 0, 4);
    b += std::string("\0\0\0\0" "\xFF\0\0\0", 8); // black, blue
    b += std::string(32 * 4, '\xFF') + std::string(32 * 4, '\0');
    return b;
}

// An icon file of these images, each listed as `listed` x `listed` pixels at 32 bits.
inline std::string iconFile(const std::vector<std::string> &images, int listed = 32)
{
    std::string b;
    putLittle(b, 0, 2), putLittle(b, 1, 2), putLittle(b, std::uint32_t(images.size()), 2);
    std::uint32_t offset = std::uint32_t(6 + 16 * images.size());
    for (const std::string &image : images) {
        b += char(listed & 0xFF), b += char(listed & 0xFF), b += std::string(2, '\0');
        putLittle(b, 1, 2), putLittle(b, 32, 2), putLittle(b, std::uint32_t(image.size()), 4), putLittle(b, offset, 4);
        offset += std::uint32_t(image.size());
    }
    for (const std::string &image : images)
        b += image;
    return b;
}

// A grey JPEG of `width` x `height`: its tables give every block a single bit or two (a code of
// one bit for DC difference 0, one for the end of the block or a run of 16384 empty blocks).
// Baseline (`scans` 0): one scan of `scanBytes` zero bytes, and no end marker, as a file cut
// there. Progressive: a DC scan over every block, then `scans` - 1 scans of the AC coefficients
// over every block, each a few hundred bytes.
inline std::string greyJpeg(std::uint32_t width, std::uint32_t height, int scans, std::uint64_t scanBytes = 0)
{
    std::string b("\xFF\xD8", 2);
    b += std::string("\xFF\xDB\x00\x43\x00", 5) + std::string(64, '\x01'); // quantisation: all 1
    b += std::string(scans ? "\xFF\xC2" : "\xFF\xC0", 2) + std::string("\x00\x0B\x08", 3);
    putBig(b, height, 2), putBig(b, width, 2);
    b += std::string("\x01\x01\x11\x00", 4);
    const char acSymbol = scans ? '\xE0' : '\0'; // a run of 2^14 empty blocks, or end of block
    b += std::string("\xFF\xC4\x00\x26" "\x00" "\x01", 6) + std::string(15, '\0') + std::string(1, '\0');
    b += std::string("\x10" "\x01", 2) + std::string(15, '\0') + std::string(1, acSymbol);
    const std::uint64_t blocks = std::uint64_t((width + 7) / 8) * ((height + 7) / 8);
    if (!scans)
        return b + std::string("\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00", 10) + std::string(scanBytes, '\0');
    b += std::string("\xFF\xDA\x00\x08\x01\x01\x00\x00\x00\x00", 10) + std::string((blocks + 7) / 8, '\0');
    const std::uint64_t runs = (blocks + 16383) / 16384; // 15 bits each: the code and 14 extra bits of 0
    for (int scan = 1; scan < scans; ++scan)
        b += std::string("\xFF\xDA\x00\x08\x01\x01\x00\x01\x3F\x00", 10) + std::string((runs * 15 + 7) / 8, '\0');
    return b + "\xFF\xD9";
}

} // namespace kaptiv::testing::hostile
