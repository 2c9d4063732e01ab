#include "cli/GrabPlan.h"

namespace kaptiv::grab {

namespace {

struct Refused {
    std::string message;
};

std::string quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// 1 to 9 decimal digits; nothing for anything else.
std::optional<int> digits(std::string_view text)
{
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::string_view valueOf(std::span<const std::string_view> arguments, std::size_t &i)
{
    if (i + 1 >= arguments.size())
        throw Refused{std::string(arguments[i]) + " needs a value"};
    return arguments[++i];
}

Colors colorsOf(std::string_view value)
{
    if (value == "mono") return Colors::Monochrome;
    if (value == "16") return Colors::Colors16;
    if (value == "256") return Colors::Colors256;
    if (value == "full") return Colors::Full;
    throw Refused{"--colors must be mono, 16, 256 or full, not " + quoted(value)};
}

// By the name's extension, letter case ignored; standard output gets PNG.
ImageFileType formatOf(const std::string &output)
{
    if (output == "-")
        return ImageFileType::Png;
    std::string lower = output;
    for (char &c : lower)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    const ImageFileType type = imageFileTypeOfName(lower);
    if (type == ImageFileType::Bitmap || type == ImageFileType::Png || type == ImageFileType::Jpeg)
        return type;
    throw Refused{"grab writes .bmp, .png, .jpg or .jpeg files, or PNG to standard output with --output -, not "
                  + quoted(output)};
}

// 1 to 100, for a JPEG output only (anything else would silently ignore it).
int qualityOf(std::string_view text, bool writesJpeg)
{
    const std::optional<int> quality = digits(text);
    if (!quality || *quality > 100)
        throw Refused{"--quality takes a whole number from 0 to 100, not " + quoted(text)};
    if (*quality < 1)
        throw Refused{"--quality takes 1 to 100, not 0"};
    if (!writesJpeg)
        throw Refused{"--quality applies to a JPEG output (.jpg or .jpeg)"};
    return *quality;
}

Plan plan(std::span<const std::string_view> arguments)
{
    Plan plan;
    const std::string_view what = arguments.empty() ? std::string_view() : arguments[0];
    if (what == "screen")
        plan.target = Target::Screen;
    else if (what == "active")
        plan.target = Target::ActiveWindow;
    else if (what == "client")
        plan.target = Target::ActiveClient;
    else
        throw Refused{what.empty() ? std::string("grab needs screen, active or client")
                                   : "cannot grab " + quoted(what) + ": use screen, active or client"};
    std::optional<std::string_view> quality;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string_view a = arguments[i];
        if (a == "--delay") {
            const std::string_view value = valueOf(arguments, i);
            const std::optional<int> delay = digits(value);
            if (!delay)
                throw Refused{"--delay takes milliseconds as a whole number, not " + quoted(value)};
            plan.delayMilliseconds = *delay;
        } else if (a == "--cursor") {
            plan.cursor = true;
        } else if (a == "--colors") {
            plan.colors = colorsOf(valueOf(arguments, i));
        } else if (a == "--output" || a == "-o") {
            plan.output = valueOf(arguments, i);
        } else if (a == "--quality") {
            quality = valueOf(arguments, i);
        } else if (a == "--clipboard") {
            plan.clipboard = true;
        } else {
            throw Refused{"unknown option " + quoted(a)};
        }
    }
    if (plan.output.empty() && !plan.clipboard)
        throw Refused{"grab needs --output FILE.bmp, FILE.png or FILE.jpg, --output - or --clipboard"};
    const bool writes = !plan.output.empty();
    if (writes)
        plan.format = formatOf(plan.output);
    if (quality)
        plan.jpegQuality = qualityOf(*quality, writes && plan.format == ImageFileType::Jpeg);
    return plan;
}

} // namespace

Planned planGrab(std::span<const std::string_view> arguments)
{
    try {
        return {plan(arguments), {}};
    } catch (const Refused &refused) {
        return {std::nullopt, refused.message};
    }
}

} // namespace kaptiv::grab
