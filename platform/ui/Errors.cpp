#include "platform/ui/Errors.h"

#include "formats/core/CodecError.h"

#include <new>

namespace kaptiv {

QString outOfMemoryMessage() { return QString::fromLatin1(outOfMemoryText()); }

QString currentErrorMessage()
{
    try {
        throw;
    } catch (const KaptivError &error) {
        return error.message();
    } catch (const std::bad_alloc &) {
        return outOfMemoryMessage();
    } catch (...) {
        return QStringLiteral("An unexpected error stopped the command.");
    }
}

int StrToInt(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    // QString::toInt accepts surrounding blanks; a typed value may not have them.
    if (!ok || text.trimmed() != text)
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}

} // namespace kaptiv
