#include "cli/GifInfo.h"

#include "cli/ArgumentRules.h"
#include "gif/GifFile.h"

#include <ostream>
#include <string>

namespace kaptiv::cli {

namespace {

// "#RRGGBB" of a table entry.
std::string hexColour(const gif::ColorTable &table, int index)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string text = "#";
    for (int i = 0; i < 3; ++i) {
        const int v = table[std::size_t(3 * index + i)];
        text += Digits[v >> 4];
        text += Digits[v & 15];
    }
    return text;
}

// A comment for a terminal: its bytes shown as Latin-1 (in UTF-8), with control characters
// escaped so that a file cannot move the cursor, clear the screen or forge a line of the listing.
std::string printableComment(const std::string &bytes)
{
    static constexpr char Digits[] = "0123456789abcdef";
    std::string shown;
    for (const char byte : bytes) {
        const unsigned u = static_cast<unsigned char>(byte);
        if (u == '\\' || u == '"') {
            shown += '\\';
            shown += char(u);
        } else if (u == '\n') {
            shown += "\\n";
        } else if (u == '\r') {
            shown += "\\r";
        } else if (u == '\t') {
            shown += "\\t";
        } else if (u < 0x20 || (u >= 0x7F && u < 0xA0)) {
            shown += "\\x";
            shown += Digits[u >> 4];
            shown += Digits[u & 15];
        } else if (u < 0x80) {
            shown += char(u);
        } else { // Latin-1 above 0x9F in UTF-8
            shown += char(0xC0 | (u >> 6));
            shown += char(0x80 | (u & 0x3F));
        }
    }
    return shown;
}

} // namespace

gif::ParseOptions frameByFrame(gif::FrameHandler onFrame)
{
    gif::ParseOptions options;
    options.DecodePixels = false;
    options.Limits = gif::oneFrameAtATime();
    options.OnFrame = std::move(onFrame);
    return options;
}

std::string beyondLimit(bool beyond, int read)
{
    return beyond ? " (the file holds more; Kaptiv reads the first " + std::to_string(read) + ")" : "";
}

void gifInfo(std::span<const std::string_view> arguments, std::ostream &out)
{
    if (arguments.empty())
        throw ArgumentRefused{"gif-info needs a GIF file"};
    if (arguments.size() > 1) {
        std::string rest;
        for (std::size_t i = 1; i < arguments.size(); ++i)
            rest += (i > 1 ? " " : "") + std::string(arguments[i]);
        throw ArgumentRefused{"gif-info takes one file, not " + quoted(rest)};
    }
    const std::string path(arguments[0]);
    // Counted first, then listed as the frames come: no frame is held, however many there are.
    const std::vector<std::uint8_t> bytes = gif::readGifFile(path);
    int frames = 0;
    const gif::GifImage image =
        gif::parseGifFile(path, bytes, frameByFrame([&](gif::GifFrame &, int) { return ++frames, true; }));
    auto yesNo = [](bool b) { return b ? "yes" : "no"; };
    out << "File: " << path << "\n"
        << "Canvas: " << image.ImageWidth << " x " << image.ImageHeight << "\n"
        << "Frames: " << frames << beyondLimit(image.FramesBeyondLimit, frames) << "\n"
        << "Colour depth: " << image.ColorDepth << " bits (" << (image.ColorDepth ? 1 << image.ColorDepth : 0)
        << " colours)\n"
        << "Loop count: " << image.LoopCount << (image.LoopCount == 0 ? " (for ever)" : "") << "\n"
        << "Transparent: " << yesNo(image.IsTransparent) << "\n"
        << "Animated: " << yesNo(image.IsAnimated) << "\n";
    gif::parseGifFile(path, bytes, frameByFrame([&](const gif::GifFrame &f, int number) {
        out << "Frame " << number << ": position " << f.Left << "," << f.Top << "; size " << f.Width << " x "
            << f.Height << "; delay " << f.Delay << " ms; disposal " << int(f.Disposal) << "; interlaced "
            << yesNo(f.Interlaced) << "; transparent ";
        if (f.Transparent)
            out << "index " << int(f.TransparentIndex) << " colour " << hexColour(f.Colors, f.TransparentIndex);
        else
            out << "no";
        out << "; local table ";
        if (f.HasLocalColors)
            out << (1 << f.LocalBits) << " colours";
        else
            out << "none";
        out << "; comment \"" << printableComment(f.Comment) << "\"\n";
        return true;
    }));
}

} // namespace kaptiv::cli
