#pragma once
// What both cursor reader fuzzers check. A reader either refuses the bytes with its message or
// gives a cursor of at most 256 x 256 pixels, which is then stamped into a picture across a corner,
// so that drawing it is exercised as well.

#include "formats/CursorCodec.h"
#include "platform/pixels/CursorStamp.h"
#include "platform/ui/Errors.h"

#include <cstdlib>

inline int fuzzCursorReader(kaptiv::CursorImage (*decode)(const QByteArray &), const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    kaptiv::CursorImage cursor;
    try {
        cursor = decode(bytes);
    } catch (const kaptiv::EOpenFile &) {
        return 0;
    }
    const QImage &image = cursor.image;
    if (image.isNull() || image.width() > kaptiv::MaxCursorSize || image.height() > kaptiv::MaxCursorSize)
        std::abort();
    if (!cursor.invert.isNull() && cursor.invert.size() != image.size())
        std::abort();
    QImage white(40, 30, QImage::Format_RGB32);
    white.fill(Qt::white);
    kaptiv::Bitmap picture(white, 24);
    kaptiv::stampCursor(picture, cursor, QPoint(25, -3));
    return 0;
}
