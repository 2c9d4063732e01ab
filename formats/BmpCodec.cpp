#include "formats/BmpCodec.h"

#include "formats/BmpEncoder.h"
#include "formats/ImageFileIo.h"
#include "platform/ui/Errors.h"
#include "platform/pixels/PixelFormats.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstring>

namespace kaptiv {

namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;
constexpr quint32 kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3;

int rowBytes(int width, int depth) { return ((width * depth + 31) / 32) * 4; }

bmp::SourcePixels sourcePixelsOf(const Bitmap &bitmap)
{
    switch (bitmap.image().format()) {
    case QImage::Format_Indexed8: return bmp::SourcePixels::Index8;
    case QImage::Format_RGB16: return bmp::SourcePixels::Words565;
    case QImage::Format_RGB555: return bmp::SourcePixels::Words555;
    case QImage::Format_ARGB32: return bmp::SourcePixels::Argb32;
    default: return bmp::SourcePixels::Xrgb32;
    }
}

// Bounded little-endian reads over the file's bytes.
struct Reader {
    const QByteArray &bytes;
    bool has(qint64 offset, qint64 size) const { return offset >= 0 && size >= 0 && offset + size <= bytes.size(); }
    quint32 u32(qint64 offset) const { return qFromLittleEndian<quint32>(bytes.constData() + offset); }
    qint32 s32(qint64 offset) const { return qFromLittleEndian<qint32>(bytes.constData() + offset); }
    quint16 u16(qint64 offset) const { return qFromLittleEndian<quint16>(bytes.constData() + offset); }
    const uchar *at(qint64 offset) const { return reinterpret_cast<const uchar *>(bytes.constData()) + offset; }
};

[[noreturn]] void invalid() { throw EOpenFile(QStringLiteral("Bitmap image is not valid.")); }

int shiftOf(quint32 mask)
{
    int s = 0;
    while (mask && !(mask & 1)) { mask >>= 1; ++s; }
    return s;
}

} // namespace

QByteArray encodeBmp(const Bitmap &bitmap)
{
    const int depth = bitmap.depth();
    const int w = bitmap.width(), h = bitmap.height();
    const std::optional<std::uint32_t> size = bmp::fileSize(w, h, depth);
    if (!size)
        throw EOpenFile(QStringLiteral("A picture of %1 x %2 pixels at %3 bits is too large for a bitmap file.")
                            .arg(w)
                            .arg(h)
                            .arg(depth));
    QByteArray out(qsizetype(*size), Qt::Uninitialized);
    const QImage &image = bitmap.image();
    const QVector<QRgb> table = bitmap.colorTable();
    bmp::encode({image.constBits(), image.bytesPerLine(), w, h, sourcePixelsOf(bitmap)},
                {depth, {table.constData(), std::size_t(table.size())}},
                {reinterpret_cast<std::uint8_t *>(out.data()), std::size_t(out.size())});
    return out;
}

void saveBmp(const Bitmap &bitmap, const QString &path)
{
    writeImageFile(path, [&] { return encodeBmp(bitmap); });
}

namespace {

// Fills an indexed picture, bottom row first, from run-length codes (8 bits: a byte a pixel; 4 bits:
// two pixels a byte, high nibble first). Pixels the codes never reach keep index 0; codes that
// would draw outside the picture are clipped: the column stops at the row's end, however long the
// runs, and the codes end at the top row. Codes cut off in the middle make the file invalid.
void decodeRunLengths(const Reader &r, qint64 offset, int depth, QImage &image)
{
    const int width = image.width(), height = image.height();
    int x = 0, y = 0; // y counts rows from the bottom; 0 <= x <= width
    auto put = [&](uchar index) { image.scanLine(height - 1 - y)[x++] = index; };
    while (y < height && r.has(offset, 2)) {
        const int count = *r.at(offset), code = *r.at(offset + 1);
        offset += 2;
        if (count > 0) { // a run of one index, or of two alternating nibbles
            for (int i = 0; i < count && x < width; ++i)
                put(depth == 8 ? uchar(code) : uchar((i & 1) ? code & 0x0F : code >> 4));
        } else if (code == 0) { // end of line
            x = 0;
            ++y;
        } else if (code == 1) { // end of picture
            break;
        } else if (code == 2) { // move right and up
            if (!r.has(offset, 2))
                invalid();
            x = std::min(width, x + *r.at(offset));
            y += *r.at(offset + 1);
            offset += 2;
        } else { // `code` pixels given one by one, padded to a whole number of 16-bit words
            const qint64 size = depth == 8 ? code : (code + 1) / 2;
            if (!r.has(offset, size))
                invalid();
            for (int i = 0; i < code && x < width; ++i) {
                const uchar b = *r.at(offset + (depth == 8 ? i : i / 2));
                put(depth == 8 ? b : uchar((i & 1) ? b & 0x0F : b >> 4));
            }
            offset += (size + 1) & ~qint64(1);
        }
    }
}

} // namespace

DibLayout readDibLayout(const QByteArray &bytes, qint64 headerOffset, qint64 pixelsOffset, bool withIconMask,
                        std::uint64_t maxPixels)
{
    const Reader r{bytes};
    if (!r.has(headerOffset, 4))
        invalid();
    const quint32 headerSize = r.u32(headerOffset);
    if (headerSize < kInfoHeaderSize || !r.has(headerOffset, headerSize))
        invalid();
    DibLayout dib;
    const qint32 width = r.s32(headerOffset + 4);
    qint32 rawHeight = r.s32(headerOffset + 8);
    dib.depth = r.u16(headerOffset + 14);
    const quint32 compression = r.u32(headerOffset + 16);
    const quint32 colorsUsed = r.u32(headerOffset + 32);
    if (withIconMask) // the height counts the colour rows and the mask rows below them
        rawHeight /= 2;
    if (width < 0 || width > 65535 || rawHeight == INT32_MIN || std::abs(rawHeight) > 65535)
        invalid();
    dib.width = width;
    dib.height = std::abs(rawHeight);
    dib.topDown = rawHeight < 0;
    if (quint64(dib.width) * quint64(dib.height) > maxPixels)
        invalid();
    const int depth = dib.depth;
    if (depth != 1 && depth != 4 && depth != 8 && depth != 16 && depth != 24 && depth != 32)
        invalid();
    dib.runLengths = (compression == kBiRle8 && depth == 8) || (compression == kBiRle4 && depth == 4);
    const bool bitFields = compression == kBiBitfields && (depth == 16 || depth == 32);
    if (compression != kBiRgb && !dib.runLengths && !bitFields)
        invalid();
    if ((dib.runLengths && withIconMask) || (dib.topDown && (dib.runLengths || withIconMask)))
        invalid();

    dib.tableOffset = headerOffset + headerSize;
    if (bitFields) { // the masks end a longer header, or follow a short one
        const qint64 maskOffset = headerSize >= 52 ? headerOffset + kInfoHeaderSize : dib.tableOffset;
        if (!r.has(maskOffset, 12))
            invalid();
        for (int i = 0; i < 3; ++i)
            dib.masks[i] = r.u32(maskOffset + 4 * i);
        if (headerSize == kInfoHeaderSize)
            dib.tableOffset += 12;
    } else if (depth == 16) {
        dib.masks = {0x7C00, 0x03E0, 0x001F};
    } else if (depth == 32) {
        dib.masks = {0xFF0000, 0xFF00, 0xFF};
    }
    if (depth <= 8) {
        const int maxColors = 1 << depth;
        dib.tableEntries = colorsUsed == 0 || colorsUsed > quint32(maxColors) ? maxColors : int(colorsUsed);
        if (!r.has(dib.tableOffset, qint64(dib.tableEntries) * 4))
            invalid();
    }
    dib.pixelsOffset = pixelsOffset >= 0 ? pixelsOffset : dib.tableOffset + qint64(dib.tableEntries) * 4;
    dib.rowBytes = rowBytes(dib.width, depth);
    if (!dib.runLengths && !r.has(dib.pixelsOffset, dib.rowBytes * dib.height))
        invalid();
    dib.maskOffset = dib.pixelsOffset + dib.rowBytes * dib.height;
    dib.maskRowBytes = rowBytes(dib.width, 1);
    return dib;
}

namespace {

// The stored row that holds the picture's row `y`.
const uchar *storedRow(const Reader &r, const DibLayout &dib, int y)
{
    return r.at(dib.pixelsOffset + dib.rowBytes * (dib.topDown ? y : dib.height - 1 - y));
}

QVector<QRgb> colourTable(const Reader &r, const DibLayout &dib)
{
    QVector<QRgb> table(1 << dib.depth, qRgb(0, 0, 0)); // entries the file leaves out are black
    for (int i = 0; i < dib.tableEntries; ++i) {
        const uchar *e = r.at(dib.tableOffset + 4 * i);
        table[i] = qRgb(e[2], e[1], e[0]);
    }
    return table;
}

void decodeIndexedRows(const Reader &r, const DibLayout &dib, QImage &image)
{
    for (int y = 0; y < dib.height; ++y) {
        const uchar *row = storedRow(r, dib, y);
        uchar *out = image.scanLine(y);
        for (int x = 0; x < dib.width; ++x)
            out[x] = dib.depth == 8 ? row[x]
                : dib.depth == 4    ? uchar((row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F)
                                    : uchar((row[x >> 3] >> (7 - (x & 7))) & 1);
    }
}

// 16, 24 and 32 bits. Pixels of 5-6-5 or 5-5-5 masks are kept as they are; other masks are scaled
// to 8 bits a channel and stored at the picture's depth.
Bitmap decodeDirectRows(const Reader &r, const DibLayout &dib)
{
    const std::array<quint32, 3> &masks = dib.masks;
    const bool words565 = dib.depth == 16 && masks == std::array<quint32, 3>{0xF800, 0x07E0, 0x001F};
    const bool words555 = dib.depth == 16 && masks == std::array<quint32, 3>{0x7C00, 0x03E0, 0x001F};
    Bitmap bitmap = words555 ? Bitmap(allocateImage(dib.width, dib.height, QImage::Format_RGB555), 16)
                             : Bitmap::create(dib.width, dib.height, dib.depth);
    int shifts[3], maxima[3];
    for (int i = 0; i < 3; ++i) {
        shifts[i] = shiftOf(masks[i]);
        maxima[i] = masks[i] ? int(masks[i] >> shifts[i]) : 1;
    }
    for (int y = 0; y < dib.height; ++y) {
        const uchar *row = storedRow(r, dib, y);
        uchar *out = bitmap.image().scanLine(y);
        if (words565 || words555) {
            for (int x = 0; x < dib.width; ++x)
                reinterpret_cast<quint16 *>(out)[x] = quint16(row[2 * x] | (row[2 * x + 1] << 8));
            continue;
        }
        for (int x = 0; x < dib.width; ++x) {
            if (dib.depth == 24) {
                reinterpret_cast<QRgb *>(out)[x] = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
                continue;
            }
            const quint32 p = dib.depth == 16 ? quint32(row[2 * x] | (row[2 * x + 1] << 8))
                                              : qFromLittleEndian<quint32>(row + 4 * x);
            int c[3];
            for (int i = 0; i < 3; ++i)
                c[i] = int(quint64((p & masks[i]) >> shifts[i]) * 255 / quint64(maxima[i]));
            if (dib.depth == 16) // other masks: keep the 16-bit depth, stored as 5-6-5
                reinterpret_cast<quint16 *>(out)[x] = quint16(((c[0] >> 3) << 11) | ((c[1] >> 2) << 5) | (c[2] >> 3));
            else
                reinterpret_cast<QRgb *>(out)[x] = qRgb(c[0], c[1], c[2]);
        }
    }
    return bitmap;
}

} // namespace

Bitmap decodeDib(const QByteArray &bytes, const DibLayout &dib)
{
    const Reader r{bytes};
    if (dib.depth > 8)
        return decodeDirectRows(r, dib);
    Bitmap bitmap = Bitmap::create(dib.width, dib.height, dib.depth, colourTable(r, dib));
    if (dib.runLengths)
        decodeRunLengths(r, dib.pixelsOffset, dib.depth, bitmap.image());
    else
        decodeIndexedRows(r, dib, bitmap.image());
    return bitmap;
}

Bitmap decodeBmp(const QByteArray &bytes, std::uint64_t maxPixels)
{
    const Reader r{bytes};
    if (!r.has(0, kFileHeaderSize) || bytes[0] != 'B' || bytes[1] != 'M')
        invalid();
    return decodeDib(bytes, readDibLayout(bytes, kFileHeaderSize, r.u32(10), false, maxPixels));
}

Bitmap loadBmp(const QString &path)
{
    static constexpr std::string_view Signature[] = {"BM"};
    return readImageFile(path, Signature, QStringLiteral("Bitmap image is not valid."),
                         [](const QByteArray &bytes) { return decodeBmp(bytes); });
}

Bitmap bitmapInColorFormat(const Bitmap &picture, BmpColorFormat format)
{
    switch (format) {
    case BmpColorFormat::Monochrome: return convertToColors(picture.toRgb32(), 24, CaptureColors::Monochrome);
    case BmpColorFormat::Colors16: return convertToColors(picture.toRgb32(), 24, CaptureColors::Colors16);
    case BmpColorFormat::Colors256: return convertToColors(picture.toRgb32(), 24, CaptureColors::Colors256);
    case BmpColorFormat::Bits16: return Bitmap(convertImage(picture.toRgb32(), QImage::Format_RGB16), 16);
    case BmpColorFormat::AsIs: break;
    }
    return picture;
}

} // namespace kaptiv
