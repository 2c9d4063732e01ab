#include "formats/CursorCodec.h"

#include "formats/IconCodec.h"
#include "platform/Errors.h"
#include "platform/FileAccess.h"
#include "platform/NativeNames.h"

#include <QtEndian>

#include <optional>
#include <system_error>
#include <vector>

namespace kaptiv {

namespace {

[[noreturn]] void invalid() { throw EOpenFile(QStringLiteral("Invalid cursor format.")); }

constexpr int CursorPlaceSize = 32; // the size the desktop draws a cursor at
constexpr qint64 AnimationHeaderSize = 36;

quint32 u32(const QByteArray &b, qint64 at) { return qFromLittleEndian<quint32>(b.constData() + at); }

struct Chunk {
    QByteArray id;
    qint64 data, size;
};

// The chunks between `from` and `to`, each padded to an even length; a chunk running past `to`
// makes the file unreadable.
std::vector<Chunk> chunksOf(const QByteArray &bytes, qint64 from, qint64 to)
{
    std::vector<Chunk> chunks;
    for (qint64 at = from; at + 8 <= to;) {
        const qint64 size = u32(bytes, at + 4);
        if (size > to - at - 8)
            invalid();
        chunks.push_back({bytes.mid(at, 4), at + 8, size});
        at += 8 + size + (size & 1);
    }
    return chunks;
}

} // namespace

CursorImage decodeCursor(const QByteArray &bytes)
{
    CursorImage cursor;
    try {
        cursor = decodeIconImage(bytes, CursorPlaceSize, quint64(MaxCursorSize) * MaxCursorSize);
    } catch (const EOpenFile &) {
        invalid();
    }
    if (cursor.image.width() > MaxCursorSize || cursor.image.height() > MaxCursorSize)
        invalid();
    return cursor;
}

CursorImage decodeAnimatedCursor(const QByteArray &bytes)
{
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "ACON")
        invalid();
    // Some writers count the RIFF size wrongly; the chunks themselves must lie within the file.
    const qint64 end = std::min<qint64>(bytes.size(), 8 + qint64(u32(bytes, 4)));
    bool hasHeader = false;
    std::optional<quint32> firstShown;
    std::vector<Chunk> frames;
    for (const Chunk &chunk : chunksOf(bytes, 12, end)) {
        if (chunk.id == "anih") {
            if (chunk.size < AnimationHeaderSize)
                invalid();
            hasHeader = true;
        } else if (chunk.id == "seq ") {
            if (chunk.size < 4)
                invalid();
            firstShown = u32(bytes, chunk.data);
        } else if (chunk.id == "LIST" && chunk.size >= 4 && bytes.mid(chunk.data, 4) == "fram") {
            for (const Chunk &frame : chunksOf(bytes, chunk.data + 4, chunk.data + chunk.size))
                if (frame.id == "icon")
                    frames.push_back(frame);
        }
    }
    const quint32 shown = firstShown.value_or(0);
    if (!hasHeader || shown >= frames.size())
        invalid();
    return decodeCursor(bytes.mid(frames[shown].data, frames[shown].size));
}

CursorImage loadCursor(const QString &path)
{
    std::error_code error;
    const std::filesystem::path file = nativePath(path);
    if (std::filesystem::status(file, error).type() == std::filesystem::file_type::not_found)
        throw EOpenFile(QStringLiteral("File not found!"));
    static constexpr std::string_view Signatures[] = {"RIFF", std::string_view("\0\0\2\0", 4),
                                                       std::string_view("\0\0\1\0", 4)};
    std::optional<std::vector<std::uint8_t>> read;
    try {
        read = files::ReadFileWithSignature(file, Signatures, MaxCursorFileSize);
    } catch (const files::FileError &) {
        invalid();
    }
    if (!read)
        invalid();
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(read->data()), qsizetype(read->size()));
    return bytes.startsWith("RIFF") ? decodeAnimatedCursor(bytes) : decodeCursor(bytes);
}

} // namespace kaptiv
