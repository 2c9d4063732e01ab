#include "formats/core/PngFile.h"

#include "formats/core/CodecError.h"
#include "formats/core/PngEncoder.h"

#include <new>
#include <string>

namespace kaptiv {

std::vector<std::uint8_t> encodePngFile(const PixelBuffer &pixels)
{
    const bool indexed = pixels.format() == PixelFormat::Index8;
    try {
        return png::encode({pixels.bits(), pixels.stride(), pixels.width(), pixels.height(), bmp::sourcePixelsOf(pixels.format())},
                           pixels.colorTable(), indexed ? pixels.depth() : 8);
    } catch (const png::EncodeError &error) {
        failFile(std::string("The picture cannot be written as PNG (") + error.what() + ").");
    } catch (const std::bad_alloc &) {
        throw CodecError(CodecError::Kind::OutOfMemory, outOfMemoryText());
    }
}

} // namespace kaptiv
