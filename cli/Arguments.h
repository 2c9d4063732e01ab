#pragma once
// Reading the values of command-line options; each raises UsageError with what was wrong.

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

} // namespace kaptiv
