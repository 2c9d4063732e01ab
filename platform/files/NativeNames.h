#pragma once
// File names on this system are bytes, not text: a name need not be valid UTF-8. Inside the
// program a name is a QString that holds those bytes exactly: valid UTF-8 is decoded as usual and
// each byte that is not part of it becomes the lone surrogate U+DC80 + byte, which turns back into
// the same byte. Command-line arguments come in this way and every file operation goes out this
// way, so a name reaches the file system as it was typed.

#include <QString>

#include <filesystem>
#include <string>
#include <string_view>

namespace kaptiv {

QString decodeNativeName(std::string_view bytes);
std::string encodeNativeName(const QString &name);

// True when every byte is part of a valid UTF-8 sequence.
bool isValidUtf8(std::string_view bytes);

inline std::filesystem::path nativePath(const QString &name) { return encodeNativeName(name); }

} // namespace kaptiv
