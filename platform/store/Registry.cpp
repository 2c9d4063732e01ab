#include "platform/store/Registry.h"

#include "platform/ui/Errors.h"
#include "platform/files/FileAccess.h"
#include "platform/store/IniDocument.h"
#include "platform/files/NativeNames.h"

#include <QRegularExpression>
#include <QStandardPaths>

#include <cerrno>
#include <limits>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

namespace kaptiv {

namespace {

// No settings file comes near this; a larger one is refused rather than read.
constexpr std::uint64_t MaxStoreSize = std::uint64_t(1) << 20;

struct KeyLocation {
    QString file;  // empty: the key has no place in any file
    QString group; // the subkey path inside the file, '/' separated
};

KeyLocation locate(const QString &key)
{
    const QStringList parts = key.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (parts.size() < 3 || parts[0].compare(QLatin1String("Software"), Qt::CaseInsensitive) != 0)
        return {};
    const QString configDirectory = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return {configDirectory + QLatin1Char('/') + parts[1] + QLatin1Char('/') + parts[2] + QStringLiteral(".ini"),
            parts.mid(3).join(QLatin1Char('/'))};
}

// A registry integer is 32 bits; unsigned values above the signed range read back as negative,
// as a DWORD read into a signed integer does.
bool toRegistryInteger(const std::string &stored, int &result)
{
    static const QRegularExpression decimal(QStringLiteral("^-?[0-9]{1,10}$"));
    const QString text = QString::fromStdString(stored);
    if (!decimal.match(text).hasMatch())
        return false;
    const qlonglong number = text.toLongLong();
    if (number < std::numeric_limits<qint32>::min() || number > std::numeric_limits<quint32>::max())
        return false;
    result = int(qint32(quint32(number)));
    return true;
}

bool fileExists(const QString &file)
{
    struct stat status;
    return ::stat(nativePath(file).c_str(), &status) == 0 || (errno != ENOENT && errno != ENOTDIR);
}

std::string sectionOf(const QString &group) { return group.isEmpty() ? "General" : group.toStdString(); }

} // namespace

// A store file as read: its document, or none when the file is not text (damaged).
struct Registry::Store {
    std::optional<IniDocument> document;
    bool damaged = false;

    static Store load(const QString &file)
    {
        if (!fileExists(file))
            return {IniDocument(), false};
        try {
            const std::vector<std::uint8_t> bytes = files::ReadWholeFile(nativePath(file), MaxStoreSize);
            std::optional<IniDocument> document =
                IniDocument::parse({reinterpret_cast<const char *>(bytes.data()), bytes.size()});
            const bool damaged = !document;
            return {std::move(document), damaged};
        } catch (const files::FileError &error) {
            // Not a settings file we could read, but perhaps a good one: never written over.
            throw ERegistryError(QStringLiteral("Cannot read the settings file \"%1\". %2")
                                     .arg(file, QString::fromLocal8Bit(error.reason().c_str())));
        }
    }
};

Registry::Registry(RegistryRoot root) : root_(root) {}

Registry::~Registry() = default;

QString Registry::storeFileOf(const QString &key) { return locate(key).file; }

QString Registry::message(const char *format, const QString &name) const
{
    const QString text = QString::fromLatin1(format).arg(name);
    return file_.isEmpty() ? text : text + QStringLiteral(" in \"%1\"").arg(file_);
}

QString Registry::keptDamagedFileMessage() const
{
    return QStringLiteral("The settings file \"%1\" was damaged and could not be read. It was kept as \"%2\" "
                          "and new settings were written in its place.")
        .arg(file_, keptDamagedFile_);
}

bool Registry::keyExists(const QString &key)
{
    const KeyLocation location = locate(key);
    if (location.file.isEmpty())
        return false;
    file_ = location.file;
    const Store store = Store::load(location.file);
    return store.document && store.document->holdsValues(location.group.toStdString());
}

bool Registry::openKey(const QString &key, bool canCreate)
{
    closeKey();
    const KeyLocation location = locate(key);
    if (location.file.isEmpty())
        return false;
    file_ = location.file;
    Store store = Store::load(location.file);
    if (!canCreate && !(store.document && store.document->holdsValues(location.group.toStdString())))
        return false;
    group_ = location.group;
    open_ = std::make_unique<Store>(std::move(store));
    return true;
}

int Registry::readInteger(const QString &name) const
{
    const std::optional<std::string> stored =
        open_ && open_->document ? open_->document->value(sectionOf(group_), name.toStdString()) : std::nullopt;
    if (!stored)
        throw ERegistryError(message("Failed to get data for '%1'", name));
    int value = 0;
    if (!toRegistryInteger(*stored, value))
        throw ERegistryError(message("Invalid data type for '%1'", name));
    return value;
}

int Registry::readWord(const QString &name) const
{
    const int value = readInteger(name);
    if (value < 0 || value > 0xFFFF)
        throw ERegistryError(message("Invalid data type for '%1'", name));
    return value;
}

namespace {

// Keeps the damaged file under the first free name of <file>.bad, <file>.bad.2, ...: a hard link
// where the file system has them (the bytes stay exactly as they were), otherwise a copy.
QString keepDamagedFile(const QString &file)
{
    std::error_code error;
    const std::filesystem::path original = std::filesystem::canonical(nativePath(file), error);
    if (error)
        throw files::FileError(error.message(), error.message());
    for (int number = 1; number < 100; ++number) {
        const QString kept = file + QStringLiteral(".bad") + (number > 1 ? QStringLiteral(".%1").arg(number) : QString());
        if (::link(original.c_str(), nativePath(kept).c_str()) == 0)
            return kept;
        if (errno == EEXIST)
            continue;
        if (fileExists(kept))
            continue;
        files::WriteFile(nativePath(kept), files::ReadWholeFile(original, MaxStoreSize));
        return kept;
    }
    throw files::FileError("no free name", "There is no free name to keep the damaged file under.");
}

} // namespace

void Registry::writeInteger(const QString &name, int value)
{
    if (!open_)
        throw ERegistryError(message("Failed to set data for '%1'", name));
    // A damaged file's values are gone already: the new file starts afresh.
    IniDocument updated = open_->document ? *open_->document : IniDocument();
    updated.setValue(sectionOf(group_), name.toStdString(), std::to_string(value));
    try {
        const std::filesystem::path target = nativePath(file_);
        std::error_code error;
        std::filesystem::create_directories(target.parent_path(), error);
        if (error)
            throw files::FileError(error.message(), error.message());
        const files::FileWriter writer(target);
        if (open_->damaged)
            keptDamagedFile_ = keepDamagedFile(file_);
        const std::string bytes = updated.bytes();
        writer.Write({reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size()});
    } catch (const files::FileError &error) {
        throw ERegistryError(message("Failed to set data for '%1'", name) + QStringLiteral(". ")
                             + QString::fromLocal8Bit(error.reason().c_str()));
    }
    open_->document = std::move(updated);
    open_->damaged = false;
}

void Registry::closeKey()
{
    open_.reset();
    group_.clear();
}

} // namespace kaptiv
