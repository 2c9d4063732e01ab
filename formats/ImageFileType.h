#pragma once
// Which codec a file name calls for (the rule: formats/ImageFileName.h).

#include "formats/ImageFileName.h"

#include <QString>

namespace kaptiv {

ImageFileType imageFileTypeOf(const QString &fileName);

} // namespace kaptiv
