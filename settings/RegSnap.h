#pragma once
// Moves the settings between the per-user registry and the configuration dialog's fields, which are
// the program's live settings, and gives the capture menu items their hot keys.
//
// Loading stops at the first value that is missing or not an integer (for a hot key, not 16 bits):
// what was loaded before it stays loaded, the rest keeps what it held, nothing is put in its place
// and nothing is written. A store file that is not text at all is kept as Kaptiv.ini.bad when the
// defaults (or the dialog's values) are written in its place, and a "Kaptiv" box says so.

#include "platform/store/Registry.h"
#include "platform/ui/ShortcutCodes.h"

#include <QString>

#include <array>

namespace kaptiv {

class TConfigfrm;

inline const QString SettingsKey = QStringLiteral("Software\\Quillmar\\Kaptiv");
inline const QString HotKeysKey = SettingsKey + QStringLiteral("\\Hot Keys");

// The longest refresh delay the dialog's field can hold (five digits).
constexpr int maxRefreshDelay = 99999;

struct HotKeySetting {
    const char *valueName; // also the name of the capture command
    ShortcutValue defaultValue;
};

// In the order every procedure handles them, which is the order of the capture items.
inline constexpr std::array<HotKeySetting, 7> hotKeySettings{{
    {"Screen", scCtrl | scShift | 'S'},
    {"Rectangle", scCtrl | scShift | 'R'},
    {"Window", scCtrl | scShift | 'W'},
    {"Active Window", scCtrl | scShift | 'G'},
    {"AW Client", scCtrl | scShift | 'T'},
    {"Custom Region", scCtrl | scShift | 'C'},
    {"Client Area", scCtrl | scShift | 'A'},
}};

// Registry -> fields and menu shortcuts; writes the defaults when the settings key is missing.
void LoadSettings(TConfigfrm &form);
// Fields -> registry and menu shortcuts. A delay that is not a number stops it after the three
// switches with EConvertError.
void SaveSettings(TConfigfrm &form);
// Defaults -> registry, fields and menu shortcuts, through the caller's registry access.
void WriteDefaultSettings(Registry &access, TConfigfrm &form);

} // namespace kaptiv
