#include "app/ImageFileType.h"

namespace kaptiv {

ImageFileType imageFileTypeOf(const QString &name)
{
    const qsizetype base = name.lastIndexOf(QLatin1Char('/')) + 1;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < base)
        return ImageFileType::None;
    const QString extension = name.mid(dot);
    if (extension == QLatin1String(".jpeg"))
        return ImageFileType::Jpeg;
    const QString lead = extension.left(4);
    struct Known {
        const char *extension;
        ImageFileType type;
    };
    static constexpr Known known[] = {{".bmp", ImageFileType::Bitmap}, {".gif", ImageFileType::Gif},
                                      {".jpg", ImageFileType::Jpeg},   {".ico", ImageFileType::Icon},
                                      {".png", ImageFileType::Png}};
    for (const Known &k : known)
        if (lead == QLatin1String(k.extension))
            return k.type;
    return ImageFileType::None;
}

} // namespace kaptiv
