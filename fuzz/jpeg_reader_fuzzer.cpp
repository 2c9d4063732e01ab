// Feeds arbitrary bytes to the JPEG reader. It either refuses them with its message or gives a
// 24-bit picture of the size the file declares, which the writer takes and the reader reads back.

#include "formats/JpegCodec.h"
#include "platform/ui/Errors.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    constexpr std::uint64_t MaxPixels = std::uint64_t(1) << 22; // keeps one run fast; the limit is tested apart
    kaptiv::Bitmap bitmap;
    try {
        bitmap = kaptiv::decodeJpeg(bytes, MaxPixels);
    } catch (const kaptiv::EOpenFile &) {
        return 0;
    }
    if (bitmap.depth() != 24 || bitmap.isNull() || bitmap.image().format() != QImage::Format_RGB32)
        std::abort();
    const kaptiv::Bitmap again = kaptiv::decodeJpeg(kaptiv::encodeJpeg(bitmap, {50, false, true}));
    if (again.width() != bitmap.width() || again.height() != bitmap.height())
        std::abort();
    return 0;
}
