#include "settings/HotKeysEverywhere.h"

#include "platform/ui/Errors.h"
#include "platform/store/Registry.h"

#include <QStringList>

namespace kaptiv {

namespace {

const QString valueName = QStringLiteral("Enabled");

struct CommonKey {
    ShortcutValue value;
    const char *use;
};

// Keys that terminals, browsers and editors answer to: taken from the whole desktop, they would no
// longer reach those programs.
constexpr CommonKey commonKeys[] = {
    {scCtrl | scShift | 'C', "copy in terminals"},
    {scCtrl | scShift | 'V', "paste in terminals"},
    {scCtrl | scShift | 'T', "new or reopened tabs"},
    {scCtrl | scShift | 'W', "closing tabs"},
    {scCtrl | scShift | 'N', "new private windows"},
    {scCtrl | scShift | 'R', "reloading web pages"},
    {scCtrl | scShift | 'S', "Save As in editors"},
    {scCtrl | scShift | 'Z', "redo"},
    {scCtrl | scShift | 'G', "finding backwards"},
    {scCtrl | scShift | 'A', "browser add-ons"},
    {scCtrl | scShift | 'F', "searching in files"},
    {scCtrl | scShift | 'P', "command palettes"},
    {scCtrl | 'C', "copy"},
    {scCtrl | 'V', "paste"},
    {scCtrl | 'X', "cut"},
    {scCtrl | 'Z', "undo"},
    {scCtrl | 'Y', "redo"},
    {scCtrl | 'A', "selecting all"},
    {scCtrl | 'S', "saving"},
    {scCtrl | 'O', "opening files"},
    {scCtrl | 'N', "new windows"},
    {scCtrl | 'P', "printing"},
    {scCtrl | 'F', "finding"},
    {scCtrl | 'W', "closing tabs"},
    {scCtrl | 'T', "new tabs"},
    {scCtrl | 'Q', "quitting"},
    {scCtrl | 'R', "reloading"},
    {scAlt | 0x73, "closing windows"}, // Alt+F4
};

} // namespace

bool readHotKeysEverywhere(Registry &access)
{
    access.closeKey();
    if (!access.keyExists(EveryProgramKey) || !access.openKey(EveryProgramKey, false))
        return false;
    bool on = false;
    try {
        on = access.readInteger(valueName) == 1;
    } catch (const ERegistryError &) {
    }
    access.closeKey();
    return on;
}

void writeHotKeysEverywhere(Registry &access, bool on)
{
    access.closeKey();
    access.openKey(EveryProgramKey, true);
    access.writeInteger(valueName, on ? 1 : 0);
    access.closeKey();
}

QString hotKeyCaptureName(int row)
{
    static const char *const names[7] = {"Grab Screen",    "Grab Rectangle", "Grab Window", "Active Window",
                                         "Active Client", "Custom Region",  "Client Area"};
    return QString::fromLatin1(names[row]);
}

QString commonKeysWarning(const std::array<ShortcutValue, 7> &keys)
{
    QStringList lines;
    for (ShortcutValue key : keys)
        for (const CommonKey &common : commonKeys)
            if (key != 0 && key == common.value)
                lines << QStringLiteral("%1: %2").arg(shortcutText(key), QString::fromLatin1(common.use));
    if (lines.isEmpty())
        return {};
    return QStringLiteral("Other programs use these keys:\n%1\nKeys with Print suit better: Print,\n"
                          "Ctrl+Print, Ctrl+Shift+Print, Ctrl+Alt+Print\n(the desktop may hold some of them).")
        .arg(lines.join(QLatin1Char('\n')));
}

} // namespace kaptiv
