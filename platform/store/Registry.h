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
// Writing a value changes that value's line and nothing else in the file (comments and lines it
// does not understand stay), through the one file writer. A file that is not text at all cannot be
// read as settings: its keys do not exist, and before the first value is written over it the file
// is kept beside the new one as <Product>.ini.bad (.bad.2, .bad.3, ... when that name is taken).
//
// Errors raise ERegistryError with the user's message, which names the file: "Failed to get data
// for '<name>' in "<file>"" (no such value, or no key open), "Invalid data type for '<name>' in
// "<file>"" (not a 32-bit integer, or for readWord not 16 bits), "Failed to set data for '<name>'
// in "<file>". <reason>" (the file could not be written), "Cannot read the settings file "<file>".
// <reason>" (a file that is there but cannot be read; it is never written over).

#include <QString>

#include <memory>

namespace kaptiv {

class IniDocument;

enum class RegistryRoot { CurrentUser };

class Registry {
public:
    explicit Registry(RegistryRoot root = RegistryRoot::CurrentUser);
    ~Registry(); // closes the open key
    Registry(const Registry &) = delete;
    Registry &operator=(const Registry &) = delete;

    RegistryRoot rootKey() const { return root_; }
    // A key exists once it holds a value or a subkey.
    bool keyExists(const QString &key);
    // Makes `key` (a full path from the root) the current key. Without `canCreate` a missing key is
    // not opened and false comes back; with it the key comes into being with its first value.
    bool openKey(const QString &key, bool canCreate);
    int readInteger(const QString &name) const;
    // A value that must fit in 16 bits (0..65535); anything wider is refused, not cut.
    int readWord(const QString &name) const;
    void writeInteger(const QString &name, int value);
    void closeKey();

    // Where a damaged file was kept by this access's writes, or empty when none was.
    const QString &keptDamagedFile() const { return keptDamagedFile_; }
    // The message that tells the user so.
    QString keptDamagedFileMessage() const;

    // The file that holds `key`, or an empty string for a key outside any product.
    static QString storeFileOf(const QString &key);

private:
    struct Store;
    QString message(const char *format, const QString &name) const;

    RegistryRoot root_;
    QString file_;  // the file of the key last asked for
    QString group_; // the open key's section; empty for the product key itself
    std::unique_ptr<Store> open_;
    QString keptDamagedFile_;
};

} // namespace kaptiv
