#include "cli/Arguments.h"

#include "cli/ArgumentRules.h"
#include "cli/CommandLine.h"
#include "platform/files/NativeNames.h"

namespace kaptiv {

QString valueOf(const QStringList &arguments, int &i)
{
    if (i + 1 >= arguments.size())
        throw UsageError{QStringLiteral("%1 needs a value").arg(arguments[i])};
    return arguments[++i];
}

int wholeNumber(const QString &option, const QString &text, int maximum)
{
    return refusedAsUsageError([&] { return cli::wholeNumber(encodeNativeName(option), encodeNativeName(text), maximum); });
}

QRgb rgbOption(const QString &option, const QString &text)
{
    return refusedAsUsageError([&] { return cli::rgbOption(encodeNativeName(option), encodeNativeName(text)); });
}

void requireAdaptiveForDither(const QStringList &given, bool adaptive)
{
    for (const QString &option : given)
        if (!adaptive && (option == QLatin1String("--dither") || option == QLatin1String("--no-dither")))
            throw UsageError{QStringLiteral("%1 goes with --colors adaptive").arg(option)};
}

} // namespace kaptiv
