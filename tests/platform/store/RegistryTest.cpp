// The registry class over its INI file: where values go, how a missing value, a value of another
// type and an unwritable file are reported.
#include "RaisedMessage.h"
#include "ScopedConfigHome.h"
#include "platform/ui/Errors.h"
#include "platform/store/Registry.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <gtest/gtest.h>

using namespace kaptiv;
using kaptiv::testing::raisedMessage;
using kaptiv::testing::ScopedConfigHome;

namespace {

const QString productKey = QStringLiteral("Software\\Quillmar\\Kaptiv");
const QString subKey = QStringLiteral("Software\\Quillmar\\Kaptiv\\Hot Keys");

// The store's message for `text`, which names the store file.
QString inStore(const ScopedConfigHome &home, const char *text)
{
    return QString::fromLatin1(text) + QStringLiteral(" in \"%1\"").arg(home.storeFile());
}

} // namespace

TEST(Registry, KeysAreSectionsOfTheProductFileInTheConfigurationDirectory)
{
    ScopedConfigHome home;
    EXPECT_EQ(Registry::storeFileOf(productKey), home.storeFile());
    {
        Registry registry;
        EXPECT_FALSE(registry.keyExists(productKey));
        ASSERT_TRUE(registry.openKey(productKey, true));
        registry.writeInteger(QStringLiteral("Time"), 1500);
        ASSERT_TRUE(registry.openKey(subKey, true));
        registry.writeInteger(QStringLiteral("Active Window"), 24647);
    }
    QSettings file(home.storeFile(), QSettings::IniFormat);
    EXPECT_EQ(file.value(QStringLiteral("Time")).toString(), QStringLiteral("1500"));
    EXPECT_EQ(file.value(QStringLiteral("Hot Keys/Active Window")).toString(), QStringLiteral("24647"));

    Registry again;
    EXPECT_TRUE(again.keyExists(productKey));
    EXPECT_TRUE(again.keyExists(subKey));
    ASSERT_TRUE(again.openKey(subKey, false));
    EXPECT_EQ(again.readInteger(QStringLiteral("Active Window")), 24647);
}

TEST(Registry, MissingKeysAreNotOpenedWithoutCreating)
{
    ScopedConfigHome home;
    Registry registry;
    EXPECT_FALSE(registry.openKey(productKey, false));
    EXPECT_FALSE(registry.openKey(QStringLiteral("Software\\Quillmar"), true)) << "no file for a vendor alone";
    ASSERT_TRUE(registry.openKey(productKey, true));
    registry.writeInteger(QStringLiteral("Hideprog"), 1);
    EXPECT_FALSE(registry.keyExists(subKey)) << "a key without values does not exist";
    EXPECT_FALSE(registry.openKey(subKey, false));
}

TEST(Registry, ReadingAMissingValueOrWithNoKeyOpenFails)
{
    ScopedConfigHome home;
    Registry registry;
    EXPECT_EQ(raisedMessage([&] { registry.readInteger(QStringLiteral("Screen")); }),
              QStringLiteral("Failed to get data for 'Screen'"));
    ASSERT_TRUE(registry.openKey(productKey, true));
    registry.writeInteger(QStringLiteral("Hideprog"), 1);
    EXPECT_EQ(raisedMessage([&] { registry.readInteger(QStringLiteral("Time")); }),
              inStore(home, "Failed to get data for 'Time'"));
    registry.closeKey();
    EXPECT_EQ(raisedMessage([&] { registry.readInteger(QStringLiteral("Hideprog")); }),
              inStore(home, "Failed to get data for 'Hideprog'"));
}

TEST(Registry, OnlyThirtyTwoBitIntegersReadAsIntegers)
{
    struct Case {
        const char *stored;
        bool integer;
        int value;
    };
    const Case cases[] = {
        {"1500", true, 1500},
        {"-5", true, -5},
        {"0", true, 0},
        {"2147483647", true, 2147483647},
        {"4294967295", true, -1}, // a DWORD with every bit set
        {"-2147483648", true, -2147483647 - 1},
        {"4294967296", false, 0},
        {"-2147483649", false, 0},
        {"abc", false, 0},
        {"12a", false, 0},
        {"1.5", false, 0},
        {"0x10", false, 0},
        {"\"\"", false, 0},
        {"1, 2", false, 0},
        {"@ByteArray(12)", false, 0},
    };
    for (const Case &c : cases) {
        ScopedConfigHome home;
        home.writeStore(QByteArray("[General]\nTime=") + c.stored + "\n");
        Registry registry;
        ASSERT_TRUE(registry.openKey(productKey, false)) << c.stored;
        if (c.integer) {
            EXPECT_EQ(registry.readInteger(QStringLiteral("Time")), c.value) << c.stored;
        } else {
            EXPECT_EQ(raisedMessage([&] { registry.readInteger(QStringLiteral("Time")); }),
                      inStore(home, "Invalid data type for 'Time'"))
                << c.stored;
        }
    }
}

TEST(Registry, AWriteThatCannotReachTheFileFails)
{
    ScopedConfigHome home;
    // The vendor's directory is taken by a plain file, so the store cannot be created (this holds
    // even for root, whom file permissions would not stop).
    QFile blocker(home.path() + QStringLiteral("/Quillmar"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Registry registry;
    ASSERT_TRUE(registry.openKey(productKey, true));
    EXPECT_EQ(raisedMessage([&] { registry.writeInteger(QStringLiteral("Hideprog"), 1); }),
              inStore(home, "Failed to set data for 'Hideprog'") + QStringLiteral(". Not a directory"));
    EXPECT_FALSE(registry.keyExists(productKey));
    registry.closeKey();
    EXPECT_EQ(raisedMessage([&] { registry.writeInteger(QStringLiteral("Coords"), 1); }),
              inStore(home, "Failed to set data for 'Coords'"));

    Registry reader;
    ASSERT_TRUE(reader.openKey(productKey, true));
    EXPECT_EQ(raisedMessage([&] { reader.readInteger(QStringLiteral("Hideprog")); }),
              inStore(home, "Failed to get data for 'Hideprog'"))
        << "a value that was never written reads as stored";
}

// A store that is there but cannot be read may still be a good one: it is reported, never taken
// for an empty store and written over.
TEST(Registry, AStoreThatCannotBeReadIsReportedAndLeftAlone)
{
    const QByteArray tooLarge = "[General]\n; " + QByteArray(1 << 20, 'x') + "\nTime=5\n";
    for (const bool folder : {true, false}) {
        ScopedConfigHome home;
        if (folder)
            QDir().mkpath(home.storeFile());
        else
            home.writeStore(tooLarge);
        const QString reason = folder ? QStringLiteral("It is a folder.")
                                      : QStringLiteral("It is larger than 1 MiB, the most Kaptiv reads.");
        Registry registry;
        EXPECT_EQ(raisedMessage([&] { registry.keyExists(productKey); }),
                  QStringLiteral("Cannot read the settings file \"%1\". %2").arg(home.storeFile(), reason));
        EXPECT_EQ(raisedMessage([&] { registry.openKey(productKey, true); }),
                  QStringLiteral("Cannot read the settings file \"%1\". %2").arg(home.storeFile(), reason));
        EXPECT_EQ(raisedMessage([&] { registry.writeInteger(QStringLiteral("Time"), 1); }),
                  inStore(home, "Failed to set data for 'Time'"));
        QFile store(home.storeFile());
        if (!folder) {
            ASSERT_TRUE(store.open(QIODevice::ReadOnly));
            EXPECT_EQ(store.readAll(), tooLarge);
        }
        EXPECT_EQ(QDir(home.path() + QStringLiteral("/Quillmar")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                  QStringList{QStringLiteral("Kaptiv.ini")});
    }
}
