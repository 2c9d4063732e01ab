// Feeds arbitrary bytes to the icon reader. It either refuses them with its message or gives the
// 32 x 32 16-colour picture, which the icon writer (white as the clear colour) keeps exactly.

#include "formats/IconCodec.h"
#include "platform/ui/Errors.h"
#include "platform/pixels/PixelFormats.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    constexpr std::uint64_t MaxPixels = std::uint64_t(1) << 22; // keeps one run fast; the limit is tested apart
    kaptiv::Bitmap icon;
    try {
        icon = kaptiv::decodeIcon(bytes, MaxPixels);
    } catch (const kaptiv::EOpenFile &) {
        return 0;
    }
    if (icon.width() != 32 || icon.height() != 32 || icon.depth() != 4 || icon.colorTable() != kaptiv::vgaColors())
        std::abort();
    if (kaptiv::decodeIcon(kaptiv::encodeIcon(icon, qRgb(255, 255, 255))).toRgb32() != icon.toRgb32())
        std::abort();
    return 0;
}
