#pragma once
// A fresh, empty configuration directory for one test: the settings store lives in it and is
// gone afterwards, whatever the test did.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <stdexcept>

namespace kaptiv::testing {

class ScopedConfigHome {
public:
    ScopedConfigHome() { qputenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit()); }
    ~ScopedConfigHome()
    {
        if (hadPrevious_)
            qputenv("XDG_CONFIG_HOME", previous_);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }
    ScopedConfigHome(const ScopedConfigHome &) = delete;
    ScopedConfigHome &operator=(const ScopedConfigHome &) = delete;

    QString path() const { return dir_.path(); }
    QString storeFile() const { return dir_.filePath(QStringLiteral("Quillmar/Kaptiv.ini")); }
    // Writes the store file as given, for values the program itself would never write.
    void writeStore(const QByteArray &ini) const
    {
        QDir(dir_.path()).mkpath(QStringLiteral("Quillmar"));
        QFile file(storeFile());
        if (!file.open(QIODevice::WriteOnly) || file.write(ini) != ini.size())
            throw std::runtime_error("cannot write the test store");
    }

private:
    QTemporaryDir dir_;
    bool hadPrevious_ = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    QByteArray previous_ = qgetenv("XDG_CONFIG_HOME");
};

} // namespace kaptiv::testing
