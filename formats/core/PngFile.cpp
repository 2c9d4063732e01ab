#include "formats/core/PngFile.h"

#include "formats/core/CodecError.h"
#include "formats/core/PngEncoder.h"

#include <new>
#include <string>

namespace kaptiv {

namespace {

bmp::SourcePixels sourcePixelsOf(PixelFormat format)
{
    switch (format) {
    case PixelFormat::Index8: return bmp::SourcePixels::Index8;
    case PixelFormat::Rgb565: return bmp::SourcePixels::Words565;
    case PixelFormat::Rgb555: return bmp::SourcePixels::Words555;
    case PixelFormat::Argb32: return bmp::SourcePixels::Argb32;
    case PixelFormat::Bgr24: return bmp::SourcePixels::Bgr24;
    case PixelFormat::Xrgb32: break;
    }
    return bmp::SourcePixels::Xrgb32;
}

} // namespace

std::vector<std::uint8_t> encodePngFile(const PixelBuffer &pixels)
{
    const bool indexed = pixels.format() == PixelFormat::Index8;
    try {
        return png::encode({pixels.bits(), pixels.stride(), pixels.width(), pixels.height(), sourcePixelsOf(pixels.format())},
                           pixels.colorTable(), indexed ? pixels.depth() : 8);
    } catch (const png::EncodeError &error) {
        failFile(std::string("The picture cannot be written as PNG (") + error.what() + ").");
    } catch (const std::bad_alloc &) {
        throw CodecError(CodecError::Kind::OutOfMemory, outOfMemoryText());
    }
}

} // namespace kaptiv
