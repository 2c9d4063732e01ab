#pragma once
// "Use hot keys in every program": the capture hot keys taken from the whole desktop instead of
// only while the main window is active. Kept in a settings group of its own and off unless stored
// on, so a settings file from before the choice existed loads as it is.

#include "platform/ui/ShortcutCodes.h"

#include <QString>

#include <array>

namespace kaptiv {

inline const QString EveryProgramKey = QStringLiteral("Software\\Quillmar\\Kaptiv\\Every Program");

class Registry;

// Through the caller's access, whose open key they leave closed.
bool readHotKeysEverywhere(Registry &access);
void writeHotKeysEverywhere(Registry &access, bool on);

// What the user calls the capture of each hot-key row.
QString hotKeyCaptureName(int row);

// The warning shown while the box is ticked: which of `keys` other programs commonly use, and
// which keys suit better. Empty when none of them is such a key.
QString commonKeysWarning(const std::array<ShortcutValue, 7> &keys);

} // namespace kaptiv
