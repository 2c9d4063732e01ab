#pragma once

#include "gif/core/GifReader.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace kaptiv::gif {

// What is kept of a frame whose pixels stay in the file: its facts and where it lies (24 bytes, so
// that an index of many thousand frames costs less than the file).
struct FrameFacts {
    std::uint32_t Offset = 0;       // its image descriptor (files are at most 2 GB)
    std::int32_t Delay = 0;         // milliseconds
    std::uint16_t Left = 0;
    std::uint16_t Top = 0;
    std::uint16_t Width = 0;
    std::uint16_t Height = 0;
    std::uint8_t Disposal = 0;
    std::uint8_t TransparentIndex = 0;
    std::uint8_t PaletteBits = 0;
    std::uint8_t LocalBits = 0;
    bool Transparent = false;
    bool Interlaced = false;
    bool HasLocalColors = false;
};

// The facts of a frame the reader gave.
FrameFacts FactsOf(const GifFrame &frame);

// A file read for its facts only, each frame's place remembered so that any frame can be decoded
// later, alone, from the same bytes.
struct FrameIndex {
    GifImage Image;                 // the image-wide facts; Image.Frames stays empty
    std::vector<FrameFacts> Frames;
    std::unordered_map<std::size_t, std::string> Comments;  // by frame (from 0), only frames with one
};

// Reads a whole file as ReadGIF does without pixels: the same checks and limits, the same results
// (options.DecodePixels and options.OnFrame are not used). Its image data is skipped, not decoded.
ParseResult IndexGIF(std::span<const std::uint8_t> file, FrameIndex &index, const ParseOptions &options = {});

// Frame `number` (from 0) of the file the index was made from, with its pixels, exactly as ReadGIF
// reads it. False when it cannot be read again (the bytes are not those indexed). May raise
// std::bad_alloc. `tables` may be shared by the frames decoded one after another.
bool DecodeIndexedFrame(std::span<const std::uint8_t> file, const FrameIndex &index, std::size_t number,
                        GifFrame &frame, LzwTables *tables = nullptr);

} // namespace kaptiv::gif
