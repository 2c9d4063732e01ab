#pragma once
// Reading the values of command-line options; each raises UsageError with what was wrong. The
// rules themselves are plain C++ (cli/ArgumentRules.h), shared with the program without Qt.

#include "cli/ArgumentRules.h"
#include "cli/CommandLine.h"
#include "platform/files/NativeNames.h"

#include <QColor>
#include <QStringList>

namespace kaptiv {

// The value after the option at `i`, moving `i` onto it.
QString valueOf(const QStringList &arguments, int &i);

// A whole number from 0 to `maximum`.
int wholeNumber(const QString &option, const QString &text, int maximum);

// A colour given as RRGGBB (a leading # is allowed).
QRgb rgbOption(const QString &option, const QString &text);

// --dither and --no-dither go with --colors adaptive only; `given` holds the options named.
void requireAdaptiveForDither(const QStringList &given, bool adaptive);

// Runs `rule`; the refusal of a rule without Qt becomes the UsageError the commands raise.
template <typename Rule>
decltype(auto) refusedAsUsageError(Rule &&rule)
{
    try {
        return rule();
    } catch (const cli::ArgumentRefused &refused) {
        throw UsageError{decodeNativeName(refused.message)};
    }
}

} // namespace kaptiv
