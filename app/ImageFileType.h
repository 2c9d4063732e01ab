#pragma once
// Which kind of image file a name stands for, told by its extension alone (never its contents).

#include <QString>

namespace kaptiv {

enum class ImageFileType { None, Bitmap, Gif, Jpeg, Icon, Png };

// The extension runs from the last "." of the file-name part to the end. ".jpeg" is JPEG;
// otherwise its first four characters decide, letter case included: ".bmp", ".gif", ".jpg",
// ".ico", ".png" (so ".gifx" is GIF, and ".GIF" or ".jpe" is none of them).
ImageFileType imageFileTypeOf(const QString &name);

} // namespace kaptiv
