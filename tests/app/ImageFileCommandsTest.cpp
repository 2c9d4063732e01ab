// Open and Save As of the main window, with the file dialogs answered by a script and real files.
#include "AppFixture.h"

#include "formats/ImageFileType.h"
#include "document/ImgFrmtSnap.h"
#include "formats/BmpCodec.h"
#include "formats/IconCodec.h"
#include "platform/pixels/PixelFormats.h"
#include "platform/ui/ShortcutCodes.h"
#include "settings/HotKeyEdit.h"
#include "formats/JpegCodec.h"
#include "formats/PngCodec.h"
#include "gif/GifFrames.h"
#include "gif/GifSave.h"
#include "settings/GifOptions.h"

#include <QBuffer>
#include <QClipboard>
#include <QMimeData>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QFile>
#include <QSet>
#include <QStatusTipEvent>
#include <QtEndian>

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
    main->item("Open1")->trigger(); // cancelled
    runWithFileName(main->item("Open1"), file(QStringLiteral("missing.bmp")));
    EXPECT_TRUE(dialogs.shown.empty());
    runWithFileName(main->item("openb"), upper);
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
    runWithFileName(main->item("Open1"), path);
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

// A window per frame holds every frame, so a longer animation opens its first 256, and says so.
TEST_F(ImageFileCommands, AGifOfMoreThan256FramesOpensItsFirst256AndSaysSo)
{
    const QString path = file(QStringLiteral("long.gif"));
    TGIFSaveInfo info;
    for (int i = 0; i < 257; ++i) {
        TFrameInfo frame;
        frame.Bitmap = std::make_shared<Bitmap>(bands(2, 2, i % 6));
        frame.Width = frame.Height = 2;
        info.Frames.push_back(frame);
    }
    ASSERT_TRUE(SaveGIF(path, info));
    runWithFileName(main->item("Open1"), path);
    EXPECT_EQ(main->imageWindows().size(), 256);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text,
              QStringLiteral("\"%1\" has more than 256 frames; the first 256 are opened as image windows.").arg(path));
    EXPECT_EQ(captions().front(), QStringLiteral("long[1]"));
}

TEST_F(ImageFileCommands, ASingleImageGifIsTitledByItsPath)
{
    const QString path = file(QStringLiteral("one.gif"));
    TGIFSaveInfo info;
    TFrameInfo frame;
    frame.Bitmap = std::make_shared<Bitmap>(bands(5, 4, 0));
    info.Frames = {frame};
    ASSERT_TRUE(SaveGIF(path, info));
    runWithFileName(main->item("Open1"), path);
    EXPECT_EQ(captions(), QStringList{path});
    EXPECT_TRUE(active()->FromGif);
    EXPECT_EQ(active()->hint(), QStringLiteral("one.gif - Width: 5, Height: 4, Colors: %1").arg(active()->ColorCount));
}

TEST_F(ImageFileCommands, ABitmapOpensAtItsOwnDepth)
{
    const QString path = file(QStringLiteral("vga.bmp"));
    saveBmp(convertToColors(bands(9, 3, 1).image(), 32, CaptureColors::Colors16), path);
    runWithFileName(main->item("Open1"), path);
    EXPECT_EQ(captions(), QStringList{path});
    EXPECT_EQ(active()->hint(), QStringLiteral("vga.bmp - Width: 9, Height: 3, Colors: 16"));

    // A file that is not a bitmap: the reader's message, and no empty window.
    const QString broken = file(QStringLiteral("broken.bmp"));
    ASSERT_TRUE(put(broken, "BMnonsense"));
    runWithFileName(main->item("Open1"), broken);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].text.contains(QStringLiteral("Bitmap image is not valid."))) << dialogs.shown[0].text.toStdString();
    EXPECT_EQ(captions(), QStringList{path});
}

// An icon file holding one 48 x 48 image, stored as PNG as icon files may: red with a clear corner.
QByteArray iconOf48()
{
    QImage image(48, 48, QImage::Format_ARGB32);
    image.fill(qRgb(255, 0, 0));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            image.setPixel(x, y, 0);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    QByteArray file(22, '\0');
    auto put16 = [&](int at, quint16 v) { qToLittleEndian(v, file.data() + at); };
    auto put32 = [&](int at, quint32 v) { qToLittleEndian(v, file.data() + at); };
    put16(2, 1); // an icon
    put16(4, 1); // one image
    file[6] = 48;
    file[7] = 48;
    put16(10, 1);
    put16(12, 32);
    put32(14, quint32(png.size()));
    put32(18, 22);
    return file + png;
}

TEST_F(ImageFileCommands, OpenReadsJpegIconAndPngFiles)
{
    const QString jpeg = file(QStringLiteral("photo.jpeg")), icon = file(QStringLiteral("big.ico")),
                  png = file(QStringLiteral("pal.png"));
    saveJpeg(bands(20, 10, 2), jpeg);
    ASSERT_TRUE(put(icon, iconOf48()));
    savePng(convertToColors(bands(7, 5, 1).image(), 32, CaptureColors::Colors256), png);
    const std::pair<QString, QString> cases[] = {
        {jpeg, QStringLiteral("photo.jpeg - Width: 20, Height: 10, Colors: 16777216")},
        {icon, QStringLiteral("big.ico - Width: 32, Height: 32, Colors: 16")}, // the standard icon size
        {png, QStringLiteral("pal.png - Width: 7, Height: 5, Colors: 256")},
    };
    for (const auto &[path, description] : cases) {
        runWithFileName(main->item("Open1"), path);
        EXPECT_EQ(active()->caption(), path);
        EXPECT_EQ(active()->hint(), description);
    }
    EXPECT_TRUE(dialogs.shown.empty());
    // The icon's clear corner shows white, the rest keeps its red among the 16 colours.
    const QImage shown = main->imageWindows().value(1)->Image->picture().toRgb32();
    EXPECT_EQ(shown.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(shown.pixel(31, 31), qRgb(255, 0, 0));
}

// Every Save As item on one 32 x 32 picture of 16 colours (one an icon can hold): the file named
// as typed, with the format's mark; the window named after it, showing what the file holds, with
// the format's own description in the status bar.
TEST_F(ImageFileCommands, SaveAsOfEachFormatShowsWhatTheFileHoldsAndDescribesIt)
{
    struct Case {
        QAction *item;
        const char *name;
        QByteArray mark;
        QImage (*readBack)(const QString &path); // what the file holds; nullptr: not kept exactly
        QString hint;                             // empty: the description before the save stays
    } const cases[] = {
        {main->item("Iconico1"), "a.ico", QByteArray::fromHex("00000100"),
         [](const QString &p) { return loadIcon(p).toRgb32(); }, {}},
        {main->item("Bitmapbmp1"), "a.bmp", "BM", [](const QString &p) { return loadBmp(p).toRgb32(); },
         QStringLiteral("a.bmp - Width: 32, Height: 32, Colors: 16")},
        {main->item("GIFgif1"), "a.gif", "GIF89a",
         [](const QString &p) { return GetFrameInfo(loadGif(p), 1).Bitmap->toRgb32(); },
         QStringLiteral("a.gif - Width: 32, Height: 32, Colors: 2")}, // the table of the two colours used
        {main->item("JPEGjpg1"), "a.jpg", "\xFF\xD8\xFF", nullptr, QStringLiteral("a.jpg - Width: 32, Height: 32, ")},
        {main->item("PNGpng1"), "a.png", "\x89PNG", [](const QString &p) { return loadPng(p).toRgb32(); },
         QStringLiteral("a.png - Width: 32, Height: 32, Colors: 16")},
    };
    fake.screen = positionalScreen(32, 32);
    main->item("N16colors1")->trigger();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        main->GrabScreenClick(main->item("GrabScreen"));
        const QString before = active()->hint();
        const QString path = file(QLatin1String(c.name));
        runWithFileName(c.item, path);
        EXPECT_TRUE(dialogs.shown.empty());
        EXPECT_TRUE(contents(path).startsWith(c.mark));
        EXPECT_EQ(active()->caption(), path);
        EXPECT_FALSE(active()->isUnsaved());
        EXPECT_EQ(active()->hint().toStdString(), (c.hint.isEmpty() ? before : c.hint).toStdString());
        if (c.readBack) {
            EXPECT_EQ(active()->Image->picture().toRgb32(), c.readBack(path));
        }
    }
}

TEST_F(ImageFileCommands, SaveAsIconOnlyForA32By32PictureOfAtMost16Colours)
{
    struct Case {
        QSize size;
        QAction *depth;
        bool saved;
    } cases[] = {
        {{32, 32}, main->item("N16colors1"), true},
        {{33, 32}, main->item("N16colors1"), false},
        {{32, 32}, main->item("N256colors1"), false},
        {{32, 32}, main->item("Monochrome1"), true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.depth->text().toStdString() + " " + std::to_string(c.size.width()));
        fake.screen = positionalScreen(c.size.width(), c.size.height());
        c.depth->trigger();
        main->GrabScreenClick(main->item("GrabScreen"));
        dialogs.shown.clear();
        dialogs.fileDialogs.clear();
        const QString path = file(QStringLiteral("icon%1.ico").arg(main->imageWindowCount()));
        runWithFileName(main->item("Iconico1"), path);
        if (c.saved) {
            ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
            EXPECT_EQ(dialogs.fileDialogs[0].Filter, QStringLiteral("Icon (*.ico)|*.ico"));
            EXPECT_EQ(contents(path).size(), 766);
            EXPECT_EQ(active()->caption(), path);
            EXPECT_TRUE(dialogs.shown.empty());
        } else {
            EXPECT_TRUE(dialogs.fileDialogs.empty()) << "refused before the dialog";
            ASSERT_EQ(dialogs.shown.size(), 1u);
            EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("Image must be 32x32 pixels and at most 16 colors in "
                                                            "order to save as a standard icon."));
            EXPECT_FALSE(QFile::exists(path));
        }
    }
}

TEST_F(ImageFileCommands, SaveAsJpegShowsTheCompressedPictureAndNoColourCount)
{
    fake.screen = positionalScreen(640, 480);
    main->GrabScreenClick(main->item("GrabScreen"));
    options().CQ->setValue(50);
    options().ColorGrp->setItemIndex(1); // grey
    options().PE->setChecked(true);
    runWithFileName(main->item("JPEGjpg1"), file(QStringLiteral("shot")));
    const QString path = file(QStringLiteral("shot.jpg"));
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(dialogs.fileDialogs[0].Filter, QStringLiteral("JPEG (*.jpg,*.jpeg)|*.jpg;*.jpeg"));
    EXPECT_EQ(active()->caption(), path);
    EXPECT_EQ(active()->hint(), QStringLiteral("shot.jpg - Width: 640, Height: 480, "));
    EXPECT_EQ(active()->ColorCount, 16777216);
    EXPECT_TRUE(contents(path).startsWith("\xFF\xD8\xFF"));
    const Bitmap &shown = active()->Image->picture();
    EXPECT_EQ(shown.depth(), 24);
    const QRgb pixel = shown.image().pixel(300, 200);
    EXPECT_TRUE(qRed(pixel) == qGreen(pixel) && qGreen(pixel) == qBlue(pixel)) << "shown in grey";
}

TEST_F(ImageFileCommands, SaveAsBitmapWritesTheChosenFormatAndShowsWhatWasWritten)
{
    // Colours everywhere but one white square: "Monochrome" keeps only white as white.
    fake.screen = positionalScreen(640, 480);
    for (int y = 50; y < 100; ++y)
        for (int x = 100; x < 200; ++x)
            fake.screen.setPixel(x, y, qRgb(255, 255, 255));
    main->GrabScreenClick(main->item("GrabScreen"));
    options().ColorGroup->setItemIndex(0);
    runWithFileName(main->item("Bitmapbmp1"), file(QStringLiteral("mono"))); // typed without extension
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
    runWithFileName(main->item("Bitmapbmp1"), file(QStringLiteral("deep.bmp")));
    EXPECT_EQ(dialogs.fileDialogs[1].FileName, path);
    EXPECT_EQ(contents(file(QStringLiteral("deep.bmp"))).at(28), 16);
    EXPECT_EQ(active()->ColorCount, 65536);
}

// A picture GIF cannot hold fails with the reason: too many colours, or wider than the file's
// 16-bit sizes.
TEST_F(ImageFileCommands, SaveAsGifOfAPictureItCannotHoldFailsAndKeepsTheOldFile)
{
    const struct {
        QSize size;
        QString message;
    } cases[] = {
        {{640, 480}, QString::fromLatin1(GifFailure)}, // far more than 256 colours
        {{65600, 2}, QStringLiteral("The picture is 65600 x 2 pixels, beyond the 65535 x 65535 a GIF file can hold.")},
    };
    for (const auto &c : cases) {
        fake.screen = positionalScreen(c.size.width(), c.size.height());
        main->GrabScreenClick(main->item("GrabScreen"));
        const QString path = file(QStringLiteral("old.gif"));
        ASSERT_TRUE(put(path, "what was there"));
        dialogs.shown.clear();
        runWithFileName(main->item("GIFgif1"), path);
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.shown[0].text, c.message);
        EXPECT_EQ(dialogs.fileDialogs.back().Filter, QStringLiteral("GIF (*.gif)|*.gif"));
        EXPECT_EQ(contents(path), QByteArray("what was there"));
        EXPECT_TRUE(active()->caption().startsWith(QStringLiteral("Untitled")));
        EXPECT_TRUE(active()->FromGif); // already taken over before the writer was asked
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"old.gif"});
    }
}

TEST_F(ImageFileCommands, SaveAsGifShowsTheFileReadBackWithTheChosenOptions)
{
    fake.screen = positionalScreen(640, 480);
    main->item("N256colors1")->trigger();
    main->GrabScreenClick(main->item("GrabScreen"));
    const QImage captured = active()->Image->picture().toRgb32();
    active()->Comment = QStringLiteral("hello");
    options().Interlaced->setChecked(false);
    options().Transp->setChecked(true);
    options().TransColor = 0x000000; // black
    runWithFileName(main->item("GIFgif1"), file(QStringLiteral("shot")));
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

// With "Reduce colors to fit" ticked, a full-colour capture is saved with 256 colours chosen for
// it, and the window shows them as read back; OK stores the choice for the next start.
TEST_F(ImageFileCommands, SaveAsGifReducesAFullColourPictureWhenAsked)
{
    fake.screen = positionalScreen(640, 480);
    main->GrabScreenClick(main->item("GrabScreen"));
    const QImage captured = active()->Image->picture().toRgb32();
    EXPECT_FALSE(options().ReduceColors->isChecked()) << "off by default";
    options().ReduceColors->setChecked(true);
    options().Button1->click();
    EXPECT_TRUE(LoadGifOptions().ReduceColors);
    runWithFileName(main->item("GIFgif1"), file(QStringLiteral("full")));
    const QString path = file(QStringLiteral("full.gif"));
    EXPECT_TRUE(dialogs.shown.empty()) << dialogs.shown[0].text.toStdString();
    EXPECT_EQ(active()->caption(), path);
    EXPECT_EQ(active()->ColorCount, 256);
    const QImage shown = active()->Image->picture().toRgb32();
    EXPECT_EQ(shown, GetFrameInfo(loadGif(path), 1).Bitmap->toRgb32()) << "the window shows what the file holds";
    ASSERT_EQ(shown.size(), captured.size());
    QSet<QRgb> colours;
    double error = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            const QRgb a = captured.pixel(x, y), b = shown.pixel(x, y);
            colours.insert(b);
            error += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
        }
    EXPECT_LE(colours.size(), 256);
    EXPECT_LT(error / (3 * 640 * 480), 6.0);
}

// A picture with every kind of transparency: clear, half see-through red, opaque blue.
QByteArray semiTransparentPng()
{
    QImage image(3, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(0, 0, 0, 0));
    image.setPixel(1, 0, qRgba(255, 0, 0, 128));
    image.setPixel(2, 0, qRgba(0, 0, 255, 255));
    return encodePng(Bitmap::fromImage(image));
}

TEST_F(ImageFileCommands, APastedPictureKeepsItsTransparencyAsAnOpenedOneDoes)
{
    const QByteArray png = semiTransparentPng();
    ASSERT_TRUE(put(file(QStringLiteral("see-through.png")), png));
    runWithFileName(main->item("Open1"), file(QStringLiteral("see-through.png")));
    ASSERT_EQ(main->imageWindowCount(), 1);
    const Bitmap opened = active()->Image->picture();
    auto *data = new QMimeData;
    data->setData(QStringLiteral("image/png"), png);
    QGuiApplication::clipboard()->setMimeData(data);
    main->item("Paste1")->trigger();
    ASSERT_EQ(main->imageWindowCount(), 2);
    const Bitmap pasted = active()->Image->picture();
    EXPECT_EQ(pasted.depth(), opened.depth());
    EXPECT_EQ(pasted.image(), opened.image());
    EXPECT_EQ(qAlpha(pasted.image().pixel(1, 0)), 128);
    // Both are drawn the same way over the window's background.
    EXPECT_EQ(active()->Image->grab().toImage(), main->imageWindows()[1]->Image->grab().toImage());
}

// What the status bar's first panel shows after each step, no mouse moving in between.
TEST_F(ImageFileCommands, TheActivePicturesDescriptionIsShownAtOnce)
{
    main->GrabScreenClick(main->item("GrabScreen"));
    TImagefrm *first = active();
    main->GrabScreenClick(main->item("GrabScreen"));
    TImagefrm *second = active();
    auto *picture = new QMimeData;
    picture->setImageData(bands(30, 20, 1).toRgb32());
    QGuiApplication::clipboard()->setMimeData(picture);
    const struct Step {
        const char *what;
        std::function<void()> run;
        QString shown;
    } steps[] = {
        {"the first picture activated", [&] { main->mdi->setActiveSubWindow(first); },
         QStringLiteral("Untitled1 - Width: 640, Height: 480, Colors: 16777216")},
        {"a hint hovered", [&] { QStatusTipEvent hover(QStringLiteral("Copy to the clipboard"));
                                 QApplication::sendEvent(main, &hover); },
         QStringLiteral("Copy to the clipboard")},
        {"saved as PNG", [&] { runWithFileName(main->item("PNGpng1"), file(QStringLiteral("first.png"))); },
         QStringLiteral("first.png - Width: 640, Height: 480, Colors: 16777216")},
        {"the second picture activated", [&] { main->mdi->setActiveSubWindow(second); },
         QStringLiteral("Untitled2 - Width: 640, Height: 480, Colors: 16777216")},
        {"saved as JPEG", [&] { runWithFileName(main->item("JPEGjpg1"), file(QStringLiteral("second.jpg"))); },
         QStringLiteral("second.jpg - Width: 640, Height: 480, ")},
        {"pasted", [&] { main->item("Paste1")->trigger(); },
         QStringLiteral("Untitled - Width: 30, Height: 20, Colors: 16777216")},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        step.run();
        settle();
        EXPECT_TRUE(dialogs.shown.empty());
        EXPECT_EQ(main->infoPanels[0]->text(), step.shown);
    }
}

// File > Save: a new capture goes to the pictures folder under a name of its own; after that the
// window's file is written again, only when the picture changed, without a dialog.
TEST_F(ImageFileCommands, SaveWritesANewCaptureToThePicturesFolderThenOnlyWhatChanged)
{
    const QString pictures = file(QStringLiteral("My Pictures"));
    ASSERT_TRUE(put(QDir(configHome.path()).filePath(QStringLiteral("user-dirs.dirs")),
                    QStringLiteral("XDG_PICTURES_DIR=\"%1\"\n").arg(pictures).toUtf8()));
    main->GrabScreenClick(main->item("GrabScreen"));
    const QImage captured = active()->Image->picture().toRgb32();
    main->item("Save1")->trigger();
    EXPECT_TRUE(dialogs.fileDialogs.empty());
    EXPECT_TRUE(dialogs.shown.empty());
    const QStringList written = QDir(pictures).entryList(QDir::Files);
    ASSERT_EQ(written.size(), 1);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Kaptiv-\\d{4}-\\d\\d-\\d\\d-\\d{6}\\.png$")).match(written[0]).hasMatch())
        << written[0].toStdString();
    const QString path = QDir(pictures).filePath(written[0]);
    EXPECT_EQ(active()->caption(), path);
    EXPECT_EQ(main->infoPanels[0]->text(), QStringLiteral("Saved to ") + path);
    EXPECT_EQ(loadPng(path).toRgb32(), captured);

    // Unchanged: nothing is written, whatever lies in the file now.
    ASSERT_TRUE(put(path, "not rewritten"));
    main->item("Save1")->trigger();
    EXPECT_EQ(contents(path), QByteArray("not rewritten"));
    EXPECT_EQ(main->infoPanels[0]->text(), QStringLiteral("Unchanged since saved: ") + path);

    // Drawn on: written again to the same file, as PNG, with no new file beside it.
    active()->Image->picture().image().setPixel(3, 4, qRgb(1, 2, 3));
    main->item("Save1")->trigger();
    EXPECT_EQ(loadPng(path).toRgb32().pixel(3, 4), qRgb(1, 2, 3));
    EXPECT_EQ(QDir(pictures).entryList(QDir::Files).size(), 1);
    EXPECT_TRUE(dialogs.fileDialogs.empty());

    // A second capture in the same second gets a name of its own: the first file stays.
    main->GrabScreenClick(main->item("GrabScreen"));
    main->item("Save1")->trigger();
    EXPECT_EQ(QDir(pictures).entryList(QDir::Files).size(), 2);
    EXPECT_EQ(loadPng(path).toRgb32().pixel(3, 4), qRgb(1, 2, 3));
}

// An opened single picture is written again in its own format with the current options; a frame of
// an animated GIF and an icon are parts of their files, so Save asks for a name as Save As does.
TEST_F(ImageFileCommands, SaveWritesAnOpenedPictureInItsFormatOrAsksForPartsOfAFile)
{
    const QString jpeg = file(QStringLiteral("photo.jpeg"));
    saveJpeg(bands(64, 48, 1), jpeg, JpegOptions{});
    const QByteArray before = contents(jpeg);
    runWithFileName(main->item("Open1"), jpeg);
    main->item("Save1")->trigger();
    EXPECT_EQ(contents(jpeg), before) << "an unchanged JPEG is not compressed again";
    active()->Image->picture().image().setPixel(0, 0, qRgb(255, 255, 255));
    options().PE->setChecked(true);
    main->item("Save1")->trigger();
    EXPECT_EQ(dialogs.fileDialogs.size(), 1u); // Open's only
    EXPECT_TRUE(contents(jpeg).startsWith("\xFF\xD8\xFF"));
    EXPECT_TRUE(contents(jpeg).contains("\xFF\xC2")) << "written progressive, as the options now say";
    EXPECT_EQ(active()->caption(), jpeg);

    const QString anim = file(QStringLiteral("anim.gif"));
    TGIFSaveInfo info;
    for (int i = 0; i < 2; ++i) {
        TFrameInfo frame;
        frame.Bitmap = std::make_shared<Bitmap>(bands(8, 8, i));
        frame.Width = frame.Height = 8;
        info.Frames.push_back(frame);
    }
    ASSERT_TRUE(SaveGIF(anim, info));
    const QString icon = file(QStringLiteral("icon.ico"));
    saveIcon(convertToColors(bands(32, 32, 0).toRgb32(), 32, CaptureColors::Colors16), icon, std::nullopt);
    const std::pair<QString, QString> parts[] = {{anim, QStringLiteral("GIF (*.gif)|*.gif")},
                                                 {icon, QStringLiteral("Icon (*.ico)|*.ico")}};
    for (const auto &[path, filter] : parts) {
        const QByteArray original = contents(path);
        runWithFileName(main->item("Open1"), path);
        const QString copy = file(QFileInfo(path).baseName() + QStringLiteral("-part"));
        runWithFileName(main->item("Save1"), copy);
        ASSERT_EQ(dialogs.fileDialogs.back().Filter, filter);
        EXPECT_EQ(dialogs.fileDialogs.back().kind, FileDialog::Save);
        EXPECT_EQ(contents(path), original);
        EXPECT_EQ(active()->caption(), copy + QLatin1Char('.') + QFileInfo(path).suffix());
    }
}

// A capture hot key of Ctrl+S takes the key from Save, which keeps its menu item.
TEST_F(ImageFileCommands, SaveGivesUpCtrlSWhileACaptureHotKeyIsCtrlS)
{
    EXPECT_EQ(main->item("Save1")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    const ShortcutValue old = config().hotKeyFields()[1]->value();
    config().hotKeyFields()[1]->setValue(shortcutFromKey(Qt::Key_S, Qt::ControlModifier));
    config().applyHotKeyToMenu(1);
    EXPECT_TRUE(main->item("Save1")->shortcut().isEmpty());
    EXPECT_TRUE(main->item("Save1")->isVisible());
    EXPECT_EQ(main->item("GrabRectangle")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    config().hotKeyFields()[1]->setValue(old);
    config().applyHotKeyToMenu(1);
    EXPECT_EQ(main->item("Save1")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
}

} // namespace
} // namespace kaptiv::testing
