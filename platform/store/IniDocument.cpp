#include "platform/store/IniDocument.h"

#include "platform/files/NativeNames.h"

#include <algorithm>

namespace kaptiv {

namespace {

constexpr std::string_view RootSection = "General";

std::string_view trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string decodedName(std::string_view written)
{
    std::string name;
    for (std::size_t i = 0; i < written.size(); ++i) {
        if (written[i] == '%' && i + 2 < written.size() && hexDigit(written[i + 1]) >= 0 && hexDigit(written[i + 2]) >= 0) {
            name += char(hexDigit(written[i + 1]) * 16 + hexDigit(written[i + 2]));
            i += 2;
        } else {
            name += written[i];
        }
    }
    return name;
}

std::string encodedName(std::string_view name)
{
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string written;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z')
            || c == '_' || c == '-' || c == '.' || c == '/') {
            written += c;
        } else {
            written += '%';
            written += Hex[byte >> 4];
            written += Hex[byte & 15];
        }
    }
    return written;
}

} // namespace

std::optional<IniDocument> IniDocument::parse(std::string_view bytes)
{
    if (bytes.find('\0') != std::string_view::npos || !isValidUtf8(bytes))
        return std::nullopt;
    IniDocument document;
    std::string section(RootSection);
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos)
            end = bytes.size();
        std::string_view text = bytes.substr(start, end - start);
        start = end + 1;
        if (!text.empty() && text.back() == '\r') {
            text.remove_suffix(1);
            document.crlf_ = true;
        }
        Line line{std::string(text), section, {}};
        const std::string_view content = trimmed(text);
        const std::size_t equals = content.find('=');
        if (content.size() >= 2 && content.front() == '[' && content.back() == ']')
            line.section = section = decodedName(content.substr(1, content.size() - 2));
        else if (!content.empty() && content.front() != ';' && content.front() != '#' && equals != std::string_view::npos
                 && equals > 0)
            line.key = decodedName(trimmed(content.substr(0, equals)));
        document.lines_.push_back(std::move(line));
    }
    return document;
}

std::optional<std::string> IniDocument::value(std::string_view section, std::string_view key) const
{
    const auto found = std::find_if(lines_.rbegin(), lines_.rend(),
                                    [&](const Line &line) { return line.section == section && line.key == key; });
    if (found == lines_.rend())
        return std::nullopt;
    std::string_view text = trimmed(std::string_view(found->text).substr(found->text.find('=') + 1));
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        text = text.substr(1, text.size() - 2);
    return std::string(text);
}

bool IniDocument::holdsValues(std::string_view section) const
{
    return std::any_of(lines_.begin(), lines_.end(), [&](const Line &line) {
        return !line.key.empty()
            && (section.empty() || line.section == section
                || (line.section.size() > section.size() && line.section.starts_with(section)
                    && line.section[section.size()] == '/'));
    });
}

void IniDocument::setValue(std::string_view section, std::string_view key, std::string_view value)
{
    const auto found = std::find_if(lines_.rbegin(), lines_.rend(),
                                    [&](const Line &line) { return line.section == section && line.key == key; });
    if (found != lines_.rend()) {
        // The key keeps its spelling and its place; only what follows '=' changes.
        found->text = found->text.substr(0, found->text.find('=') + 1) + std::string(value);
        return;
    }
    Line added{encodedName(key) + "=" + std::string(value), std::string(section), std::string(key)};
    const auto last = std::find_if(lines_.rbegin(), lines_.rend(), [&](const Line &line) {
        return line.section == section && (!line.key.empty() || trimmed(line.text).starts_with('['));
    });
    if (last != lines_.rend()) {
        lines_.insert(last.base(), std::move(added));
        return;
    }
    if (!lines_.empty() && !trimmed(lines_.back().text).empty())
        lines_.push_back({std::string(), lines_.back().section, {}});
    lines_.push_back({"[" + encodedName(section) + "]", std::string(section), {}});
    lines_.push_back(std::move(added));
}

std::string IniDocument::bytes() const
{
    std::string text;
    for (const Line &line : lines_)
        text += line.text + (crlf_ ? "\r\n" : "\n");
    return text;
}

} // namespace kaptiv
