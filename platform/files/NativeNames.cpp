#include "platform/files/NativeNames.h"

namespace kaptiv {

namespace {

constexpr char16_t EscapeBase = 0xDC80; // U+DC80..U+DCFF stand for the bytes 0x80..0xFF

// The length of the valid UTF-8 sequence at `at` and its code point; 0 when it is not valid
// (overlong forms, encoded surrogates and values past U+10FFFF are not).
int sequenceAt(std::string_view bytes, std::size_t at, char32_t &codePoint)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    int length = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0)
        length = 2, codePoint = lead & 0x1F, minimum = 0x80;
    else if ((lead & 0xF0) == 0xE0)
        length = 3, codePoint = lead & 0x0F, minimum = 0x800;
    else if ((lead & 0xF8) == 0xF0)
        length = 4, codePoint = lead & 0x07, minimum = 0x10000;
    else
        return 0;
    if (at + std::size_t(length) > bytes.size())
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((byte(at + std::size_t(i)) & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (byte(at + std::size_t(i)) & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

} // namespace

bool isValidUtf8(std::string_view bytes)
{
    char32_t codePoint = 0;
    for (std::size_t at = 0; at < bytes.size();) {
        const int length = sequenceAt(bytes, at, codePoint);
        if (length == 0)
            return false;
        at += std::size_t(length);
    }
    return true;
}

QString decodeNativeName(std::string_view bytes)
{
    QString name;
    name.reserve(qsizetype(bytes.size()));
    for (std::size_t at = 0; at < bytes.size();) {
        char32_t codePoint = 0;
        const int length = sequenceAt(bytes, at, codePoint);
        if (length == 0) {
            name += QChar(char16_t(EscapeBase + static_cast<unsigned char>(bytes[at]) - 0x80));
            ++at;
            continue;
        }
        name += QString::fromUcs4(&codePoint, 1);
        at += std::size_t(length);
    }
    return name;
}

std::string encodeNativeName(const QString &name)
{
    std::string bytes;
    bytes.reserve(std::size_t(name.size()));
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t unit = name[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
            appendUtf8(bytes, QChar::surrogateToUcs4(unit, name[i + 1].unicode()));
            ++i;
        } else if (unit >= EscapeBase && unit <= EscapeBase + 0x7F) {
            bytes += char(unit - EscapeBase + 0x80);
        } else {
            appendUtf8(bytes, unit);
        }
    }
    return bytes;
}

} // namespace kaptiv
