#include "cli/Arguments.h"

#include "cli/CommandLine.h"

#include <QRegularExpression>

namespace kaptiv {

QString valueOf(const QStringList &arguments, int &i)
{
    if (i + 1 >= arguments.size())
        throw UsageError{QStringLiteral("%1 needs a value").arg(arguments[i])};
    return arguments[++i];
}

int wholeNumber(const QString &option, const QString &text, int maximum)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
    if (!digits.match(text).hasMatch() || text.toLongLong() > maximum)
        throw UsageError{QStringLiteral("%1 takes a whole number from 0 to %2, not '%3'").arg(option).arg(maximum).arg(text)};
    return text.toInt();
}

QRgb rgbOption(const QString &option, const QString &text)
{
    static const QRegularExpression hex(QStringLiteral("^#?[0-9A-Fa-f]{6}$"));
    if (!hex.match(text).hasMatch())
        throw UsageError{QStringLiteral("%1 takes a colour as RRGGBB, not '%2'").arg(option, text)};
    return 0xFF000000u | text.right(6).toUInt(nullptr, 16);
}

void requireAdaptiveForDither(const QStringList &given, bool adaptive)
{
    for (const QString &option : given)
        if (!adaptive && (option == QLatin1String("--dither") || option == QLatin1String("--no-dither")))
            throw UsageError{QStringLiteral("%1 goes with --colors adaptive").arg(option)};
}

} // namespace kaptiv
