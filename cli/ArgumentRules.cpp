#include "cli/ArgumentRules.h"

namespace kaptiv::cli {

std::string quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

std::string_view valueOf(std::span<const std::string_view> arguments, std::size_t &i)
{
    if (i + 1 >= arguments.size())
        throw ArgumentRefused{std::string(arguments[i]) + " needs a value"};
    return arguments[++i];
}

int wholeNumber(std::string_view option, std::string_view text, int maximum)
{
    long long value = 0;
    bool digits = !text.empty() && text.size() <= 9;
    for (const char c : text) {
        digits = digits && c >= '0' && c <= '9';
        value = value * 10 + (c - '0');
    }
    if (!digits || value > maximum)
        throw ArgumentRefused{std::string(option) + " takes a whole number from 0 to " + std::to_string(maximum) + ", not "
                              + quoted(text)};
    return int(value);
}

std::uint32_t rgbOption(std::string_view option, std::string_view text)
{
    const std::string_view hex = !text.empty() && text[0] == '#' ? text.substr(1) : text;
    std::uint32_t rgb = 0;
    bool valid = hex.size() == 6;
    for (const char c : hex) {
        const int digit = c >= '0' && c <= '9' ? c - '0'
            : c >= 'a' && c <= 'f'             ? c - 'a' + 10
            : c >= 'A' && c <= 'F'             ? c - 'A' + 10
                                               : -1;
        valid = valid && digit >= 0;
        rgb = rgb << 4 | std::uint32_t(digit & 15);
    }
    if (!valid)
        throw ArgumentRefused{std::string(option) + " takes a colour as RRGGBB, not " + quoted(text)};
    return 0xFF000000u | rgb;
}

} // namespace kaptiv::cli
