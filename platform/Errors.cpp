#include "platform/Errors.h"

namespace kaptiv {

QString outOfMemoryMessage() { return QStringLiteral("Out of memory: the command was stopped."); }

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
