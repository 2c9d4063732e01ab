#include "formats/IconCodec.h"

#include "formats/ImageFileIo.h"
#include "formats/PngCodec.h"
#include "platform/pixels/CursorStamp.h"
#include "platform/ui/Errors.h"
#include "platform/pixels/PixelFormats.h"

#include <QtEndian>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace kaptiv {

namespace {

constexpr int HeaderSize = 6, EntrySize = 16, InfoHeaderSize = 40;
constexpr int ColourRowBytes = StandardIconSize / 2;    // 4 bits a pixel, already a multiple of 4
constexpr int MaskRowBytes = StandardIconSize / 8;      // 1 bit a pixel, likewise
constexpr int ImageDataSize = InfoHeaderSize + 16 * 4 + StandardIconSize * (ColourRowBytes + MaskRowBytes);

[[noreturn]] void invalid() { throw EOpenFile(QStringLiteral("Icon image is not valid.")); }

void put16(QByteArray &out, quint16 v) { out.append(char(v & 0xFF)).append(char(v >> 8)); }
void put32(QByteArray &out, quint32 v)
{
    put16(out, quint16(v & 0xFFFF));
    put16(out, quint16(v >> 16));
}

quint16 u16(const QByteArray &b, qint64 at) { return qFromLittleEndian<quint16>(b.constData() + at); }
quint32 u32(const QByteArray &b, qint64 at) { return qFromLittleEndian<quint32>(b.constData() + at); }

constexpr quint16 IconType = 1, CursorType = 2;

struct Entry {
    int width, height, bits;
    quint32 size, offset;
    QPoint hotSpot;
};

// The bits a pixel of an image as its own header gives them (a PNG counts as 32): a cursor's
// directory holds its hot spot where an icon's gives the bits.
int ownBits(const QByteArray &bytes, quint32 offset, quint32 size)
{
    if (size >= 8 && offset <= quint64(bytes.size()) - 8 && bytes.mid(offset, 4) == "\x89PNG")
        return 32;
    if (size >= 16 && offset <= quint64(bytes.size()) - 16)
        return u16(bytes, offset + 14);
    return 0;
}

// Whether the image's own header declares more than 256 pixels either way, the most an icon or
// cursor image can be: such an entry is no icon image (and could make the reader decode a huge
// picture to draw a small one).
bool beyondIconSize(const QByteArray &bytes, quint32 offset, quint32 size)
{
    constexpr qint64 MaxSide = 256;
    const qint64 end = qint64(offset) + std::min<qint64>(size, 24);
    if (end > bytes.size())
        return false; // too short to tell; read as it is, when chosen
    const char *at = bytes.constData() + offset;
    if (size >= 4 && std::memcmp(at, "\x89PNG", 4) == 0) // the IHDR chunk's width and height
        return size >= 24 && (qFromBigEndian<quint32>(at + 16) > MaxSide || qFromBigEndian<quint32>(at + 20) > MaxSide);
    if (size >= 16) { // a bitmap's header: the height counts the colour rows and the mask rows
        const qint64 width = qFromLittleEndian<qint32>(at + 4), height = qFromLittleEndian<qint32>(at + 8);
        return std::abs(width) > MaxSide || std::abs(height) / 2 > MaxSide;
    }
    return false;
}

// The image the desktop would pick for a place of `size` x `size`: the nearest size, then the
// most colours.
Entry nearestEntry(const QByteArray &bytes, int size)
{
    const int count = u16(bytes, 4);
    if (count == 0 || bytes.size() < HeaderSize + qint64(count) * EntrySize)
        invalid();
    const bool cursor = u16(bytes, 2) == CursorType;
    Entry best{};
    int bestDistance = -1;
    for (int i = 0; i < count; ++i) {
        const qint64 at = HeaderSize + qint64(i) * EntrySize;
        const uchar *e = reinterpret_cast<const uchar *>(bytes.constData() + at);
        Entry entry{e[0] ? e[0] : 256, e[1] ? e[1] : 256, 0, u32(bytes, at + 8), u32(bytes, at + 12), {}};
        entry.bits = cursor ? ownBits(bytes, entry.offset, entry.size) : u16(bytes, at + 6);
        if (cursor)
            entry.hotSpot = QPoint(u16(bytes, at + 4), u16(bytes, at + 6));
        if (beyondIconSize(bytes, entry.offset, entry.size))
            continue;
        const int distance = std::abs(entry.width - size) + std::abs(entry.height - size);
        if (bestDistance < 0 || distance < bestDistance || (distance == bestDistance && entry.bits > best.bits)) {
            best = entry;
            bestDistance = distance;
        }
    }
    if (bestDistance < 0) // every entry was too large
        invalid();
    if (best.offset > quint64(bytes.size()) || best.size > quint64(bytes.size()) - best.offset)
        invalid();
    return best;
}

// A device-independent bitmap with its mask: where the mask is set the colour inverts what lies
// beneath (black leaves it as it is), elsewhere the colour covers it. A 32-bit image with an alpha
// channel is blended by its alpha instead, and its mask is not used.
CursorImage dibImage(const QByteArray &image, std::uint64_t maxPixels)
{
    const DibLayout dib = readDibLayout(image, 0, -1, true, maxPixels);
    const Bitmap colour = decodeDib(image, dib);
    const int w = dib.width, h = dib.height;
    const qint64 colourStart = dib.pixelsOffset, colourRow = dib.rowBytes;
    const qint64 maskStart = dib.maskOffset, maskRow = dib.maskRowBytes;
    const bool hasMask = maskStart + maskRow * h <= image.size();

    bool hasAlpha = false;
    if (dib.depth == 32)
        for (int y = 0; y < h && !hasAlpha; ++y)
            for (int x = 0; x < w && !hasAlpha; ++x)
                hasAlpha = uchar(image[colourStart + colourRow * y + 4 * x + 3]) != 0;

    const QImage pixels = colour.toRgb32();
    CursorImage out;
    out.image = allocateImage(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y) {
        const qint64 fileRow = h - 1 - y; // both bottom-up
        const QRgb *in = reinterpret_cast<const QRgb *>(pixels.constScanLine(y));
        QRgb *row = reinterpret_cast<QRgb *>(out.image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const QRgb c = in[x] & 0x00FFFFFFu;
            if (hasAlpha) {
                row[x] = c | QRgb(uchar(image[colourStart + colourRow * fileRow + 4 * x + 3])) << 24;
            } else if (hasMask && (uchar(image[maskStart + maskRow * fileRow + x / 8]) & (0x80 >> (x & 7)))) {
                row[x] = 0; // nothing covers the picture here
                if (c != 0) {
                    if (out.invert.isNull()) {
                        out.invert = allocateImage(w, h, QImage::Format_RGB32);
                        out.invert.fill(0);
                    }
                    reinterpret_cast<QRgb *>(out.invert.scanLine(y))[x] = c | 0xFF000000u;
                }
            } else {
                row[x] = c | 0xFF000000u;
            }
        }
    }
    return out;
}

CursorImage pngImage(const QByteArray &image, std::uint64_t maxPixels)
{
    CursorImage out;
    out.image = convertImage(decodePng(image, maxPixels).image(), QImage::Format_ARGB32);
    return out;
}

} // namespace

void checkStandardIcon(const Bitmap &picture)
{
    if (picture.width() != StandardIconSize || picture.height() != StandardIconSize || picture.depth() > 4)
        throw EIcon(QStringLiteral("Image must be 32x32 pixels and at most 16 colors in order to save as a standard icon."));
}

QByteArray encodeIcon(const Bitmap &picture, std::optional<QRgb> transparent)
{
    checkStandardIcon(picture);
    const QImage rgb = picture.toRgb32();
    const QRgb clear = (transparent ? *transparent : rgb.pixel(0, StandardIconSize - 1)) & 0x00FFFFFFu;

    QByteArray out;
    out.reserve(HeaderSize + EntrySize + ImageDataSize);
    put16(out, 0); // reserved
    put16(out, 1); // an icon
    put16(out, 1); // one image
    out.append(char(StandardIconSize)).append(char(StandardIconSize));
    put16(out, 1 * 4); // planes x bits a pixel, where the colour count and reserved bytes stand
    put16(out, 0);     // planes
    put16(out, 0);     // bits a pixel
    put32(out, ImageDataSize);
    put32(out, HeaderSize + EntrySize);

    put32(out, InfoHeaderSize);
    put32(out, StandardIconSize);
    put32(out, 2 * StandardIconSize); // the colour rows and the mask rows
    put16(out, 1);
    put16(out, 4);
    put32(out, 0); // uncompressed
    put32(out, StandardIconSize * (ColourRowBytes + MaskRowBytes));
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    for (QRgb c : vgaColors())
        out.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c))).append('\0');

    QByteArray colour(StandardIconSize * ColourRowBytes, '\0'), mask(StandardIconSize * MaskRowBytes, '\0');
    const NearestColorMap &vga = vgaColorMap();
    for (int y = 0; y < StandardIconSize; ++y) {
        const int fileRow = StandardIconSize - 1 - y;
        for (int x = 0; x < StandardIconSize; ++x) {
            const QRgb p = rgb.pixel(x, y) & 0x00FFFFFFu;
            if (p == clear) {
                mask[fileRow * MaskRowBytes + x / 8] = char(mask[fileRow * MaskRowBytes + x / 8] | (0x80 >> (x & 7)));
                continue; // black under the mask
            }
            const uchar index = vga.indexOf(p | 0xFF000000u);
            colour[fileRow * ColourRowBytes + x / 2] = char(colour[fileRow * ColourRowBytes + x / 2] | (index << ((x & 1) ? 0 : 4)));
        }
    }
    out.append(colour).append(mask);
    return out;
}

void saveIcon(const Bitmap &picture, const QString &path, std::optional<QRgb> transparent)
{
    checkStandardIcon(picture); // refused before the file is touched
    writeImageFile(path, [&] { return encodeIcon(picture, transparent); });
}

CursorImage decodeIconImage(const QByteArray &bytes, int size, std::uint64_t maxPixels)
{
    if (bytes.size() < HeaderSize || u16(bytes, 0) != 0 || (u16(bytes, 2) != IconType && u16(bytes, 2) != CursorType))
        invalid();
    const Entry entry = nearestEntry(bytes, size);
    const QByteArray image = bytes.mid(entry.offset, entry.size);
    CursorImage drawn;
    try {
        drawn = image.startsWith("\x89PNG") ? pngImage(image, maxPixels) : dibImage(image, maxPixels);
    } catch (const EOpenFile &) { // the bitmap or PNG reader's message would mislead
        invalid();
    }
    if (drawn.image.isNull()) // an image without pixels: nothing to draw
        invalid();
    drawn.hotSpot = u16(bytes, 2) == CursorType ? entry.hotSpot : QPoint(drawn.image.width() / 2, drawn.image.height() / 2);
    return drawn;
}

Bitmap decodeIcon(const QByteArray &bytes, std::uint64_t maxPixels)
{
    if (bytes.size() < HeaderSize || u16(bytes, 2) != IconType)
        invalid();
    const CursorImage icon = decodeIconImage(bytes, StandardIconSize, maxPixels);
    QImage white = allocateImage(icon.image.width(), icon.image.height(), QImage::Format_RGB32);
    white.fill(Qt::white);
    Bitmap drawn(white, 24);
    stampCursor(drawn, icon, QPoint(0, 0));
    QImage standard = drawn.image();
    if (standard.width() != StandardIconSize || standard.height() != StandardIconSize) {
        standard = standard.scaled(StandardIconSize, StandardIconSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (standard.isNull())
            throw EOutOfMemory(outOfMemoryMessage());
        standard = convertImage(standard, QImage::Format_RGB32);
    }
    return convertToColors(standard, 24, CaptureColors::Colors16);
}

Bitmap loadIcon(const QString &path)
{
    static constexpr std::string_view Signature[] = {std::string_view("\0\0\1\0", 4)};
    return readImageFile(path, Signature, QStringLiteral("Icon image is not valid."),
                         [](const QByteArray &bytes) { return decodeIcon(bytes); });
}

} // namespace kaptiv
