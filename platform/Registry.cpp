#include "platform/Registry.h"

#include "platform/Errors.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

#include <limits>

namespace kaptiv {

namespace {

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
bool toRegistryInteger(const QVariant &value, int &result)
{
    qlonglong number = 0;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        number = value.toLongLong();
        break;
    case QMetaType::QString: {
        static const QRegularExpression decimal(QStringLiteral("^-?[0-9]{1,10}$"));
        const QString text = value.toString();
        if (!decimal.match(text).hasMatch())
            return false;
        number = text.toLongLong();
        break;
    }
    default:
        return false;
    }
    if (number < std::numeric_limits<qint32>::min() || number > std::numeric_limits<quint32>::max())
        return false;
    result = int(qint32(quint32(number)));
    return true;
}

QString quoted(const char *format, const QString &name) { return QString::fromLatin1(format).arg(name); }

} // namespace

Registry::Registry(RegistryRoot root) : root_(root) {}

Registry::~Registry() = default;

QString Registry::storeFileOf(const QString &key) { return locate(key).file; }

bool Registry::keyExists(const QString &key) const
{
    const KeyLocation location = locate(key);
    if (location.file.isEmpty() || !QFileInfo::exists(location.file))
        return false;
    QSettings store(location.file, QSettings::IniFormat);
    store.beginGroup(location.group);
    return !store.childKeys().isEmpty() || !store.childGroups().isEmpty();
}

bool Registry::openKey(const QString &key, bool canCreate)
{
    closeKey();
    const KeyLocation location = locate(key);
    if (location.file.isEmpty() || (!canCreate && !keyExists(key)))
        return false;
    current_ = std::make_unique<QSettings>(location.file, QSettings::IniFormat);
    current_->beginGroup(location.group);
    return true;
}

int Registry::readInteger(const QString &name) const
{
    if (!current_ || !current_->contains(name))
        throw ERegistryError(quoted("Failed to get data for '%1'", name));
    int value = 0;
    if (!toRegistryInteger(current_->value(name), value))
        throw ERegistryError(quoted("Invalid data type for '%1'", name));
    return value;
}

void Registry::writeInteger(const QString &name, int value)
{
    if (!current_)
        throw ERegistryError(quoted("Failed to set data for '%1'", name));
    const bool existed = current_->contains(name);
    const QVariant previous = current_->value(name);
    current_->setValue(name, value);
    // Write through at once, and take back what did not reach the file: the process keeps one
    // copy of the file in memory, and a later read must not find the value there as if stored.
    current_->sync();
    if (current_->status() != QSettings::NoError) {
        if (existed)
            current_->setValue(name, previous);
        else
            current_->remove(name);
        throw ERegistryError(quoted("Failed to set data for '%1'", name));
    }
}

void Registry::closeKey() { current_.reset(); }

} // namespace kaptiv
