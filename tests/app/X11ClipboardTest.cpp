// Copy, Paste to New and Clear Clipboard between Kaptiv and another program (xclip) through the
// clipboard of a real display, the commands chosen from the keyboard with xdotool.
#include "AppFixture.h"
#include "XdoTool.h"

#include <QBuffer>
#include <QClipboard>
#include <QMimeData>
#include <QProcess>

namespace kaptiv::testing {
namespace {

QImage rgb(const QImage &image) { return image.convertToFormat(QImage::Format_RGB32); }

class ClipboardOnX11 : public AppFixture {
protected:
    ~ClipboardOnX11() override { stopOwner(); }

    // Runs xclip to its end while Kaptiv goes on answering what it asks.
    QByteArray xclipOut(const QString &target, int *exitCode = nullptr)
    {
        QProcess xclip;
        xclip.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                              QStringLiteral("-t"), target, QStringLiteral("-o")});
        EXPECT_TRUE(waitUntil([&] { return xclip.state() == QProcess::NotRunning; }, 20000)) << "xclip hangs";
        if (exitCode)
            *exitCode = xclip.exitCode();
        return xclip.readAllStandardOutput();
    }
    // Another program takes the clipboard and offers `bytes` as `target` until it loses it.
    void xclipOwns(const QString &target, const QByteArray &bytes)
    {
        stopOwner();
        owner_.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                               QStringLiteral("-t"), target, QStringLiteral("-i"),
                                               QStringLiteral("-quiet")});
        owner_.write(bytes);
        owner_.closeWriteChannel();
        ASSERT_TRUE(waitUntil([&] {
            const QMimeData *data = QGuiApplication::clipboard()->mimeData();
            return data && data->formats().contains(target);
        })) << target.toStdString();
    }
    void stopOwner()
    {
        if (owner_.state() == QProcess::NotRunning)
            return;
        owner_.kill();
        owner_.waitForFinished(5000);
    }
    // Paste to New's state once the Edit menu has opened; the tool button follows it.
    bool pasteEnabledWhenEditOpens()
    {
        EXPECT_TRUE(pressOn(*main, QStringLiteral("alt+e")));
        EXPECT_TRUE(waitUntil([&] { return main->Edit1->isVisible(); }));
        const bool enabled = main->Paste1->isEnabled();
        EXPECT_EQ(main->pasteb->isEnabled(), enabled);
        xdotool({QStringLiteral("key"), QStringLiteral("Escape"), QStringLiteral("Escape")});
        EXPECT_TRUE(waitUntil([&] { return !main->Edit1->isVisible(); }));
        return enabled;
    }

    QProcess owner_;
};

TEST_F(ClipboardOnX11, ACopiedCaptureReachesAnotherProgramAsPngAndBmpWithTheSamePixels)
{
    const std::pair<QAction *, const char *> cases[] = {{main->HighestPossible1, "image/png"},
                                                        {main->HighestPossible1, "image/bmp"},
                                                        {main->N16colors1, "image/png"},
                                                        {main->Monochrome1, "image/bmp"}};
    for (auto [depth, target] : cases) {
        SCOPED_TRACE(::testing::Message() << depth->text().toStdString() << " as " << target);
        depth->trigger();
        main->GrabScreenClick(main->GrabScreen);
        ASSERT_TRUE(pressOn(*main, QStringLiteral("ctrl+c")));
        ASSERT_TRUE(waitUntil([&] { return xclipOut(QStringLiteral("TARGETS")).contains(target); }));
        EXPECT_EQ(rgb(QImage::fromData(xclipOut(QString::fromLatin1(target)))), active()->Image->picture().toRgb32());
    }
}

TEST_F(ClipboardOnX11, APictureAnotherProgramOffersPastesAsANewUntitledWindow)
{
    QImage picture(3, 2, QImage::Format_RGB32);
    const QRgb colours[] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF, 0xFF0A141E, 0xFFC86433};
    for (int i = 0; i < 6; ++i)
        picture.setPixel(i % 3, i / 3, colours[i]);
    main->GrabScreenClick(main->GrabScreen);
    for (auto [target, format] : {std::pair{"image/png", "PNG"}, {"image/bmp", "BMP"}, {"image/x-portable-pixmap", "PPM"}}) {
        SCOPED_TRACE(target);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        ASSERT_TRUE(buffer.open(QIODevice::WriteOnly) && picture.save(&buffer, format));
        const int before = main->imageWindowCount();
        xclipOwns(QString::fromLatin1(target), bytes);
        EXPECT_TRUE(pasteEnabledWhenEditOpens());
        ASSERT_TRUE(pressOn(*main, QStringLiteral("ctrl+v")));
        ASSERT_TRUE(waitUntil([&] { return main->imageWindowCount() == before + 1; })) << "nothing was pasted";
        EXPECT_EQ(rgb(active()->Image->picture().toRgb32()), picture);
        EXPECT_EQ(active()->hint(), QStringLiteral("Untitled - Width: 3, Height: 2, Colors: 16777216"));
        EXPECT_TRUE(dialogs.shown.empty());
    }
}

TEST_F(ClipboardOnX11, WithoutAPictureOnTheClipboardPasteSaysSoAndMakesNoWindow)
{
    main->GrabScreenClick(main->GrabScreen);
    xclipOwns(QStringLiteral("text/plain"), "not a picture");
    // The tool button, still enabled from start-up, clicked as the user does.
    const QWidget *button = main->TB->widgetForAction(main->pasteb);
    const QPoint at = button->mapToGlobal(button->rect().center());
    ASSERT_TRUE(main->pasteb->isEnabled());
    xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()), QStringLiteral("click"),
             QStringLiteral("1")});
    ASSERT_TRUE(waitUntil([&] { return dialogs.shown.size() == 1; }));
    EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("Clipboard does not contain recognizable graphic data."));
    EXPECT_EQ(dialogs.shown[0].caption, QStringLiteral("Kaptiv"));
    settle();
    EXPECT_EQ(captions(), QStringList{QStringLiteral("Untitled1")});
    EXPECT_FALSE(pasteEnabledWhenEditOpens()) << "text alone is no picture";

    // Clear Clipboard empties it for every program: the one that held a picture lets go.
    xclipOwns(QStringLiteral("image/png"), "a picture for all the test knows");
    ASSERT_TRUE(pressOn(*main, QStringLiteral("alt+e")));
    ASSERT_TRUE(waitUntil([&] { return main->Edit1->isVisible(); }));
    xdotool({QStringLiteral("key"), QStringLiteral("r")});
    EXPECT_TRUE(waitUntil([&] { return owner_.state() == QProcess::NotRunning; })) << "xclip still holds it";
    EXPECT_FALSE(main->pasteb->isEnabled());
    int status = 0;
    xclipOut(QStringLiteral("image/png"), &status);
    EXPECT_NE(status, 0) << "the clipboard still held a picture";

    // A copy in Kaptiv puts one there again.
    ASSERT_TRUE(pressOn(*main, QStringLiteral("ctrl+c")));
    EXPECT_TRUE(waitUntil([&] { return main->pasteb->isEnabled(); }));
    EXPECT_TRUE(pasteEnabledWhenEditOpens());
}

} // namespace
} // namespace kaptiv::testing
