#pragma once
// The settings of one GIF frame, as the image windows, the GIF player and the writer exchange them.

#include "platform/pixels/Bitmap.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <string>

namespace kaptiv {

// A colour value as records and options hold it: red in the low byte, then green, then blue.
inline constexpr uint32_t NoColor = 0xFFFFFFFF; // -1: no colour chosen
inline uint32_t colorValueOf(QRgb rgb) { return uint32_t(qRed(rgb)) | uint32_t(qGreen(rgb)) << 8 | uint32_t(qBlue(rgb)) << 16; }
inline QRgb rgbOfColorValue(uint32_t value) { return qRgb(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF); }

struct TFrameInfo {
    // Copying a record shares the picture; whoever still holds a reference keeps it alive.
    std::shared_ptr<kaptiv::Bitmap> Bitmap;
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t Delay = 0; // milliseconds
    bool Interlaced = false;
    bool Transparent = false;
    uint32_t TransparentColor = 0; // red in the low byte; 0xFFFFFFFF (-1) when none was chosen
    uint8_t Disposal = 0;          // 0 none, 1 leave, 2 background, 3 previous
    QString Comment;   // the comment's bytes, one character each (see commentText)
};

// A GIF comment is bytes, whatever its writer meant by them. The record holds them as Latin-1,
// one character per byte, so that they go back to a file unchanged and show as Latin-1.
inline QString commentText(const std::string &bytes)
{
    return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}

// The bytes of a comment: Latin-1, or UTF-8 for a text typed with characters beyond Latin-1,
// which one byte each cannot hold.
inline std::string commentBytes(const QString &comment)
{
    for (const QChar c : comment)
        if (c.unicode() > 0xFF)
            return comment.toStdString();
    return comment.toLatin1().toStdString();
}

} // namespace kaptiv
