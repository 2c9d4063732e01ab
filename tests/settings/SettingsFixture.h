#pragma once
// The configuration dialog over a store of its own, attached to seven capture items in the menu of
// a stand-in main window, with scripted message boxes.

#include "ScopedConfigHome.h"
#include "ScriptedDialogs.h"
#include "settings/ConfigSnap.h"
#include "settings/RegSnap.h"

#include <QAction>
#include <QFile>
#include <QMainWindow>
#include <QMenuBar>
#include <QSettings>
#include <gtest/gtest.h>

namespace kaptiv::testing {

class SettingsFixture : public ::testing::Test {
protected:
    SettingsFixture()
    {
        QMenu *capture = window.menuBar()->addMenu(QStringLiteral("Capture &Image"));
        for (std::size_t row = 0; row < items.size(); ++row)
            items[row] = capture->addAction(QString::fromLatin1(hotKeySettings[row].valueName));
        form.attachCaptureItems(window, items);
    }

    // What the store holds under a key ("General/Time", "Hot Keys/Screen"), as text.
    QString stored(const QString &key) const
    {
        return QSettings(home.storeFile(), QSettings::IniFormat).value(key).toString();
    }
    QByteArray readStore() const
    {
        QFile file(home.storeFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QStringList menuShortcuts() const
    {
        QStringList result;
        for (QAction *item : items)
            result << item->shortcut().toString(QKeySequence::PortableText);
        return result;
    }
    std::array<ShortcutValue, 7> fieldValues() const
    {
        std::array<ShortcutValue, 7> values{};
        for (std::size_t row = 0; row < values.size(); ++row)
            values[row] = form.hotKeyFields()[row]->value();
        return values;
    }

    // The fields and the capture items hold the defaults.
    void expectDefaultsInForce() const;

    ScopedConfigHome home;
    ScriptedDialogs dialogs;
    QMainWindow window;
    std::array<QAction *, 7> items{};
    TConfigfrm form;
};

inline const QStringList defaultMenuShortcuts{
    QStringLiteral("Ctrl+Shift+S"), QStringLiteral("Ctrl+Shift+R"), QStringLiteral("Ctrl+Shift+W"),
    QStringLiteral("Ctrl+Shift+G"), QStringLiteral("Ctrl+Shift+T"), QStringLiteral("Ctrl+Shift+C"),
    QStringLiteral("Ctrl+Shift+A")};

inline const std::array<ShortcutValue, 7> defaultHotKeys{24659, 24658, 24663, 24647, 24660, 24643, 24641};

inline void SettingsFixture::expectDefaultsInForce() const
{
    EXPECT_TRUE(form.hideprog->isChecked());
    EXPECT_FALSE(form.confirm->isChecked());
    EXPECT_TRUE(form.coords->isChecked());
    EXPECT_EQ(form.Delay->text(), QStringLiteral("1500"));
    EXPECT_EQ(fieldValues(), defaultHotKeys);
    EXPECT_EQ(menuShortcuts(), defaultMenuShortcuts);
}

} // namespace kaptiv::testing
