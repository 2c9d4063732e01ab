// Open and Save As of the main window, with the file dialogs answered by a script and real files.
#include "AppFixture.h"

#include "app/ImageFileType.h"
#include "document/ImgFrmtSnap.h"
#include "formats/BmpCodec.h"
#include "gif/GifSave.h"

#include <QDir>
#include <QFile>

namespace kaptiv::testing {
namespace {

const char *const GifFailure = "Could not create the GIF animation.  Make sure the images are valid, i.e. there "
                               "are no more than 256 colors per image.";

class ImageFileCommands : public AppFixture {
protected:
    QString file(const QString &name) const { return dir.filePath(name); }
    TImgFormat &options() { return *appWindows().ImgFormat; }

    // Runs `item` as the user chooses it, with `name` typed into the file dialog.
    void runWithFileName(QAction *item, const QString &name)
    {
        dialogs.fileNames = {name};
        item->trigger();
    }

    // A picture of `w` x `h` in a few flat colours, one per row band, offset by `seed`.
    static Bitmap bands(int w, int h, int seed)
    {
        QImage image(w, h, QImage::Format_RGB32);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                image.setPixel(x, y, qRgb(40 * ((y + seed) % 6), 255 - 30 * seed, x < w / 2 ? 0 : 200));
        return Bitmap::fromImage(image);
    }

    static bool put(const QString &path, const QByteArray &bytes)
    {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    }

    static QByteArray contents(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir;
};

TEST_F(ImageFileCommands, TheExtensionAloneDecidesTheType)
{
    const std::pair<const char *, ImageFileType> cases[] = {
        {"/p/a.bmp", ImageFileType::Bitmap},  {"/p/a.gif", ImageFileType::Gif},    {"/p/a.GIF", ImageFileType::None},
        {"/p/photo.jpeg", ImageFileType::Jpeg}, {"/p/a.jpg", ImageFileType::Jpeg}, {"/p/a.jpe", ImageFileType::None},
        {"/p/a.gifx", ImageFileType::Gif},    {"/p/a.ico", ImageFileType::Icon},   {"/p/a.png", ImageFileType::Png},
        {"/p/a.jpegx", ImageFileType::None},  {"/p.gif/a", ImageFileType::None},   {"/p/a.tar.bmp", ImageFileType::Bitmap},
        {"/p/a", ImageFileType::None},        {"/p/.gif", ImageFileType::Gif},
    };
    for (auto [name, type] : cases)
        EXPECT_EQ(imageFileTypeOf(QString::fromLatin1(name)), type) << name;
}

TEST_F(ImageFileCommands, OpenShowsTheFilterAndRefusesWhatItCannotTell)
{
    const QString upper = file(QStringLiteral("a.GIF"));
    ASSERT_TRUE(put(upper, "GIF89a"));
    main->Open1->trigger(); // cancelled
    runWithFileName(main->Open1, file(QStringLiteral("missing.bmp")));
    EXPECT_TRUE(dialogs.shown.empty());
    runWithFileName(main->openb, upper);
    ASSERT_EQ(dialogs.fileDialogs.size(), 3u);
    EXPECT_EQ(dialogs.fileDialogs[0].kind, FileDialog::Open);
    EXPECT_EQ(dialogs.fileDialogs[0].Filter,
              QStringLiteral("All Formats (*.bmp,*.gif,*.jpg,*.jpeg,*.ico)|*.bmp;*.jpg;*.jpeg;*.gif;*.ico;*.png|"
                             "Bitmap (*.bmp)|*.bmp|GIF (*.gif)|*.gif|JPEG (*.jpg)|*.jpg;*.jpeg|Icon (*.ico)|*.ico|"
                             "PNG (*.png)|*.png"));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("Could not open image."));
    EXPECT_EQ(dialogs.shown[0].caption, QStringLiteral("Kaptiv"));
    EXPECT_TRUE(captions().isEmpty());
}

TEST_F(ImageFileCommands, AnAnimatedGifOpensAsOneWindowPerFrameLastFirst)
{
    const QString path = file(QStringLiteral("anim.gif"));
    TGIFSaveInfo info;
    const QSize sizes[] = {{10, 8}, {12, 6}, {7, 9}};
    for (int i = 0; i < 3; ++i) {
        TFrameInfo frame;
        frame.Bitmap = std::make_shared<Bitmap>(bands(sizes[i].width(), sizes[i].height(), i));
        frame.Width = sizes[i].width();
        frame.Height = sizes[i].height();
        frame.Interlaced = i == 1;
        frame.Transparent = i == 1;
        frame.TransparentColor = colorValueOf(frame.Bitmap->image().pixel(0, 0));
        frame.Delay = 100;
        info.Frames.push_back(frame);
    }
    ASSERT_TRUE(SaveGIF(path, info));
    runWithFileName(main->Open1, path);
    EXPECT_TRUE(dialogs.shown.empty());
    // Each new window goes on top: anim[3] was made first, anim[1] last and is active.
    EXPECT_EQ(captions(), (QStringList{"anim[1]", "anim[2]", "anim[3]"}));
    const QList<TImagefrm *> windows = main->imageWindows();
    for (int n = 1; n <= 3; ++n) {
        TImagefrm &w = *windows[n - 1];
        const QSize size = sizes[n - 1];
        EXPECT_TRUE(w.FromGif);
        EXPECT_EQ(w.Image->picture().width(), size.width());
        EXPECT_EQ(w.Image->picture().height(), size.height());
        EXPECT_EQ(w.Image->picture().image().pixel(size.width() - 1, size.height() - 1),
                  bands(size.width(), size.height(), n - 1).image().pixel(size.width() - 1, size.height() - 1));
        EXPECT_EQ(w.hint(), QStringLiteral("anim[%1] - Width: %2, Height: %3, Colors: %4")
                                .arg(n).arg(size.width()).arg(size.height()).arg(w.ColorCount));
        EXPECT_EQ(w.GifInfo.Width, size.width());
        EXPECT_EQ(w.FrameDefs.Delay, 100);
        EXPECT_EQ(w.GifInfo.Transparent, n == 2);
        EXPECT_EQ(w.Image->Transparent(), n == 2);
    }
    windows[1]->ImageMouseMove(1, 1);
    EXPECT_EQ(main->infoPanels[1]->text(), QStringLiteral("Interlaced -  Transparent - 12x6"));
}

TEST_F(ImageFileCommands, ASingleImageGifIsTitledByItsPath)
{
    const QString path = file(QStringLiteral("one.gif"));
    TGIFSaveInfo info;
    TFrameInfo frame;
    frame.Bitmap = std::make_shared<Bitmap>(bands(5, 4, 0));
    info.Frames = {frame};
    ASSERT_TRUE(SaveGIF(path, info));
    runWithFileName(main->Open1, path);
    EXPECT_EQ(captions(), QStringList{path});
    EXPECT_TRUE(active()->FromGif);
    EXPECT_EQ(active()->hint(), QStringLiteral("one.gif - Width: 5, Height: 4, Colors: %1").arg(active()->ColorCount));
}

TEST_F(ImageFileCommands, ABitmapOpensAtItsOwnDepth)
{
    const QString path = file(QStringLiteral("vga.bmp"));
    saveBmp(convertToColors(bands(9, 3, 1).image(), 32, CaptureColors::Colors16), path);
    runWithFileName(main->Open1, path);
    EXPECT_EQ(captions(), QStringList{path});
    EXPECT_EQ(active()->hint(), QStringLiteral("vga.bmp - Width: 9, Height: 3, Colors: 16"));

    // A file that is not a bitmap: the reader's message, and no empty window.
    const QString broken = file(QStringLiteral("broken.bmp"));
    ASSERT_TRUE(put(broken, "BMnonsense"));
    runWithFileName(main->Open1, broken);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].text.contains(QStringLiteral("Bitmap image is not valid."))) << dialogs.shown[0].text.toStdString();
    EXPECT_EQ(captions(), QStringList{path});
}

TEST_F(ImageFileCommands, SaveAsBitmapWritesTheChosenFormatAndShowsWhatWasWritten)
{
    // Colours everywhere but one white square: "Monochrome" keeps only white as white.
    fake.screen = positionalScreen(640, 480);
    for (int y = 50; y < 100; ++y)
        for (int x = 100; x < 200; ++x)
            fake.screen.setPixel(x, y, qRgb(255, 255, 255));
    main->GrabScreenClick(main->GrabScreen);
    options().ColorGroup->setItemIndex(0);
    runWithFileName(main->Bitmapbmp1, file(QStringLiteral("mono"))); // typed without extension
    const QString path = file(QStringLiteral("mono.bmp"));
    ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
    EXPECT_EQ(dialogs.fileDialogs[0].kind, FileDialog::Save);
    EXPECT_EQ(dialogs.fileDialogs[0].Filter, QStringLiteral("Windows Bitmap (*.bmp)|*.bmp"));
    EXPECT_EQ(dialogs.fileDialogs[0].DefaultExt, QStringLiteral("bmp"));
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(active()->caption(), path);
    EXPECT_EQ(active()->hint(), QStringLiteral("mono.bmp - Width: 640, Height: 480, Colors: 2"));
    EXPECT_EQ(contents(path).at(28), 1); // bits per pixel
    const QImage shown = active()->Image->picture().toRgb32();
    EXPECT_EQ(shown.pixel(100, 50), qRgb(255, 255, 255));
    EXPECT_EQ(shown.pixel(199, 99), qRgb(255, 255, 255));
    EXPECT_EQ(shown.pixel(200, 99), qRgb(0, 0, 0));
    EXPECT_EQ(shown.pixel(639, 479), qRgb(0, 0, 0));
    EXPECT_FALSE(active()->isUnsaved());

    // The dialog offers the last name again; "16 million colors" writes 16 bits.
    options().ColorGroup->setItemIndex(3);
    runWithFileName(main->Bitmapbmp1, file(QStringLiteral("deep.bmp")));
    EXPECT_EQ(dialogs.fileDialogs[1].FileName, path);
    EXPECT_EQ(contents(file(QStringLiteral("deep.bmp"))).at(28), 16);
    EXPECT_EQ(active()->ColorCount, 65536);
}

TEST_F(ImageFileCommands, SaveAsGifOfAFullColourPictureFailsAndKeepsTheOldFile)
{
    fake.screen = positionalScreen(640, 480); // far more than 256 colours
    main->GrabScreenClick(main->GrabScreen);
    const QString path = file(QStringLiteral("old.gif"));
    ASSERT_TRUE(put(path, "what was there"));
    runWithFileName(main->GIFgif1, path);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, QString::fromLatin1(GifFailure));
    EXPECT_EQ(dialogs.fileDialogs[0].Filter, QStringLiteral("GIF (*.gif)|*.gif"));
    EXPECT_EQ(contents(path), QByteArray("what was there"));
    EXPECT_EQ(active()->caption(), QStringLiteral("Untitled1"));
    EXPECT_TRUE(active()->FromGif); // already taken over before the writer was asked
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"old.gif"});
}

TEST_F(ImageFileCommands, SaveAsGifShowsTheFileReadBackWithTheChosenOptions)
{
    fake.screen = positionalScreen(640, 480);
    main->N256colors1->trigger();
    main->GrabScreenClick(main->GrabScreen);
    const QImage captured = active()->Image->picture().toRgb32();
    active()->Comment = QStringLiteral("hello");
    options().Interlaced->setChecked(false);
    options().Transp->setChecked(true);
    options().TransColor = 0x000000; // black
    runWithFileName(main->GIFgif1, file(QStringLiteral("shot")));
    const QString path = file(QStringLiteral("shot.gif"));
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(active()->caption(), path);
    // The colour table is as large as the colours used need, and the window counts what the file has.
    EXPECT_GE(active()->ColorCount, 2);
    EXPECT_LE(active()->ColorCount, 256);
    EXPECT_EQ(active()->hint(), QStringLiteral("shot.gif - Width: 640, Height: 480, Colors: %1").arg(active()->ColorCount));
    EXPECT_TRUE(active()->Image->picture().toRgb32() == captured) << "the window does not show what was saved";
    EXPECT_TRUE(active()->Image->Transparent());
    EXPECT_EQ(active()->Image->transparentColor(), 0u);
    EXPECT_FALSE(active()->GifInfo.Interlaced);
    EXPECT_TRUE(active()->GifInfo.Transparent);
    EXPECT_EQ(active()->GifInfo.Comment, QStringLiteral("hello"));
    EXPECT_EQ(active()->FrameDefs.Bitmap, active()->GifInfo.Bitmap);
    EXPECT_TRUE(contents(path).contains("hello"));
}

} // namespace
} // namespace kaptiv::testing
