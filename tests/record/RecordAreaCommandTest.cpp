// Record Area to GIF in the program, on a real display: the area chosen as the overlay would
// choose it, the control's Stop pressed, the Save As answered from a script.
#include "ScriptedDialogs.h"
#include "app/Startup.h"
#include "app/mainSnap.h"
#include "capture/CaptureOverlay.h"
#include "capture/RecordingWindow.h"
#include "gif/GIFImage.h"
#include "settings/ConfigSnap.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include "RecordScene.h" // last: Xlib

namespace kaptiv::testing {
namespace {

constexpr int X = 400, Y = 300, W = 200, H = 100;

RecordingControl *openControl()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *control = qobject_cast<RecordingControl *>(w))
            return control;
    return nullptr;
}

QWidget *playerWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->findChild<TGIFImage *>() && w->windowTitle().contains(QStringLiteral(" frames, ")))
            return w;
    return nullptr;
}

class RecordAreaCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            GTEST_SKIP() << "no display";
        createApplicationWindows();
        main = appWindows().Screenfrm;
        appWindows().Configfrm->Delay->setText(QStringLiteral("0"));
        appWindows().Configfrm->hideprog->setChecked(true);
        main->save.FileName = dir.filePath(QStringLiteral("earlier.gif")); // the last folder used
        // The overlay is answered as a drag over the scene's area would answer it.
        dialogs.onModal = [](QDialog &dialog) {
            if (auto *overlay = qobject_cast<TCapturefrm *>(&dialog))
                overlay->Selection = {X, Y, X + W, Y + H};
            return 1;
        };
    }
    void TearDown() override
    {
        if (QWidget *player = playerWindow())
            delete player;
        if (main)
            destroyApplicationWindows();
    }

    // Runs the command; once the control shows, `during` plays the scene and Stop is pressed.
    void record(const std::function<void(RecordingControl &)> &during)
    {
        QTimer watch;
        bool stopped = false;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            RecordingControl *control = openControl();
            if (!control || !control->isVisible() || stopped)
                return;
            stopped = true;
            during(*control);
            control->StopButton->click();
        });
        watch.start(10);
        main->item("RecordAreatoGIF1")->trigger();
        EXPECT_TRUE(stopped) << "the control never showed";
    }

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    TScreenfrm *main = nullptr;
};

TEST_F(RecordAreaCommand, SavedRecordingEndsOnTheFrozenSceneAndPlaysInItsWindow)
{
    Scene scene(X, Y, W, H);
    scene.fill(0x204060);
    Picture last;
    const QString target = dir.filePath(QStringLiteral("saved.gif"));
    dialogs.fileNames = {target};
    record([&](RecordingControl &control) {
        EXPECT_EQ(control.PauseButton->text(), QStringLiteral("Pause"));
        EXPECT_FALSE(main->isVisible()) << "the program stays out of the area while it records";
        for (std::uint32_t c : {0xFF0000u, 0x00FF00u, 0x0000FFu})
            scene.fill(c);
        Picture stripes(std::size_t(W) * H);
        for (std::size_t i = 0; i < stripes.size(); ++i)
            stripes[i] = (i / W) % 4 < 2 ? 0xFFFF00 : 0x101010;
        scene.show(stripes);
        last = scene.grab();
    });
    ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
    EXPECT_EQ(dialogs.fileDialogs[0].Filter, QStringLiteral("GIF (*.gif)|*.gif"));
    EXPECT_TRUE(QFileInfo(dialogs.fileDialogs[0].FileName).fileName().startsWith(QStringLiteral("Recording-")));
    EXPECT_EQ(QFileInfo(dialogs.fileDialogs[0].FileName).absolutePath(), QFileInfo(dir.path()).absoluteFilePath());
    const std::optional<gif::oracle::Image> image = readWithGiflib(target);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->screenWidth, W);
    EXPECT_EQ(image->screenHeight, H);
    EXPECT_EQ(gif::oracle::Composed(*image).back(), last);
    QWidget *player = playerWindow();
    ASSERT_TRUE(player);
    EXPECT_TRUE(player->windowTitle().startsWith(QStringLiteral("saved.gif - %1 frames, ").arg(image->frames.size())))
        << player->windowTitle().toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
              QStringList{QStringLiteral("saved.gif")});
}

TEST_F(RecordAreaCommand, CancelLeavesNothingOnDisk)
{
    Scene scene(X, Y, W, H);
    record([&](RecordingControl &) {
        for (std::uint32_t c : {0xFF0000u, 0x00FF00u})
            scene.fill(c);
    });
    ASSERT_EQ(dialogs.fileDialogs.size(), 1u); // answered with Cancel
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden), QStringList());
    EXPECT_FALSE(playerWindow());
}

} // namespace
} // namespace kaptiv::testing
