// The File menu's image file commands of the main window: Open, the Save As items, Save Options.
#include "app/Startup.h"
#include "app/mainSnap.h"
#include "document/ChldSnap.h"
#include "document/ImgFrmtSnap.h"
#include "formats/BmpCodec.h"
#include "formats/IconCodec.h"
#include "formats/ImageFileType.h"
#include "formats/JpegCodec.h"
#include "formats/PngCodec.h"
#include "gif/GIFImage.h"
#include "gif/GifFrames.h"
#include "gif/GifSave.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/Errors.h"
#include "platform/files/NativeNames.h"
#include "platform/pixels/PixelFormats.h"

#include <filesystem>
#include <optional>
#include <utility>

namespace kaptiv {

namespace {

const QString OpenFilter = QStringLiteral(
    "All Formats (*.bmp,*.gif,*.jpg,*.jpeg,*.ico)|*.bmp;*.jpg;*.jpeg;*.gif;*.ico;*.png|Bitmap (*.bmp)|*.bmp|"
    "GIF (*.gif)|*.gif|JPEG (*.jpg)|*.jpg;*.jpeg|Icon (*.ico)|*.ico|PNG (*.png)|*.png");

TImgFormat &saveOptions() { return *appWindows().ImgFormat; }

// The file name without its folders and without its last four characters: "anim" of ".../anim.gif".
QString frameCaptionBase(const QString &path)
{
    const QString name = fileNamePartOf(path);
    return name.left(std::max<qsizetype>(name.size() - 4, 0));
}

// The picture in the colour format chosen on the options' "BMP" page.
Bitmap inColorFormat(const Bitmap &picture, int colorGroup)
{
    switch (colorGroup) {
    case 0: return convertToColors(picture.toRgb32(), 32, CaptureColors::Monochrome);
    case 1: return convertToColors(picture.toRgb32(), 32, CaptureColors::Colors16);
    case 2: return convertToColors(picture.toRgb32(), 32, CaptureColors::Colors256);
    case 3: return Bitmap(convertImage(picture.toRgb32(), QImage::Format_RGB16), 16);
    default: return picture;
    }
}

} // namespace

void TScreenfrm::Options1Click(QObject *)
{
    TImgFormat &options = saveOptions();
    centreOverMainWindow(options);
    dialogs().execModal(options);
}

void TScreenfrm::Open1Click(QObject *)
{
    open.Filter = OpenFilter;
    if (!Execute(open, this))
        return;
    const QString path = open.FileName;
    std::error_code error;
    if (!std::filesystem::exists(nativePath(path), error))
        return;
    // Each picture is read before its window is made: a file that cannot be read leaves no
    // empty window behind, only the reader's message.
    switch (imageFileTypeOf(path)) {
    case ImageFileType::Gif:
        openGifFrames(path);
        return;
    case ImageFileType::Bitmap: return openPicture(path, loadBmp(path));
    case ImageFileType::Jpeg: return openPicture(path, loadJpeg(path));
    case ImageFileType::Icon: return openPicture(path, loadIcon(path));
    case ImageFileType::Png: return openPicture(path, loadPng(path));
    case ImageFileType::None: throw EOpenFile(QStringLiteral("Could not open image."));
    }
}

void TScreenfrm::openPicture(const QString &path, const Bitmap &picture)
{
    TImagefrm *window = createImageWindow();
    window->setCaption(path);
    fillImageWindow(*window, picture);
    // An icon is one size of its file: Save asks where that one picture goes.
    switch (imageFileTypeOf(path)) {
    case ImageFileType::Bitmap: window->SaveFormat = QStringLiteral("bmp"); break;
    case ImageFileType::Jpeg: window->SaveFormat = QStringLiteral("jpg"); break;
    case ImageFileType::Png: window->SaveFormat = QStringLiteral("png"); break;
    default: window->SaveFormat = QStringLiteral("ico"); break;
    }
    if (window->SaveFormat == QLatin1String("ico")) {
        window->SaveAsks = true;
    } else {
        window->SaveTarget = path;
        window->SavedPixels = window->Image->picture().image();
    }
}

// One window per frame, made from the last frame to the first so that frame 1 ends up active.
void TScreenfrm::openGifFrames(const QString &path)
{
    if (!iGif->LoadGIFFile(path)) {
        loadGifAnimation(path, GifAnimation::Holding::EveryFrame); // to tell the user why it cannot be read
        return;
    }
    for (int n = iGif->FrameCount(); n >= 1; --n) {
        // The frame first: a frame that cannot be made (out of memory) must not leave an empty window.
        TFrameInfo record;
        iGif->GetFrameInfo(n, record);
        TImagefrm *window = createImageWindow();
        window->setCaption(iGif->IsAnimated() ? QStringLiteral("%1[%2]").arg(frameCaptionBase(path)).arg(n) : path);
        window->FrameDefs = record;
        window->GifInfo = window->FrameDefs;
        window->FromGif = true;
        window->SaveFormat = QStringLiteral("gif");
        window->SaveAsks = true;
        window->Image->setPicture(record.Bitmap ? *record.Bitmap : Bitmap());
        window->ColorCount = 1 << iGif->ColorDepth();
        if (window->GifInfo.Transparent) {
            window->Image->setTransparentColor(window->GifInfo.TransparentColor);
            window->Image->setTransparent(true);
        }
        describe(*window);
        CheckAutosize(*window);
    }
    // A window per frame holds every frame: a longer animation opens its first 256 and says so.
    if (iGif->FramesBeyondLimit())
        dialogs().messageBox(this,
                             QStringLiteral("\"%1\" has more than %2 frames; the first %2 are opened as image windows.")
                                 .arg(path)
                                 .arg(gif::MaxFrames),
                             QStringLiteral("Kaptiv"), MessageIcon::Information, MessageButtons::Ok);
}

QString TScreenfrm::askSaveName(const QString &filter, const QString &defaultExt)
{
    save.kind = FileDialog::Save;
    save.Filter = filter;
    save.DefaultExt = defaultExt;
    savingFormat_ = defaultExt;
    if (!presetSaveName_.isEmpty())
        return std::exchange(presetSaveName_, QString());
    return Execute(save, this) ? save.FileName : QString();
}

void TScreenfrm::showSaved(TImagefrm &window, const QString &path, const Bitmap &readBack, QSize size)
{
    window.Image->setTransparent(false);
    window.Image->setPicture(readBack, size);
    window.setCaption(path);
    // Save writes this file again from now on, in the format just written.
    window.SaveTarget = path;
    window.SaveFormat = savingFormat_;
    window.SaveAsks = false;
    window.SavedPixels = window.Image->picture().image();
}

// What one format does its own way on Save As. The steps all formats take are in saveActiveAs, in
// this order: refuse, ask the name, write, read back, show, count the colours, describe.
struct SaveAsFormat {
    QString filter;
    QString extension;
    // Refuses the picture before the dialog, so that nobody picks a name for a file that cannot
    // be made; nullptr: every picture can be written.
    void (*refuse)(const TImagefrm &window);
    // Writes the file; the window may take on what was written (a GIF's frame settings).
    void (*write)(TImagefrm &window, const QString &path);
    // The window takes the file's name as soon as it is written, before the file is read back.
    bool captionOnceWritten;
    // What the file holds, as the window shows it, and the size to show it at (empty: its own).
    std::pair<Bitmap, QSize> (*readBack)(TImagefrm &window, const QString &path);
    // After the window shows the file: the colours it counts (and a GIF's clear colour);
    // nullptr: the count stays.
    void (*recount)(const TScreenfrm &main, TImagefrm &window);
    enum class Hint { Described, WithoutColors, Kept } hint;
};

namespace {

void countColors(const TScreenfrm &main, TImagefrm &window) { window.ColorCount = main.GetColorCount(window.Image->picture()); }

const SaveAsFormat IconFile{
    QStringLiteral("Icon (*.ico)|*.ico"),
    QStringLiteral("ico"),
    [](const TImagefrm &window) {
        if (window.Image->pictureSize() != QSize(StandardIconSize, StandardIconSize) || window.ColorCount > 16)
            throw EIcon(QStringLiteral(
                "Image must be 32x32 pixels and at most 16 colors in order to save as a standard icon."));
    },
    [](TImagefrm &window, const QString &path) {
        // A picture of 16 colours or fewer held at a greater depth (a frame of a GIF) is written in
        // the 16 VGA colours; so is the colour that marks its transparent pixels.
        Bitmap picture = window.Image->picture();
        std::optional<QRgb> transparent;
        if (window.Image->Transparent())
            transparent = rgbOfColorValue(window.Image->transparentColor());
        if (picture.depth() > 4) {
            picture = convertToColors(picture.toRgb32(), 32, CaptureColors::Colors16);
            if (transparent)
                transparent = vgaColors()[vgaColorMap().indexOf(*transparent)];
        }
        saveIcon(picture, path, transparent);
    },
    false,
    [](TImagefrm &, const QString &path) { return std::pair(loadIcon(path), QSize()); },
    nullptr,
    SaveAsFormat::Hint::Kept,
};

const SaveAsFormat BitmapFile{
    QStringLiteral("Windows Bitmap (*.bmp)|*.bmp"),
    QStringLiteral("bmp"),
    nullptr,
    [](TImagefrm &window, const QString &path) {
        saveBmp(inColorFormat(window.Image->picture(), saveOptions().ColorGroup->ItemIndex()), path);
    },
    false,
    [](TImagefrm &, const QString &path) { return std::pair(loadBmp(path), QSize()); },
    countColors,
    SaveAsFormat::Hint::Described,
};

const SaveAsFormat GifFile{
    QStringLiteral("GIF (*.gif)|*.gif"),
    QStringLiteral("gif"),
    nullptr,
    [](TImagefrm &window, const QString &path) {
        const TImgFormat &options = saveOptions();
        TFrameInfo frame;
        frame.Interlaced = options.Interlaced->isChecked();
        frame.Transparent = options.Transp->isChecked();
        frame.TransparentColor = options.TransColor;
        frame.Bitmap = std::make_shared<Bitmap>(window.Image->picture());
        frame.Width = frame.Bitmap->width();
        frame.Height = frame.Bitmap->height();
        frame.Comment = window.Comment;
        TGIFSaveInfo info;
        info.Frames = {frame};
        info.ReduceColors = options.ReduceColors->isChecked();
        // The window takes the frame settings before the writer is asked, whatever it answers.
        window.FromGif = true;
        window.GifInfo = frame;
        window.FrameDefs = window.GifInfo;
        if (!SaveGIF(path, info))
            refuseGifFrames(info);
    },
    true,
    [](TImagefrm &window, const QString &path) {
        // Read back as the player reads it, so the window shows what the file holds.
        TGIFImage &gif = window.gif();
        if (!gif.LoadGIFFile(path))
            loadGifAnimation(path, GifAnimation::Holding::EveryFrame); // to tell the user why it cannot be read
        const Bitmap *first = gif.FirstFrameBitmap();
        return std::pair(first ? *first : Bitmap(), QSize(gif.ImageWidth(), gif.ImageHeight()));
    },
    [](const TScreenfrm &, TImagefrm &window) {
        TGIFImage &gif = window.gif();
        window.ColorCount = 1 << gif.ColorDepth();
        if (gif.IsTransparent()) {
            TFrameInfo written;
            gif.GetFrameInfo(1, written);
            window.Image->setTransparentColor(written.TransparentColor);
            window.Image->setTransparent(true);
        }
    },
    SaveAsFormat::Hint::Described,
};

const SaveAsFormat JpegFile{
    QStringLiteral("JPEG (*.jpg,*.jpeg)|*.jpg;*.jpeg"),
    QStringLiteral("jpg"),
    nullptr,
    [](TImagefrm &window, const QString &path) {
        const TImgFormat &options = saveOptions();
        JpegOptions jpeg;
        jpeg.quality = options.CQ->value();
        jpeg.grayscale = options.ColorGrp->ItemIndex() == 1;
        jpeg.progressive = options.PE->isChecked();
        saveJpeg(window.Image->picture(), path, jpeg);
    },
    true,
    [](TImagefrm &window, const QString &path) {
        // The window shows what the compression kept, in the picture's own pixel format.
        const QImage written = loadJpeg(path).toRgb32();
        Bitmap picture = window.Image->picture();
        if (picture.isIndexed())
            remapIntoIndexed(picture, written, 0, 0);
        else
            picture = Bitmap(convertImage(written, picture.image().format()), picture.depth());
        return std::pair(picture, window.Image->pictureSize());
    },
    nullptr,
    SaveAsFormat::Hint::WithoutColors, // the file keeps no colour count
};

const SaveAsFormat PngFile{
    QStringLiteral("PNG (*.png)|*.png"),
    QStringLiteral("png"),
    nullptr,
    [](TImagefrm &window, const QString &path) { savePng(window.Image->picture(), path); },
    false,
    [](TImagefrm &, const QString &path) { return std::pair(loadPng(path), QSize()); },
    countColors,
    SaveAsFormat::Hint::Described,
};

} // namespace

void TScreenfrm::saveActiveAs(const SaveAsFormat &format)
{
    TImagefrm *window = active();
    if (!window)
        return;
    if (format.refuse)
        format.refuse(*window);
    const QString path = askSaveName(format.filter, format.extension);
    if (path.isEmpty())
        return;
    format.write(*window, path);
    if (format.captionOnceWritten)
        window->setCaption(path);
    const auto [picture, size] = format.readBack(*window, path);
    showSaved(*window, path, picture, size);
    if (format.recount)
        format.recount(*this, *window);
    switch (format.hint) {
    case SaveAsFormat::Hint::Described: describe(*window); break;
    case SaveAsFormat::Hint::WithoutColors:
        window->setHint(QStringLiteral("%1 - Width: %2, Height: %3, ")
                            .arg(window->fileNamePart())
                            .arg(window->Image->pictureSize().width())
                            .arg(window->Image->pictureSize().height()));
        break;
    case SaveAsFormat::Hint::Kept:
        DisplayHint(window->hint()); // the description stays, and is shown again after the dialog
        break;
    }
}

void TScreenfrm::Iconico1Click(QObject *) { saveActiveAs(IconFile); }
void TScreenfrm::Bitmapbmp1Click(QObject *) { saveActiveAs(BitmapFile); }
void TScreenfrm::GIFgif1Click(QObject *) { saveActiveAs(GifFile); }
void TScreenfrm::JPEGjpg1Click(QObject *) { saveActiveAs(JpegFile); }
void TScreenfrm::PNGpng1Click(QObject *) { saveActiveAs(PngFile); }

} // namespace kaptiv
