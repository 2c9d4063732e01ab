#include "settings/RegSnap.h"

#include "platform/ui/Dialogs.h"
#include "platform/ui/Errors.h"
#include "settings/ConfigSnap.h"
#include "settings/HotKeysEverywhere.h"

#include <algorithm>

namespace kaptiv {

namespace {

QString nameOf(const HotKeySetting &setting) { return QString::fromLatin1(setting.valueName); }

// The field holds at most five digits: a stored delay it could not hold is brought into its range
// (a negative one means no wait, a longer one the longest the field can hold) rather than cut short.
QString delayText(int storedDelay) { return QString::number(std::clamp(storedDelay, 0, maxRefreshDelay)); }

void setHotKey(TConfigfrm &form, int row, ShortcutValue value)
{
    form.hotKeyFields()[row]->setValue(value);
    form.applyHotKeyToMenu(row);
}

// The new settings are in place; the user still has to learn that the old file was damaged and
// where it was kept.
void reportKeptDamagedFile(const Registry &access)
{
    if (!access.keptDamagedFile().isEmpty())
        showErrorBox(access.keptDamagedFileMessage());
}

} // namespace

void LoadSettings(TConfigfrm &form)
{
    Registry access(RegistryRoot::CurrentUser);
    if (!access.keyExists(SettingsKey)) {
        WriteDefaultSettings(access, form);
        return;
    }
    form.everyProgram->setChecked(readHotKeysEverywhere(access)); // a group of its own, off when absent
    access.openKey(SettingsKey, false);
    form.hideprog->setChecked(access.readInteger(QStringLiteral("Hideprog")) != 0);
    form.confirm->setChecked(access.readInteger(QStringLiteral("Confirm")) != 0);
    form.coords->setChecked(access.readInteger(QStringLiteral("Coords")) != 0);
    form.Delay->setText(delayText(access.readInteger(QStringLiteral("Time"))));
    access.closeKey();

    // A missing hot keys key leaves no key open: the first read fails at "Screen".
    access.openKey(HotKeysKey, false);
    for (int row = 0; row < int(hotKeySettings.size()); ++row)
        setHotKey(form, row, ShortcutValue(access.readWord(nameOf(hotKeySettings[row]))));
}

void SaveSettings(TConfigfrm &form)
{
    Registry access(RegistryRoot::CurrentUser);
    access.openKey(SettingsKey, true);
    access.writeInteger(QStringLiteral("Hideprog"), form.hideprog->isChecked() ? 1 : 0);
    access.writeInteger(QStringLiteral("Confirm"), form.confirm->isChecked() ? 1 : 0);
    access.writeInteger(QStringLiteral("Coords"), form.coords->isChecked() ? 1 : 0);
    access.writeInteger(QStringLiteral("Time"), StrToInt(form.Delay->text()));
    access.closeKey();

    access.openKey(HotKeysKey, true);
    for (int row = 0; row < int(hotKeySettings.size()); ++row) {
        access.writeInteger(nameOf(hotKeySettings[row]), form.hotKeyFields()[row]->value());
        form.applyHotKeyToMenu(row);
    }
    writeHotKeysEverywhere(access, form.everyProgram->isChecked());
    reportKeptDamagedFile(access);
}

void WriteDefaultSettings(Registry &access, TConfigfrm &form)
{
    access.openKey(SettingsKey, true);
    access.writeInteger(QStringLiteral("Hideprog"), 1);
    form.hideprog->setChecked(true);
    access.writeInteger(QStringLiteral("Confirm"), 0);
    form.confirm->setChecked(false);
    access.writeInteger(QStringLiteral("Coords"), 1);
    form.coords->setChecked(true);
    access.writeInteger(QStringLiteral("Time"), 1500);
    form.Delay->setText(QStringLiteral("1500"));
    access.closeKey();

    access.openKey(HotKeysKey, true);
    for (int row = 0; row < int(hotKeySettings.size()); ++row) {
        access.writeInteger(nameOf(hotKeySettings[row]), hotKeySettings[row].defaultValue);
        setHotKey(form, row, hotKeySettings[row].defaultValue);
    }
    writeHotKeysEverywhere(access, false);
    form.everyProgram->setChecked(false);
    reportKeptDamagedFile(access);
}

} // namespace kaptiv
