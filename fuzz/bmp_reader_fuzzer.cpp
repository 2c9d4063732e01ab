// Feeds arbitrary bytes to the bitmap file reader. It either refuses them with its message or
// gives a bitmap that fits in the bytes it was given and writes back out to the same pixels.

#include "formats/BmpCodec.h"
#include "platform/Errors.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    kaptiv::Bitmap bitmap;
    try {
        bitmap = kaptiv::decodeBmp(bytes);
    } catch (const kaptiv::EOpenFile &) {
        return 0;
    }
    if (qint64(bitmap.width()) * bitmap.height() > qint64(size) * 8)
        std::abort();
    if (kaptiv::decodeBmp(kaptiv::encodeBmp(bitmap)).toRgb32() != bitmap.toRgb32())
        std::abort();
    return 0;
}
