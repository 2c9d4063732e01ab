#pragma once
// Cursor files made byte by byte: one image with its mask, and animated cursors of RIFF chunks.

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QtEndian>

#include <vector>

namespace kaptiv::testing {

// Writes `bytes` to `path`; the path, or an empty string when it could not be written.
inline QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size() ? path : QString();
}

inline QByteArray le(quint32 v, int bytes = 4)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b.left(bytes);
}

// A cursor file of one image at 24 or 32 bits (32: with the pixels' alpha); `masked` pixels have
// their mask bit set. The hot spot is at (1, 2).
inline QByteArray cursorFile(const QImage &pixels, int bits, const std::vector<QPoint> &masked = {})
{
    const int w = pixels.width(), h = pixels.height(), colourRow = (w * bits + 31) / 32 * 4, maskRow = (w + 31) / 32 * 4;
    QByteArray image = le(40) + le(w) + le(2 * h) + le(1, 2) + le(bits, 2) + QByteArray(24, '\0');
    QByteArray mask(maskRow * h, '\0');
    for (int y = h - 1; y >= 0; --y) { // bottom-up
        QByteArray row(colourRow, '\0');
        for (int x = 0; x < w; ++x)
            row.replace(x * bits / 8, bits / 8, le(pixels.pixel(x, y), bits / 8));
        image += row;
    }
    for (QPoint p : masked)
        mask[(h - 1 - p.y()) * maskRow + p.x() / 8] = char(mask[(h - 1 - p.y()) * maskRow + p.x() / 8] | (0x80 >> (p.x() & 7)));
    return le(0, 2) + le(2, 2) + le(1, 2) + char(w) + char(h) + le(0, 2) + le(1, 2) + le(2, 2) + le(image.size() + mask.size())
        + le(22) + image + mask;
}

inline QByteArray riffChunk(const char *id, const QByteArray &data)
{
    return QByteArray(id, 4) + le(data.size()) + data + (data.size() & 1 ? QByteArray(1, '\0') : QByteArray());
}

// An animated cursor of `frames` (whole cursor files) shown in `sequence` order when one is given;
// `extra` chunks come after the header.
inline QByteArray animatedCursor(const std::vector<QByteArray> &frames, const std::vector<quint32> &sequence = {},
                                 const QByteArray &extra = {})
{
    QByteArray body = "ACON" + riffChunk("anih", le(36) + le(frames.size()) + QByteArray(20, '\0') + le(10) + le(1)) + extra;
    QByteArray seq, list("fram");
    for (quint32 step : sequence)
        seq += le(step);
    if (!sequence.empty())
        body += riffChunk("seq ", seq);
    for (const QByteArray &frame : frames)
        list += riffChunk("icon", frame);
    body += riffChunk("LIST", list);
    return "RIFF" + le(body.size()) + body;
}

// A 4 x 4 cursor of plain red at 24 bits, written to `path`.
inline QString writeRedCursor(const QString &path)
{
    QImage red(4, 4, QImage::Format_ARGB32);
    red.fill(Qt::red);
    return writeFile(path, cursorFile(red, 24));
}

} // namespace kaptiv::testing
