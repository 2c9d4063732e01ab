#pragma once
// Cursor files: static cursors (an icon file whose directory holds hot spots; images of 1 to 32
// bits with a mask, or PNG-compressed) and animated cursors (a RIFF 'ACON' file whose 'LIST fram'
// holds one cursor file per frame in 'icon' chunks, optionally ordered by a 'seq ' chunk). An
// animated cursor gives the first frame it shows.

#include "platform/desktop/Desktop.h"

#include <QByteArray>
#include <QString>

namespace kaptiv {

// The largest cursor image read: a cursor's directory cannot state more.
inline constexpr int MaxCursorSize = 256;
// A file larger than this is no cursor.
inline constexpr std::uint64_t MaxCursorFileSize = std::uint64_t(64) << 20;

// The image nearest 32 x 32 of a static cursor file (an icon file is taken too, its hot spot in the
// middle). Raises EOpenFile "Invalid cursor format." for bytes it cannot read.
CursorImage decodeCursor(const QByteArray &bytes);
// The first frame an animated cursor shows: the first of its 'seq ' chunk, else its first frame.
// Raises as decodeCursor.
CursorImage decodeAnimatedCursor(const QByteArray &bytes);

// Reads a static or animated cursor file, told apart by its first bytes. Raises EOpenFile "File
// not found!" when there is no file of that name, "Invalid cursor format." for anything that
// cannot be read as a cursor (also a folder, a device, a file that may not be read).
CursorImage loadCursor(const QString &path);

} // namespace kaptiv
