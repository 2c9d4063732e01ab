#include "formats/ImageFileType.h"

namespace kaptiv {

ImageFileType imageFileTypeOf(const QString &fileName)
{
    const QString name = fileName.mid(fileName.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return ImageFileType::None;
    const QString extension = name.mid(dot);
    if (extension == QLatin1String(".jpeg"))
        return ImageFileType::Jpeg;
    const QString start = extension.left(4);
    if (start == QLatin1String(".bmp")) return ImageFileType::Bitmap;
    if (start == QLatin1String(".gif")) return ImageFileType::Gif;
    if (start == QLatin1String(".jpg")) return ImageFileType::Jpeg;
    if (start == QLatin1String(".ico")) return ImageFileType::Icon;
    if (start == QLatin1String(".png")) return ImageFileType::Png;
    return ImageFileType::None;
}

} // namespace kaptiv
