#pragma once
// The per-user registry as the settings code knows it: a root key, keys named by backslash paths,
// and 32-bit integer values in them.
//
// On Linux a program's keys ("Software\<Vendor>\<Product>" and the keys below it) live in one INI
// file, <configuration directory>/<Vendor>/<Product>.ini, the configuration directory being
// $XDG_CONFIG_HOME or ~/.config. The product key's own values sit in the file's [General]
// section, a subkey's values in a section named after it. Keys outside "Software\<Vendor>\<Product>"
// have no file and cannot be opened.
//
// Errors raise ERegistryError with the user's message: "Failed to get data for '<name>'" (no such
// value, or no key open), "Invalid data type for '<name>'" (not a 32-bit integer),
// "Failed to set data for '<name>'" (the file could not be written).

#include <QString>

#include <memory>

class QSettings;

namespace kaptiv {

enum class RegistryRoot { CurrentUser };

class Registry {
public:
    explicit Registry(RegistryRoot root = RegistryRoot::CurrentUser);
    ~Registry(); // closes the open key
    Registry(const Registry &) = delete;
    Registry &operator=(const Registry &) = delete;

    RegistryRoot rootKey() const { return root_; }
    // A key exists once it holds a value or a subkey.
    bool keyExists(const QString &key) const;
    // Makes `key` (a full path from the root) the current key. Without `canCreate` a missing key is
    // not opened and false comes back; with it the key comes into being with its first value.
    bool openKey(const QString &key, bool canCreate);
    int readInteger(const QString &name) const;
    void writeInteger(const QString &name, int value);
    void closeKey();

    // The file that holds `key`, or an empty string for a key outside any product.
    static QString storeFileOf(const QString &key);

private:
    RegistryRoot root_;
    std::unique_ptr<QSettings> current_;
};

} // namespace kaptiv
