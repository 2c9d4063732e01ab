#pragma once
// Which codec a file name calls for, on the name's bytes: plain C++, so that the command-line front
// reads names by the same rule. The extension is the part of the name from its last "." on, after
// the last "/". Its first four characters are compared exactly, letter case included, with
// ".bmp", ".gif", ".jpg", ".ico" and ".png", so ".gifx" is GIF and ".GIF" is none; ".jpeg" is JPEG.
// Nothing in the file is looked at.

#include <string_view>

namespace kaptiv {

enum class ImageFileType { None, Bitmap, Gif, Jpeg, Icon, Png };

constexpr ImageFileType imageFileTypeOfName(std::string_view fileName)
{
    const std::string_view name = fileName.substr(fileName.find_last_of('/') + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos)
        return ImageFileType::None;
    const std::string_view extension = name.substr(dot);
    if (extension == ".jpeg")
        return ImageFileType::Jpeg;
    const std::string_view start = extension.substr(0, 4);
    return start == ".bmp" ? ImageFileType::Bitmap
        : start == ".gif"  ? ImageFileType::Gif
        : start == ".jpg"  ? ImageFileType::Jpeg
        : start == ".ico"  ? ImageFileType::Icon
        : start == ".png"  ? ImageFileType::Png
                           : ImageFileType::None;
}

} // namespace kaptiv
