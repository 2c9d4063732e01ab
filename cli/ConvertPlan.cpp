#include "cli/ConvertPlan.h"

#include "cli/ArgumentRules.h"
#include "formats/core/BmpFile.h"
#include "formats/core/ColorTables.h"
#include "formats/core/CodecError.h"
#include "formats/core/PictureFile.h"
#include "formats/core/PngFile.h"
#include "platform/files/FileAccess.h"


namespace kaptiv::convert {

namespace {

using cli::ArgumentRefused;

Colors colorsOf(std::string_view value)
{
    if (value == "adaptive") return Colors::Adaptive;
    if (value == "mono") return Colors::Monochrome;
    if (value == "16") return Colors::Colors16;
    if (value == "256") return Colors::Colors256;
    if (value == "as-is") return Colors::AsIs;
    throw ArgumentRefused{"--colors must be mono, 16, 256, as-is or adaptive, not " + cli::quoted(value)};
}

// The file type by the name's extension, letter case ignored on the command line.
ImageFileType fileTypeOf(const std::string &path, const char *role)
{
    std::string lower = path;
    for (char &c : lower)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    const ImageFileType type = imageFileTypeOfName(lower);
    if (type == ImageFileType::None)
        throw ArgumentRefused{std::string("cannot tell the ") + role + " file's format from " + cli::quoted(path)
                              + ": use .bmp, .gif, .jpg, .jpeg, .ico or .png"};
    return type;
}

// Whether an option applies to an output of `type`; any other is refused rather than silently ignored.
bool appliesTo(std::string_view option, ImageFileType type)
{
    if (option == "--frame")
        return true; // an input option
    if (option == "--dither" || option == "--no-dither")
        return type == ImageFileType::Gif || type == ImageFileType::Bitmap || type == ImageFileType::Png;
    if (option == "--colors")
        return type != ImageFileType::Jpeg;
    if (option == "--quality" || option == "--grayscale" || option == "--progressive")
        return type == ImageFileType::Jpeg;
    if (option == "--interlaced")
        return type == ImageFileType::Gif;
    return type == ImageFileType::Gif || type == ImageFileType::Icon; // --transparent
}

} // namespace

Plan plan(std::span<const std::string_view> arguments)
{
    Plan plan;
    std::vector<std::string_view> given; // the options named, in order
    std::vector<std::string_view> files;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view a = arguments[i];
        if (a == "--colors") {
            plan.colors = colorsOf(cli::valueOf(arguments, i));
        } else if (a == "--dither" || a == "--no-dither") {
            plan.dither = a == "--dither";
        } else if (a == "--quality") {
            plan.jpeg.quality = cli::wholeNumber(a, cli::valueOf(arguments, i), 100);
            if (plan.jpeg.quality < 1)
                throw ArgumentRefused{"--quality takes 1 to 100, not 0"};
        } else if (a == "--grayscale") {
            plan.jpeg.grayscale = true;
        } else if (a == "--progressive") {
            plan.jpeg.progressive = true;
        } else if (a == "--interlaced") {
            plan.interlaced = true;
        } else if (a == "--transparent") {
            plan.transparent = cli::rgbOption(a, cli::valueOf(arguments, i));
        } else if (a == "--frame") {
            plan.frame = cli::wholeNumber(a, cli::valueOf(arguments, i), 65535);
            if (plan.frame < 1)
                throw ArgumentRefused{"--frame counts from 1"};
        } else if (a.starts_with("--")) {
            throw ArgumentRefused{"unknown option " + cli::quoted(a)};
        } else {
            files.push_back(a);
            continue;
        }
        given.push_back(a);
    }
    if (files.size() != 2)
        throw ArgumentRefused{"convert takes an input file and an output file"};
    plan.input = files[0];
    plan.output = files[1];
    plan.inputType = fileTypeOf(plan.input, "input");
    plan.outputType = fileTypeOf(plan.output, "output");
    for (const std::string_view option : given)
        if (!appliesTo(option, plan.outputType))
            throw ArgumentRefused{std::string(option) + " does not apply to the output format"};
    const bool adaptive = plan.colors == Colors::Adaptive;
    if (adaptive && plan.outputType == ImageFileType::Icon)
        throw ArgumentRefused{"--colors adaptive applies to GIF, BMP and PNG output"};
    for (const std::string_view option : given)
        if (!adaptive && (option == "--dither" || option == "--no-dither"))
            throw ArgumentRefused{std::string(option) + " goes with --colors adaptive"};
    for (const std::string_view option : given)
        if (option == "--frame" && plan.inputType != ImageFileType::Gif)
            throw ArgumentRefused{"--frame applies to a GIF input file"};
    return plan;
}

bool runsWithoutQt(const Plan &plan)
{
    const bool reads = plan.inputType == ImageFileType::Bitmap || plan.inputType == ImageFileType::Jpeg
        || plan.inputType == ImageFileType::Png;
    const bool writes = plan.outputType == ImageFileType::Jpeg || plan.outputType == ImageFileType::Bitmap
        || plan.outputType == ImageFileType::Png;
    return reads && writes;
}

std::string run(const Plan &plan)
{
    const PixelBuffer picture = plan.inputType == ImageFileType::Jpeg ? loadJpegFile(plan.input)
        : plan.inputType == ImageFileType::Png                      ? loadPngFile(plan.input)
                                                                    : loadBmpFile(plan.input);
    const std::string size = std::to_string(picture.width()) + " x " + std::to_string(picture.height()) + ", ";
    if (plan.outputType == ImageFileType::Jpeg) {
        writePictureFile(plan.output, [&] { return encodeJpegFile(picture, plan.jpeg); });
        return size + "JPEG quality " + std::to_string(plan.jpeg.quality) + (plan.jpeg.grayscale ? ", grey" : "")
            + (plan.jpeg.progressive ? ", progressive" : "");
    }
    const PixelBuffer written = plan.colors == Colors::Monochrome ? toIndexedColors(picture, IndexedColors::Monochrome)
        : plan.colors == Colors::Colors16                          ? toIndexedColors(picture, IndexedColors::Colors16)
        : plan.colors == Colors::Colors256                         ? toIndexedColors(picture, IndexedColors::Colors256)
        : plan.colors == Colors::Adaptive                          ? toAdaptiveColors(picture, plan.dither)
                                                                   : picture;
    writePictureFile(plan.output, [&] {
        return plan.outputType == ImageFileType::Png ? encodePngFile(written) : encodeBmpFile(written);
    });
    return size + std::to_string(written.depth()) + " bits per pixel";
}

bool writesToStandardOutput(const std::string &output)
{
    try {
        return files::FileWriter(output).Descriptor() == 1;
    } catch (const files::FileError &) {
        return false;
    }
}

} // namespace kaptiv::convert
