#pragma once
// Which codec a file name calls for. The extension is the part of the name from its last "." on,
// after the last "/". Its first four characters are compared exactly, letter case included, with
// ".bmp", ".gif", ".jpg", ".ico" and ".png", so ".gifx" is GIF and ".GIF" is none; ".jpeg" is JPEG.
// Nothing in the file is looked at.

#include <QString>

namespace kaptiv {

enum class ImageFileType { None, Bitmap, Gif, Jpeg, Icon, Png };

ImageFileType imageFileTypeOf(const QString &fileName);

} // namespace kaptiv
