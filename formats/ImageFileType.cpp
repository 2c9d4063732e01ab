#include "formats/ImageFileType.h"

namespace kaptiv {

// The extensions are plain ASCII, so the name's UTF-8 bytes answer as its characters would.
ImageFileType imageFileTypeOf(const QString &fileName) { return imageFileTypeOfName(fileName.toUtf8().toStdString()); }

} // namespace kaptiv
