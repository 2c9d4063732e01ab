// LoadSettings, SaveSettings and WriteDefaultSettings between the store, the dialog's fields and
// the capture items' shortcuts.
#include "RaisedMessage.h"
#include "SettingsFixture.h"
#include "platform/ui/Errors.h"

#include <QFile>

using namespace kaptiv;
using namespace kaptiv::testing;

namespace {

QByteArray storeWith(const QByteArray &general, const QByteArray &hotKeys)
{
    return "[General]\n" + general + "\n[Hot%20Keys]\n" + hotKeys + "\n";
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The store's message for `text`, which names the store file.
QString inStore(const ScopedConfigHome &home, const QString &text)
{
    return text + QStringLiteral(" in \"%1\"").arg(home.storeFile());
}

} // namespace

using SettingsStore = SettingsFixture;

TEST_F(SettingsStore, FirstStartWritesTheDefaultsAndAppliesThem)
{
    form.hideprog->setChecked(false);
    form.Delay->setText(QStringLiteral("7"));
    LoadSettings(form);

    EXPECT_EQ(stored(QStringLiteral("Hideprog")), QStringLiteral("1"));
    EXPECT_EQ(stored(QStringLiteral("Confirm")), QStringLiteral("0"));
    EXPECT_EQ(stored(QStringLiteral("Coords")), QStringLiteral("1"));
    EXPECT_EQ(stored(QStringLiteral("Time")), QStringLiteral("1500"));
    for (std::size_t row = 0; row < 7; ++row)
        EXPECT_EQ(stored(QStringLiteral("Hot Keys/") + QLatin1String(hotKeySettings[row].valueName)),
                  QString::number(defaultHotKeys[row]));
    expectDefaultsInForce();
}

TEST_F(SettingsStore, StoredValuesAreAppliedUncheckedAndSavedBackCleaned)
{
    home.writeStore(storeWith("Hideprog=7\nConfirm=1\nCoords=0\nTime=0",
                              "Screen=0\nRectangle=24643\nWindow=28759\nActive%20Window=24647\n"
                              "AW%20Client=24660\nCustom%20Region=24643\nClient%20Area=24641"));
    LoadSettings(form);

    EXPECT_TRUE(form.hideprog->isChecked()) << "any non-zero switch is on";
    EXPECT_TRUE(form.confirm->isChecked());
    EXPECT_FALSE(form.coords->isChecked());
    EXPECT_EQ(form.Delay->text(), QStringLiteral("0"));
    EXPECT_EQ(form.Scrn->value(), 0);
    EXPECT_EQ(form.Scrn->text(), QStringLiteral("None"));
    EXPECT_EQ(form.wnd->value(), 0x6057) << "only the key code and Shift, Ctrl, Alt of 0x7057 pass through a field";
    const QStringList menus = menuShortcuts();
    EXPECT_EQ(menus[0], QString()) << "hot key 0: no shortcut";
    EXPECT_EQ(menus[1], QStringLiteral("Ctrl+Shift+C")) << "duplicates are loaded as stored";
    EXPECT_EQ(menus[5], QStringLiteral("Ctrl+Shift+C"));
    EXPECT_EQ(menus[2], QStringLiteral("Ctrl+Shift+W"));

    SaveSettings(form);
    EXPECT_EQ(stored(QStringLiteral("Hideprog")), QStringLiteral("1"));
    EXPECT_EQ(stored(QStringLiteral("Hot Keys/Window")), QString::number(0x6057));
}

TEST_F(SettingsStore, StoredDelaysTheFieldCannotHoldAreBroughtIntoItsRange)
{
    const struct {
        const char *stored;
        const char *shown;
    } cases[] = {{"-5", "0"}, {"-2147483648", "0"}, {"0", "0"}, {"99999", "99999"}, {"100000", "99999"},
                 {"123456", "99999"}};
    for (const auto &c : cases) {
        ScopedConfigHome caseHome; // a file of its own: one rewritten within the same instant may look unchanged
        caseHome.writeStore(storeWith(QByteArray("Hideprog=1\nConfirm=0\nCoords=1\nTime=") + c.stored,
                                  "Screen=24659\nRectangle=24658\nWindow=24663\nActive%20Window=24647\n"
                                  "AW%20Client=24660\nCustom%20Region=24643\nClient%20Area=24641"));
        LoadSettings(form);
        EXPECT_EQ(form.Delay->text(), QLatin1String(c.shown)) << c.stored;
    }
}

TEST_F(SettingsStore, LoadingStopsAtTheFirstBadValueAndKeepsWhatCameBefore)
{
    // Every setting stored with a value that differs from what the fields hold before loading.
    const QList<QByteArray> general{"Hideprog=0", "Confirm=1", "Coords=0", "Time=250"};
    QList<QByteArray> hotKeys;
    const char *const hotKeyNames[7] = {"Screen", "Rectangle", "Window", "Active%20Window", "AW%20Client",
                                        "Custom%20Region", "Client%20Area"};
    for (int row = 0; row < 7; ++row)
        hotKeys << QByteArray(hotKeyNames[row]) + "=" + QByteArray::number(0x70 + row); // F1..F7
    const QStringList names{QStringLiteral("Hideprog"), QStringLiteral("Confirm"), QStringLiteral("Coords"),
                            QStringLiteral("Time"), QStringLiteral("Screen"), QStringLiteral("Rectangle"),
                            QStringLiteral("Window"), QStringLiteral("Active Window"),
                            QStringLiteral("AW Client"), QStringLiteral("Custom Region"),
                            QStringLiteral("Client Area")};

    for (int bad = 0; bad < names.size(); ++bad) {
        // A hot key is 16 bits: a wider value is refused, not cut to its low bits.
        const QList<QByteArray> badValues =
            bad < 4 ? QList<QByteArray>{{}, "twelve"} : QList<QByteArray>{{}, "twelve", "65536", "90199", "-1"};
        for (const QByteArray &badValue : badValues) {
            const bool missing = badValue.isEmpty();
            QList<QByteArray> g = general, h = hotKeys;
            QByteArray &line = bad < 4 ? g[bad] : h[bad - 4];
            line = missing ? QByteArray() : line.left(line.indexOf('=') + 1) + badValue;
            ScopedConfigHome caseHome;
            caseHome.writeStore(storeWith(g.join('\n'), h.join('\n')));
            const QByteArray before = readAll(caseHome.storeFile());
            // The fields as the form holds them before any loading.
            form.hideprog->setChecked(true);
            form.confirm->setChecked(false);
            form.coords->setChecked(true);
            form.Delay->setText(QStringLiteral("1500"));
            for (HotKeyEdit *field : form.hotKeyFields())
                field->setValue(0);
            for (QAction *item : items)
                item->setShortcut({});

            const QString expected =
                (missing ? QStringLiteral("Failed to get data for '%1'") : QStringLiteral("Invalid data type for '%1'"))
                    .arg(names[bad]);
            EXPECT_EQ(raisedMessage([&] { LoadSettings(form); }), inStore(caseHome, expected)) << badValue.data();

            const std::array<bool, 4> generalLoaded{!form.hideprog->isChecked(), form.confirm->isChecked(),
                                                    !form.coords->isChecked(),
                                                    form.Delay->text() == QStringLiteral("250")};
            for (int i = 0; i < 4; ++i)
                EXPECT_EQ(generalLoaded[i], i < bad) << names[i].toStdString() << " with " << expected.toStdString();
            for (int row = 0; row < 7; ++row) {
                const bool loaded = 4 + row < bad;
                EXPECT_EQ(form.hotKeyFields()[row]->value(), loaded ? 0x70 + row : 0) << expected.toStdString();
                EXPECT_EQ(items[row]->shortcut().isEmpty(), !loaded) << expected.toStdString();
            }
            EXPECT_EQ(readAll(caseHome.storeFile()), before) << "loading writes nothing";
        }
    }
}

TEST_F(SettingsStore, AMissingHotKeysKeyFailsAtScreen)
{
    home.writeStore("[General]\nHideprog=0\nConfirm=1\nCoords=0\nTime=10\n");
    EXPECT_EQ(raisedMessage([&] { LoadSettings(form); }), inStore(home, QStringLiteral("Failed to get data for 'Screen'")));
    EXPECT_EQ(form.Delay->text(), QStringLiteral("10"));
}

TEST_F(SettingsStore, SavingStopsAfterTheSwitchesWhenTheDelayIsNotANumber)
{
    LoadSettings(form); // defaults
    form.hideprog->setChecked(false);
    form.confirm->setChecked(true);
    form.coords->setChecked(false);
    form.Delay->setText(QString());
    form.Scrn->setValue(0x78); // F9

    EXPECT_EQ(raisedMessage([&] { SaveSettings(form); }), QStringLiteral("'' is not a valid integer value"));
    EXPECT_EQ(stored(QStringLiteral("Hideprog")), QStringLiteral("0"));
    EXPECT_EQ(stored(QStringLiteral("Confirm")), QStringLiteral("1"));
    EXPECT_EQ(stored(QStringLiteral("Coords")), QStringLiteral("0"));
    EXPECT_EQ(stored(QStringLiteral("Time")), QStringLiteral("1500"));
    EXPECT_EQ(stored(QStringLiteral("Hot Keys/Screen")), QStringLiteral("24659"));
    EXPECT_EQ(menuShortcuts()[0], QStringLiteral("Ctrl+Shift+S"));

    form.Delay->setText(QStringLiteral("0"));
    SaveSettings(form);
    EXPECT_EQ(stored(QStringLiteral("Time")), QStringLiteral("0"));
    EXPECT_EQ(stored(QStringLiteral("Hot Keys/Screen")), QString::number(0x78));
    EXPECT_EQ(menuShortcuts()[0], QStringLiteral("F9"));
}

TEST_F(SettingsStore, AStoreThatCannotBeWrittenStopsDefaultsAndSaving)
{
    QFile blocker(home.path() + QStringLiteral("/Quillmar"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString failed = inStore(home, QStringLiteral("Failed to set data for 'Hideprog'")) + QStringLiteral(". Not a directory");
    EXPECT_EQ(raisedMessage([&] { LoadSettings(form); }), failed);
    EXPECT_EQ(raisedMessage([&] { SaveSettings(form); }), failed);
    EXPECT_EQ(menuShortcuts(), QStringList(7, QString())) << "nothing applied that was not stored";
}
