// The settings in the running program: loaded at start-up, also from a damaged store, and the
// dialog opened from the main window.
#include "ScopedConfigHome.h"
#include "ScriptedDialogs.h"
#include "app/Startup.h"
#include "app/mainSnap.h"
#include "settings/ConfigSnap.h"

#include <QFile>
#include <QSettings>
#include <gtest/gtest.h>

using namespace kaptiv;
using namespace kaptiv::testing;

namespace {

class RunningProgram : public ::testing::Test {
protected:
    ~RunningProgram() override { destroyApplicationWindows(); }
    void start()
    {
        createApplicationWindows();
        main = appWindows().Screenfrm;
    }
    TConfigfrm &config() { return *appWindows().Configfrm; }
    QStringList captureShortcuts() const
    {
        QStringList result;
        for (QAction *item : main->captureItems())
            result << item->shortcut().toString(QKeySequence::PortableText);
        return result;
    }

    ScopedConfigHome home;
    ScriptedDialogs dialogs;
    TScreenfrm *main = nullptr;
};

} // namespace

TEST_F(RunningProgram, FirstStartStoresTheDefaultsAndTheCaptureMenuShowsThem)
{
    start();
    EXPECT_TRUE(dialogs.shown.empty());
    const QSettings store(home.storeFile(), QSettings::IniFormat);
    EXPECT_EQ(store.value(QStringLiteral("Time")).toString(), QStringLiteral("1500"));
    EXPECT_EQ(store.value(QStringLiteral("Hot Keys/Client Area")).toString(), QStringLiteral("24641"));
    EXPECT_EQ(captureShortcuts(),
              QStringList({QStringLiteral("Ctrl+Shift+S"), QStringLiteral("Ctrl+Shift+R"), QStringLiteral("Ctrl+Shift+W"),
                           QStringLiteral("Ctrl+Shift+G"), QStringLiteral("Ctrl+Shift+T"), QStringLiteral("Ctrl+Shift+C"),
                           QStringLiteral("Ctrl+Shift+A")}));
}

TEST_F(RunningProgram, ADamagedStoreIsReportedAndTheProgramGoesOnWithWhatLoaded)
{
    home.writeStore("[General]\nHideprog=0\nConfirm=1\nCoords=0\nTime=0\n[Hot%20Keys]\nScreen=24625\n"
                    "Rectangle=oops\n");
    start();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("Invalid data type for 'Rectangle' in \"%1\"").arg(home.storeFile()));
    EXPECT_EQ(dialogs.shown[0].caption, QStringLiteral("Kaptiv"));
    EXPECT_TRUE(main->isVisible());
    EXPECT_FALSE(main->hideProgram());
    EXPECT_TRUE(main->confirmClosing());
    EXPECT_EQ(main->captureOptions().refreshDelay, QStringLiteral("0"));
    EXPECT_EQ(captureShortcuts()[0], QStringLiteral("Ctrl+Shift+1"));
    EXPECT_EQ(captureShortcuts()[1], QString());
}

TEST_F(RunningProgram, ConfigurationOpensTheDialogCentredOverTheMainWindow)
{
    start();
    main->setGeometry(101, 57, 517, 383);
    TConfigfrm &dialog = config();
    dialog.show(); // the first showing, centred on the screen
    dialog.hide();
    QPoint placed;
    dialogs.onModal = [&](QDialog &shown) {
        EXPECT_EQ(&shown, &dialog);
        placed = shown.pos();
        return int(mrCancel);
    };
    main->Configuration1Click(main->item("Configuration1"));
    EXPECT_EQ(dialogs.modalRuns, 1);
    const QRect frame = main->frameGeometry(), box = dialog.frameGeometry();
    EXPECT_EQ(placed, QPoint(frame.left() + frame.width() / 2 - box.width() / 2,
                             frame.top() + frame.height() / 2 - box.height() / 2));
}

// A store that is not text at all (zeros or 0xFF bytes, as a failing disk leaves) cannot be read:
// the program starts with the defaults, keeps the damaged file beside the new one, and says where.
TEST_F(RunningProgram, AStoreThatIsNotTextIsKeptBesideTheNewOneAndTheUserIsTold)
{
    const struct {
        QByteArray damaged;
        const char *alreadyKept; // a damaged file kept before, which must survive too
        const char *keptAs;
    } cases[] = {
        {QByteArray(4096, '\0'), nullptr, ".bad"},
        {QByteArray(4096, '\xff'), nullptr, ".bad"},
        {QByteArray("[General]\nHideprog=0\n") + QByteArray(3, '\0'), "older damage", ".bad.2"},
    };
    for (const auto &c : cases) {
        ScopedConfigHome caseHome;
        ScriptedDialogs caseDialogs;
        caseHome.writeStore(c.damaged);
        const QString store = caseHome.storeFile(), kept = store + QLatin1String(c.keptAs);
        if (c.alreadyKept) {
            QFile older(store + QStringLiteral(".bad"));
            ASSERT_TRUE(older.open(QIODevice::WriteOnly));
            older.write(c.alreadyKept);
        }
        start();
        ASSERT_EQ(caseDialogs.shown.size(), 1u) << c.keptAs;
        EXPECT_EQ(caseDialogs.shown[0].text, QStringLiteral("The settings file \"%1\" was damaged and could not be read. "
                                                            "It was kept as \"%2\" and new settings were written in "
                                                            "its place.")
                                                 .arg(store, kept));
        EXPECT_EQ(caseDialogs.shown[0].caption, QStringLiteral("Kaptiv"));
        QFile keptFile(kept);
        ASSERT_TRUE(keptFile.open(QIODevice::ReadOnly)) << kept.toStdString();
        EXPECT_EQ(keptFile.readAll(), c.damaged);
        if (c.alreadyKept) {
            QFile older(store + QStringLiteral(".bad"));
            ASSERT_TRUE(older.open(QIODevice::ReadOnly));
            EXPECT_EQ(older.readAll(), QByteArray(c.alreadyKept));
        }
        const QSettings written(store, QSettings::IniFormat);
        EXPECT_EQ(written.value(QStringLiteral("Hideprog")).toString(), QStringLiteral("1"));
        EXPECT_EQ(written.value(QStringLiteral("Hot Keys/Client Area")).toString(), QStringLiteral("24641"));
        EXPECT_TRUE(main->hideProgram());
        EXPECT_EQ(captureShortcuts()[0], QStringLiteral("Ctrl+Shift+S"));
        destroyApplicationWindows();
    }
}
