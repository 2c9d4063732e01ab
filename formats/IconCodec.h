#pragma once
// Icon files. Written: the standard icon, one 32 x 32 image at 4 bits with the 16 VGA colours and
// a mask, 766 bytes. Read: any icon file (images at 1 to 32 bits or PNG-compressed); the image
// nearest 32 x 32 is drawn on white at 32 x 32 and reduced to the 16 VGA colours.

#include "formats/BmpCodec.h"
#include "platform/pixels/Bitmap.h"
#include "platform/desktop/Desktop.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace kaptiv {

inline constexpr int StandardIconSize = 32;

// Raises EIcon "Image must be 32x32 pixels and at most 16 colors in order to save as a standard
// icon." unless the picture is 32 x 32 at 4 bits or fewer.
void checkStandardIcon(const Bitmap &picture);

// The icon file of `picture`: its pixels in the 16 VGA colours, the mask set where a pixel is
// `transparent` (when none is given, the colour of the bottom-left pixel). Masked pixels are
// written black, so that every program draws the background there. Raises as checkStandardIcon.
QByteArray encodeIcon(const Bitmap &picture, std::optional<QRgb> transparent = std::nullopt);
// Writes through the one file writer; raises as encodeIcon, and EOpenFile naming the file.
void saveIcon(const Bitmap &picture, const QString &path, std::optional<QRgb> transparent = std::nullopt);

// The image of an icon or cursor file (its type 1 or 2) that the desktop picks for a place of
// `size` x `size` pixels (the nearest size, then the most colours), as the desktop draws it: its
// colours, its mask (which makes pixels clear or inverts what lies beneath), or a 32-bit image's
// alpha. The hot spot is a cursor's own, the centre of an icon. Raises EOpenFile "Icon image is not
// valid." for bytes it cannot read, EOutOfMemory when memory runs out.
CursorImage decodeIconImage(const QByteArray &bytes, int size, std::uint64_t maxPixels = MaxPicturePixels);

// A 32 x 32 4-bit picture of the icon as the desktop draws it on white: transparent parts white,
// parts the mask inverts inverted. Raises EOpenFile "Icon image is not valid." for bytes that are
// not an icon file this program can read, EOutOfMemory when memory runs out.
Bitmap decodeIcon(const QByteArray &bytes, std::uint64_t maxPixels = MaxPicturePixels);
// Reads the file through the one file reader (a regular file of at most 1 GiB beginning 00 00 01
// 00); every message names the file.
Bitmap loadIcon(const QString &path);

} // namespace kaptiv
