#pragma once
// Reading the values of command-line options on the command line's bytes, in plain C++: both
// programs read options by these rules (cli/Arguments.h gives them to the windowed program's
// commands). Each raises ArgumentRefused with what was wrong.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kaptiv::cli {

// Arguments a command cannot use: the message is shown with the usage hint, exit status 2.
struct ArgumentRefused {
    std::string message;
};

// The value after the option at `i`, moving `i` onto it.
std::string_view valueOf(std::span<const std::string_view> arguments, std::size_t &i);

// A whole number from 0 to `maximum`, 1 to 9 decimal digits.
int wholeNumber(std::string_view option, std::string_view text, int maximum);

// A colour given as RRGGBB (a leading # is allowed), as 0xFFRRGGBB.
std::uint32_t rgbOption(std::string_view option, std::string_view text);

// "'text'", as messages quote what was given.
std::string quoted(std::string_view text);

} // namespace kaptiv::cli
