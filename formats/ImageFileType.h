#pragma once
// Which codec a file name calls for (the rule: formats/core/ImageFileName.h).

#include "formats/core/ImageFileName.h"

#include <QString>

namespace kaptiv {

ImageFileType imageFileTypeOf(const QString &fileName);

} // namespace kaptiv
