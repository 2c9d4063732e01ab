// Feeds arbitrary bytes to the bitmap file reader. It either refuses them with its message or
// gives a bitmap within the pixel limit it was given (run lengths may draw many pixels from few
// bytes) that writes back out to the same pixels.

#include "formats/BmpCodec.h"
#include "platform/ui/Errors.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    constexpr std::uint64_t MaxPixels = std::uint64_t(1) << 22; // keeps one run fast; the limit is tested apart
    kaptiv::Bitmap bitmap;
    try {
        bitmap = kaptiv::decodeBmp(bytes, MaxPixels);
    } catch (const kaptiv::EOpenFile &) {
        return 0;
    }
    if (std::uint64_t(bitmap.width()) * std::uint64_t(bitmap.height()) > MaxPixels)
        std::abort();
    if (kaptiv::decodeBmp(kaptiv::encodeBmp(bitmap)).toRgb32() != bitmap.toRgb32())
        std::abort();
    return 0;
}
