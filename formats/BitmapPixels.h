#pragma once
// The windowed program's edge to the codec core (formats/core): its bitmaps as pixel buffers and
// back, sharing the memory (both lay the pixels out as QImage does), and the core's errors as the
// errors the program shows.

#include "formats/core/CodecError.h"
#include "formats/core/PixelBuffer.h"
#include "platform/files/NativeNames.h"
#include "platform/pixels/Bitmap.h"
#include "platform/ui/Errors.h"

#include <span>

namespace kaptiv {

// The bitmap's pixels, not copied (a premultiplied image, which the core has no format for, is
// converted first).
PixelBuffer pixelsOf(const Bitmap &bitmap);
// A bitmap of the buffer's pixels, not copied: the image keeps the buffer's memory alive.
Bitmap bitmapOf(const PixelBuffer &pixels);

inline std::span<const std::uint8_t> bytesOf(const QByteArray &bytes)
{
    return {reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size())};
}

// Runs `operation`; a CodecError it raises becomes EOpenFile, EGIFError or EOutOfMemory with its
// message (a file name in it keeps its bytes).
template <typename Operation>
decltype(auto) reportingCodecErrors(Operation &&operation)
{
    try {
        return operation();
    } catch (const CodecError &error) {
        if (error.kind() == CodecError::Kind::OutOfMemory)
            throw EOutOfMemory(decodeNativeName(error.what()));
        if (error.kind() == CodecError::Kind::Gif)
            throw EGIFError(decodeNativeName(error.what()));
        throw EOpenFile(decodeNativeName(error.what()));
    }
}

} // namespace kaptiv
