#include "formats/ImageFileIo.h"

#include "platform/ui/Errors.h"
#include "platform/files/FileErrors.h"

namespace kaptiv {

Bitmap readImageFile(const QString &path, std::span<const std::string_view> signatures, const QString &notValid,
                     const std::function<Bitmap(const QByteArray &)> &decode)
{
    const auto bytes = reportingFileErrors([&] { return files::ReadFileWithSignature(nativePath(path), signatures); });
    try {
        if (!bytes)
            throw EOpenFile(notValid);
        return decode(QByteArray::fromRawData(reinterpret_cast<const char *>(bytes->data()), qsizetype(bytes->size())));
    } catch (const EOpenFile &error) {
        throw EOpenFile(QStringLiteral("%1: %2").arg(path, error.message()));
    } catch (const EOutOfMemory &error) {
        throw EOutOfMemory(QStringLiteral("%1: %2").arg(path, error.message()));
    }
}

void writeImageFile(const QString &path, const std::function<QByteArray()> &encode)
{
    reportingFileErrors([&] {
        const files::FileWriter file(nativePath(path)); // an unwritable place is reported before the work
        const QByteArray bytes = encode();
        file.Write({reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size())});
    });
}

} // namespace kaptiv
