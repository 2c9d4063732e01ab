// Save As through the real file dialog on a real display: the user types a name and presses
// Enter, and the file on disk holds the captured picture.
#include "AppFixture.h"
#include "XdoTool.h"

#include "formats/PngCodec.h"
#include "gif/GifFrames.h"

#include <QFileDialog>
#include <QLineEdit>
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
    // The folder the dialog opened in and the name it offered.
    QString openedIn, offered;

private:
    void typeWhenReady()
    {
        auto *box = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (typed_ || !box || !box->isVisible())
            return;
        typed_ = true;
        poll_.stop();
        openedIn = box->directory().absolutePath();
        if (const auto *edit = box->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            offered = edit->text();
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
    main->item("N256colors1")->trigger();
    main->GrabScreenClick(main->item("GrabScreen"));
    const QImage captured = rgb(active()->Image->picture());

    struct Case {
        QAction *item;
        const char *typed, *written;
        std::function<QImage(const QString &)> read;
    } cases[] = {
        {main->item("PNGpng1"), "shot", "shot.png", [](const QString &path) { return rgb(loadPng(path)); }},
        {main->item("GIFgif1"), "anim", "anim.gif",
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

TEST_F(SaveAsOnX11, AFailedSaveIntoProcLeavesTheNextSaveAsInTheHomeFolder)
{
    dialogs.realFileDialogs = true;
    main->GrabScreenClick(main->item("GrabScreen"));
    {
        TypeIntoFileDialog user(QStringLiteral("/proc/x.bmp"));
        main->item("Bitmapbmp1")->trigger();
        ASSERT_TRUE(user.typed()) << "the file dialog never came up";
    }
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].text.startsWith(QLatin1String("Cannot create file \"/proc/x.bmp\"")))
        << dialogs.shown[0].text.toStdString();

    // The next Save As opens in the home folder with no name offered, and takes a name there.
    const QString home = QDir::homePath();
    const QString saved = QDir(home).filePath(QStringLiteral("after-proc.bmp"));
    QFile::remove(saved);
    TypeIntoFileDialog user(QStringLiteral("after-proc"));
    main->item("Bitmapbmp1")->trigger();
    ASSERT_TRUE(user.typed()) << "the file dialog never came up";
    EXPECT_EQ(user.openedIn, home);
    EXPECT_EQ(user.offered, QString());
    EXPECT_EQ(active()->caption(), saved);
    EXPECT_TRUE(QFile::exists(saved));
    QFile::remove(saved);
}

} // namespace
} // namespace kaptiv::testing
