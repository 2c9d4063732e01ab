#pragma once
// The rules of `kaptiv convert`, on the command line's bytes and in plain C++, and the conversions
// that run without Qt: both programs read convert's arguments by this one reading and run a
// conversion the codec core (formats/core) does here; the windowed program does the rest
// (cli/ConvertCommand.cpp).

#include "formats/core/ImageFileName.h"
#include "formats/core/JpegFile.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kaptiv::convert {

enum class Colors { AsIs, Monochrome, Colors16, Colors256, Adaptive };

struct Plan {
    std::string input, output; // as given
    ImageFileType inputType = ImageFileType::None, outputType = ImageFileType::None;
    Colors colors = Colors::AsIs;
    bool dither = true;
    JpegOptions jpeg;
    bool interlaced = false;
    std::optional<std::uint32_t> transparent; // 0xFFRRGGBB
    int frame = 1;
};

// The plan of `convert` with `arguments` (the words after "convert"); raises cli::ArgumentRefused
// naming what was wrong. Neither file is looked at.
Plan plan(std::span<const std::string_view> arguments);

// True when the codec core reads the input and writes the output by itself.
bool runsWithoutQt(const Plan &plan);

// Reads the picture and writes it, as planned (runsWithoutQt); the report's words after the file's
// name: "W x H, 24 bits per pixel", "W x H, JPEG quality 75". Raises CodecError.
std::string run(const Plan &plan);

// True when `output` names the program's standard output (/dev/stdout): the report on the file
// then goes to standard error, so that a pipe gets the file's bytes alone.
bool writesToStandardOutput(const std::string &output);

} // namespace kaptiv::convert
