#pragma once
// The rules of `kaptiv grab`, on the command line's bytes and in plain C++: the full program and
// the Qt-free command-line front read a grab's arguments by this one reading.

#include "formats/core/ImageFileName.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kaptiv::grab {

enum class Target { Screen, ActiveWindow, ActiveClient };
enum class Colors { Monochrome, Colors16, Colors256, Full };

struct Plan {
    Target target = Target::Screen;
    int delayMilliseconds = 0;
    bool cursor = false;
    Colors colors = Colors::Full;
    std::string output;                       // as given; empty for none, "-" for standard output
    ImageFileType format = ImageFileType::Png; // what the output is written as: Bitmap, Png or Jpeg
    std::optional<int> jpegQuality;           // 1 to 100, given only for a JPEG output
    bool clipboard = false;

    bool toStandardOutput() const { return output == "-"; }
};

// The plan of `grab` with `arguments` (the words after "grab"), or the message that refuses them,
// naming what was wrong. The place the output names is not looked at.
struct Planned {
    std::optional<Plan> plan;
    std::string refusal;
};
Planned planGrab(std::span<const std::string_view> arguments);

} // namespace kaptiv::grab
