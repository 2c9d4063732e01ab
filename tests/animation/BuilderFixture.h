#pragma once
// The running program with image windows of known pictures, and the builder and preview run as
// the scripted modal runs: shown, driven by the test, closed.

#include "AppFixture.h"

#include "animation/AnimSnap.h"
#include "animation/GIFSnap.h"
#include "document/TranspSnap.h"
#include "gif/GifSave.h"

#include <QDir>
#include <QTest>
#include <optional>

namespace kaptiv::testing {

// `count` distinct colours in a row: red counts up, green tells the pictures apart.
inline QImage colours(int count, int green)
{
    QImage image(count, 1, QImage::Format_RGB32);
    for (int x = 0; x < count; ++x)
        image.setPixel(x, 0, qRgb(x % 256, (green + x / 256) % 256, 0));
    return image;
}

inline QImage solid(int width, int height, QRgb colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

class BuilderFixture : public AppFixture {
protected:
    BuilderFixture()
    {
        dialogs.onModal = [this](QDialog &dialog) {
            std::function<void()> &steps = &dialog == &builder() ? whileBuilderShown
                                           : &dialog == &preview() ? whilePreviewShown
                                                                   : whilePickerShown;
            dialog.show();
            if (steps)
                steps();
            if (dialog.isVisible())
                dialog.close(); // the window's close button
            return dialog.result();
        };
    }

    TAnimationfrm &builder() { return *appWindows().Animationfrm; }
    TAnimfrm &preview() { return *appWindows().Animfrm; }
    TTransparentfrm &picker() { return *appWindows().Transparentfrm; }

    // A capture of `picture`: a new window "Untitled<n>", the active one.
    TImagefrm &capture(const QImage &picture)
    {
        fake.screen = picture;
        main->GrabScreenClick(main->item("GrabScreen"));
        return *active();
    }
    // A one-frame GIF file written and opened as the user opens one: its window is the active one.
    // `transparent`: the colour value (red in the low byte) the file makes transparent.
    TImagefrm &openGif(const QString &name, const QImage &picture, int delay, uint8_t disposal,
                       std::optional<uint32_t> transparent = {})
    {
        TGIFSaveInfo info;
        TFrameInfo frame;
        frame.Bitmap = std::make_shared<Bitmap>(Bitmap::fromImage(picture));
        frame.Delay = delay;
        frame.Disposal = disposal;
        frame.Transparent = transparent.has_value();
        frame.TransparentColor = transparent.value_or(0);
        info.Frames = {frame};
        const QString path = files.filePath(name);
        EXPECT_TRUE(SaveGIF(path, info));
        dialogs.fileNames = {path};
        main->item("Open1")->trigger();
        return *active();
    }
    // "Create Animated GIF..." with `steps` run while the builder is shown; closed after them.
    void runBuilder(std::function<void()> steps)
    {
        whileBuilderShown = std::move(steps);
        main->item("CreateAnimatedGIF1")->trigger();
        whileBuilderShown = nullptr;
    }
    QStringList entries()
    {
        QStringList result;
        for (int i = 0; i < builder().ImageLB->count(); ++i)
            result << builder().ImageLB->item(i)->text();
        return result;
    }
    void select(int entry)
    {
        QListWidget &list = *builder().ImageLB;
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.item(entry)).center());
    }
    QStringList filesIn(const QString &folder)
    {
        return QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden);
    }

    std::function<void()> whileBuilderShown, whilePreviewShown, whilePickerShown;
    QTemporaryDir files;
};

} // namespace kaptiv::testing
