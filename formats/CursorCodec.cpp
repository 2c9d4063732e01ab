#include "formats/CursorCodec.h"

#include "formats/IconCodec.h"
#include "platform/ui/Errors.h"
#include "platform/files/FileAccess.h"
#include "platform/files/NativeNames.h"

#include <QtEndian>

#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

namespace kaptiv {

namespace {

[[noreturn]] void invalid() { throw EOpenFile(QStringLiteral("Invalid cursor format.")); }

constexpr int CursorPlaceSize = 32; // the size the desktop draws a cursor at
constexpr qint64 AnimationHeaderSize = 36;

quint32 u32(const QByteArray &b, qint64 at) { return qFromLittleEndian<quint32>(b.constData() + at); }

struct Chunk {
    std::string_view id;
    qint64 data, size;
};

// Calls `visit` with each chunk between `from` and `to`, each padded to an even length; a chunk
// running past `to` makes the file unreadable. Nothing is kept: a file of millions of tiny chunks
// costs time, not memory.
template <typename Visit>
void forEachChunk(const QByteArray &bytes, qint64 from, qint64 to, Visit visit)
{
    for (qint64 at = from; at + 8 <= to;) {
        const qint64 size = u32(bytes, at + 4);
        if (size > to - at - 8)
            invalid();
        visit(Chunk{std::string_view(bytes.constData() + at, 4), at + 8, size});
        at += 8 + size + (size & 1);
    }
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
    forEachChunk(bytes, 12, end, [&](const Chunk &chunk) {
        if (chunk.id == "anih") {
            if (chunk.size < AnimationHeaderSize)
                invalid();
            hasHeader = true;
        } else if (chunk.id == "seq ") {
            if (chunk.size < 4)
                invalid();
            firstShown = u32(bytes, chunk.data);
        }
    });
    // The frames, in every 'LIST fram', counted up to the one shown first.
    const quint32 shown = firstShown.value_or(0);
    quint64 frames = 0;
    std::optional<Chunk> first;
    forEachChunk(bytes, 12, end, [&](const Chunk &chunk) {
        if (chunk.id != "LIST" || chunk.size < 4 || std::string_view(bytes.constData() + chunk.data, 4) != "fram")
            return;
        forEachChunk(bytes, chunk.data + 4, chunk.data + chunk.size, [&](const Chunk &frame) {
            if (frame.id == "icon" && frames++ == shown)
                first = frame;
        });
    });
    if (!hasHeader || !first)
        invalid();
    return decodeCursor(bytes.mid(first->data, first->size));
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
