#pragma once
// An INI file held line by line, so that setting a value rewrites that value's line and nothing
// else: comments, blank lines, other sections and lines that are not understood stay as they are.
//
// The layout is the one the settings files have always had: "[Section]" headers, "key=value"
// lines, comments starting with ';' or '#', values before any header belonging to [General],
// and names with characters outside letters, digits, '_', '-', '.' and '/' written as %XX
// ("[Hot%20Keys]", "Active%20Window=24647").

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kaptiv {

class IniDocument {
public:
    // The document of a file's bytes; nullopt when they are not text (a NUL byte or bytes that are
    // not UTF-8), which no settings file can be.
    static std::optional<IniDocument> parse(std::string_view bytes);

    // The value of `key` in `section` as written (trimmed, one pair of double quotes taken off).
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    // True when the section or one below it ("Section/...") holds a value; for "" when any does.
    bool holdsValues(std::string_view section) const;
    // Sets the value, replacing the key's line when it has one, otherwise adding a line at the end
    // of the section (and the section at the end of the file when it is new).
    void setValue(std::string_view section, std::string_view key, std::string_view value);

    std::string bytes() const;

private:
    struct Line {
        std::string text;    // as in the file, without the line break
        std::string section; // the section the line is in (decoded)
        std::string key;     // decoded; empty for a line that holds no value
    };
    std::vector<Line> lines_;
    bool crlf_ = false; // the file's line breaks were CR LF
};

} // namespace kaptiv
