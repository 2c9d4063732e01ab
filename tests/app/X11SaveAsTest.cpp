// Save As through the real file dialog on a real display: the user types a name and presses
// Enter, and the file on disk holds the captured picture.
#include "AppFixture.h"
#include "XdoTool.h"

#include "formats/PngCodec.h"
#include "gif/GifFrames.h"

#include <QFileDialog>
#include <QTimer>

namespace kaptiv::testing {
namespace {

using SaveAsOnX11 = AppFixture;

// Types `name` into the file dialog once it is up and has the keyboard, then presses Enter.
class TypeIntoFileDialog {
public:
    explicit TypeIntoFileDialog(QString name) : name_(std::move(name))
    {
        poll_.setInterval(50);
        QObject::connect(&poll_, &QTimer::timeout, [this] { typeWhenReady(); });
        poll_.start();
    }
    bool typed() const { return typed_; }

private:
    void typeWhenReady()
    {
        auto *box = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (typed_ || !box || !box->isVisible())
            return;
        typed_ = true;
        poll_.stop();
        xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(box->winId())});
        xdotool({QStringLiteral("key"), QStringLiteral("ctrl+a")});
        xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), name_});
        xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    }

    QString name_;
    QTimer poll_;
    bool typed_ = false;
};

QImage rgb(const Bitmap &bitmap) { return bitmap.toRgb32().convertToFormat(QImage::Format_RGB32); }

TEST_F(SaveAsOnX11, ACaptureSavedThroughTheFileDialogIsWhatTheFileHolds)
{
    QTemporaryDir dir;
    dialogs.realFileDialogs = true;
    fake.screen = positionalScreen(640, 480);
    main->N256colors1->trigger();
    main->GrabScreenClick(main->GrabScreen);
    const QImage captured = rgb(active()->Image->picture());

    struct Case {
        QAction *item;
        const char *typed, *written;
        std::function<QImage(const QString &)> read;
    } cases[] = {
        {main->PNGpng1, "shot", "shot.png", [](const QString &path) { return rgb(loadPng(path)); }},
        {main->GIFgif1, "anim", "anim.gif",
         [](const QString &path) {
             GifAnimation gif = loadGifAnimation(path);
             return gif.FirstFrameBitmap() ? rgb(*gif.FirstFrameBitmap()) : QImage();
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.written);
        TypeIntoFileDialog user(dir.filePath(QString::fromLatin1(c.typed)));
        c.item->trigger();
        ASSERT_TRUE(user.typed()) << "the file dialog never came up";
        const QString path = dir.filePath(QString::fromLatin1(c.written));
        EXPECT_TRUE(dialogs.shown.empty()) << dialogs.shown.front().text.toStdString();
        EXPECT_EQ(active()->caption(), path);
        EXPECT_TRUE(c.read(path) == captured) << "the file does not hold the capture";
    }
}

} // namespace
} // namespace kaptiv::testing
