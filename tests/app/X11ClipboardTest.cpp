// Copy, Paste to New and Clear Clipboard between Kaptiv and another program (xclip) through the
// clipboard of a real display, the commands chosen from the keyboard with xdotool.
#include "AppFixture.h"
#include "XdoTool.h"

#include "formats/PngCodec.h"
#include "platform/x11/X11Clipboard.h"

#include <QBuffer>
#include <QClipboard>
#include <QElapsedTimer>
#include <QMimeData>
#include <QProcess>
#include <QRandomGenerator>
#include <QTimer>

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
        EXPECT_TRUE(waitUntil([&] { return main->menu("Edit1")->isVisible(); }));
        const bool enabled = main->item("Paste1")->isEnabled();
        EXPECT_EQ(main->item("pasteb")->isEnabled(), enabled);
        xdotool({QStringLiteral("key"), QStringLiteral("Escape"), QStringLiteral("Escape")});
        EXPECT_TRUE(waitUntil([&] { return !main->menu("Edit1")->isVisible(); }));
        return enabled;
    }

    QProcess owner_;
};

TEST_F(ClipboardOnX11, ACopiedCaptureReachesAnotherProgramAsPngAndBmpWithTheSamePixels)
{
    const std::pair<QAction *, const char *> cases[] = {{main->item("HighestPossible1"), "image/png"},
                                                        {main->item("HighestPossible1"), "image/bmp"},
                                                        {main->item("N16colors1"), "image/png"},
                                                        {main->item("Monochrome1"), "image/bmp"}};
    for (auto [depth, target] : cases) {
        SCOPED_TRACE(::testing::Message() << depth->text().toStdString() << " as " << target);
        depth->trigger();
        main->GrabScreenClick(main->item("GrabScreen"));
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
    main->GrabScreenClick(main->item("GrabScreen"));
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
    main->GrabScreenClick(main->item("GrabScreen"));
    xclipOwns(QStringLiteral("text/plain"), "not a picture");
    // The tool button, still enabled from start-up, clicked as the user does.
    const QWidget *button = main->toolBar()->widgetForAction(main->item("pasteb"));
    const QPoint at = button->mapToGlobal(button->rect().center());
    ASSERT_TRUE(main->item("pasteb")->isEnabled());
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
    ASSERT_TRUE(waitUntil([&] { return main->menu("Edit1")->isVisible(); }));
    xdotool({QStringLiteral("key"), QStringLiteral("r")});
    EXPECT_TRUE(waitUntil([&] { return owner_.state() == QProcess::NotRunning; })) << "xclip still holds it";
    EXPECT_FALSE(main->item("pasteb")->isEnabled());
    int status = 0;
    xclipOut(QStringLiteral("image/png"), &status);
    EXPECT_NE(status, 0) << "the clipboard still held a picture";

    // A copy in Kaptiv puts one there again.
    ASSERT_TRUE(pressOn(*main, QStringLiteral("ctrl+c")));
    EXPECT_TRUE(waitUntil([&] { return main->item("pasteb")->isEnabled(); }));
    EXPECT_TRUE(pasteEnabledWhenEditOpens());
}

TEST_F(ClipboardOnX11, AnOwnerThatNeverSendsItsPicturesIsGivenUpWithinFiveSecondsAndTheWindowStaysAlive)
{
    main->GrabScreenClick(main->item("GrabScreen"));
    const struct Case {
        const char *owner;
        QStringList arguments;
        bool pasteEnabled; // what the Edit menu finds
    } cases[] = {
        {"lists twelve picture types, sends none", {}, true},
        {"answers nothing at all", {QStringLiteral("--silent")}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.owner);
        stopOwner();
        dialogs.shown.clear();
        QProcess hostile;
        hostile.start(QStringLiteral(KAPTIV_HOSTILE_OWNER), c.arguments);
        ASSERT_TRUE(waitUntil([&] { return hostile.canReadLine(); })) << "the owner never took the clipboard";
        ASSERT_EQ(hostile.readLine(), QByteArray("owner\n"));
        ASSERT_TRUE(main->item("Paste1")->isEnabled()) << "from start-up, or from the Edit menu's last look";

        // The window goes on handling events while Paste waits: a timer keeps ticking.
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(50);
        QElapsedTimer clock;
        clock.start();
        ASSERT_TRUE(pressOn(*main, QStringLiteral("ctrl+v")));
        ASSERT_TRUE(waitUntil([&] { return !dialogs.shown.empty(); }, 30000)) << "Paste never gave up";
        const qint64 took = clock.elapsed();
        EXPECT_LT(took, 7000) << "the owner held Paste for " << took << " ms";
        EXPECT_GT(ticks, 30) << "the window stood still while Paste waited";
        EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("Clipboard does not contain recognizable graphic data."));
        EXPECT_EQ(captions(), QStringList{QStringLiteral("Untitled1")});

        // The Edit menu knows what this owner offers from when it took the clipboard: opening it
        // asks the owner nothing more, whether or not the owner ever answers.
        EXPECT_EQ(pasteEnabledWhenEditOpens(), c.pasteEnabled);
        EXPECT_EQ(pasteEnabledWhenEditOpens(), c.pasteEnabled);
        // Another program takes the clipboard (not waited for through the toolkit's clipboard,
        // which would ask the hostile owner itself); the hostile one ends on losing it.
        owner_.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                               QStringLiteral("-i"), QStringLiteral("-quiet")});
        owner_.write("the hostile owner's turn is over");
        owner_.closeWriteChannel();
        ASSERT_TRUE(waitUntil([&] { return hostile.state() == QProcess::NotRunning; }));
        const QByteArray asked = hostile.readAllStandardOutput();
        EXPECT_EQ(asked.count("TARGETS\n"), 2) << "asked for: " << asked.toStdString();
    }
}

TEST_F(ClipboardOnX11, ALargePictureArrivesInPiecesAndPastesWhole)
{
    // Noise does not compress: several megabytes of PNG, which another program hands over in pieces.
    QImage noise(1000, 1000, QImage::Format_RGB32);
    QRandomGenerator random(20);
    for (int y = 0; y < noise.height(); ++y)
        random.fillRange(reinterpret_cast<quint32 *>(noise.scanLine(y)), noise.width());
    noise = noise.convertToFormat(QImage::Format_RGB32); // the top bytes set to opaque
    const QByteArray png = encodePng(Bitmap::fromImage(noise));
    ASSERT_GT(png.size(), 2 << 20);
    xclipOwns(QStringLiteral("image/png"), png);

    X11ClipboardReader reader(x11DisplayName(), ClipboardClock::now() + std::chrono::seconds(5));
    EXPECT_EQ(reader.read("image/png", 1u << 30), png);
    EXPECT_EQ(reader.incrementalTransfers(), 1) << "xclip sent it in one piece: no INCR transfer was exercised";

    ASSERT_TRUE(pressOn(*main, QStringLiteral("ctrl+v")));
    ASSERT_TRUE(waitUntil([&] { return main->imageWindowCount() == 1; }, 20000)) << "nothing was pasted";
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(rgb(active()->Image->picture().toRgb32()), noise);
}

TEST_F(ClipboardOnX11, ASemiTransparentPictureFromAnotherProgramKeepsItsAlphaAsOpenDoes)
{
    QImage image(3, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(0, 0, 0, 0));
    image.setPixel(1, 0, qRgba(255, 0, 0, 128));
    image.setPixel(2, 0, qRgba(0, 0, 255, 255));
    const QByteArray png = encodePng(Bitmap::fromImage(image));
    xclipOwns(QStringLiteral("image/png"), png);
    ASSERT_TRUE(pressOn(*main, QStringLiteral("ctrl+v")));
    ASSERT_TRUE(waitUntil([&] { return main->imageWindowCount() == 1; })) << "nothing was pasted";
    const Bitmap opened = decodePng(png);
    EXPECT_EQ(active()->Image->picture().depth(), opened.depth());
    EXPECT_EQ(active()->Image->picture().image(), opened.image());
}

} // namespace
} // namespace kaptiv::testing
