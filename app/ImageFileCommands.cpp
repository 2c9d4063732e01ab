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
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/NativeNames.h"
#include "platform/PixelFormats.h"

#include <filesystem>

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
    return Execute(save, this) ? save.FileName : QString();
}

void TScreenfrm::showSaved(TImagefrm &window, const QString &path, const Bitmap &readBack, QSize size)
{
    window.Image->setTransparent(false);
    window.Image->setPicture(readBack, size);
    window.setCaption(path);
}

void TScreenfrm::Iconico1Click(QObject *)
{
    TImagefrm *window = active();
    if (!window)
        return;
    // Refused before the dialog, so that nobody picks a name for a file that cannot be made.
    if (window->Image->pictureSize() != QSize(StandardIconSize, StandardIconSize) || window->ColorCount > 16)
        throw EIcon(QStringLiteral(
            "Image must be 32x32 pixels and at most 16 colors in order to save as a standard icon."));
    const QString path = askSaveName(QStringLiteral("Icon (*.ico)|*.ico"), QStringLiteral("ico"));
    if (path.isEmpty())
        return;
    // A picture of 16 colours or fewer held at a greater depth (a frame of a GIF) is written in
    // the 16 VGA colours; so is the colour that marks its transparent pixels.
    Bitmap picture = window->Image->picture();
    std::optional<QRgb> transparent;
    if (window->Image->Transparent())
        transparent = rgbOfColorValue(window->Image->transparentColor());
    if (picture.depth() > 4) {
        picture = convertToColors(picture.toRgb32(), 32, CaptureColors::Colors16);
        if (transparent)
            transparent = vgaColors()[vgaColorMap().indexOf(*transparent)];
    }
    saveIcon(picture, path, transparent);
    showSaved(*window, path, loadIcon(path));
    DisplayHint(window->hint()); // the description stays, and is shown again after the dialog
}

void TScreenfrm::Bitmapbmp1Click(QObject *)
{
    TImagefrm *window = active();
    if (!window)
        return;
    const QString path = askSaveName(QStringLiteral("Windows Bitmap (*.bmp)|*.bmp"), QStringLiteral("bmp"));
    if (path.isEmpty())
        return;
    saveBmp(inColorFormat(window->Image->picture(), saveOptions().ColorGroup->ItemIndex()), path);
    showSaved(*window, path, loadBmp(path));
    window->ColorCount = GetColorCount(window->Image->picture());
    describe(*window);
}

void TScreenfrm::GIFgif1Click(QObject *)
{
    TImagefrm *window = active();
    if (!window)
        return;
    const QString path = askSaveName(QStringLiteral("GIF (*.gif)|*.gif"), QStringLiteral("gif"));
    if (path.isEmpty())
        return;
    const TImgFormat &options = saveOptions();
    TFrameInfo frame;
    frame.Interlaced = options.Interlaced->isChecked();
    frame.Transparent = options.Transp->isChecked();
    frame.TransparentColor = options.TransColor;
    frame.Bitmap = std::make_shared<Bitmap>(window->Image->picture());
    frame.Width = frame.Bitmap->width();
    frame.Height = frame.Bitmap->height();
    frame.Comment = window->Comment;
    TGIFSaveInfo info;
    info.Frames = {frame};
    info.ReduceColors = options.ReduceColors->isChecked();
    window->FromGif = true;
    window->GifInfo = frame;
    window->FrameDefs = window->GifInfo;
    if (!SaveGIF(path, info))
        refuseGifFrames(info);
    window->setCaption(path);
    // Read back as the player reads it, so the window shows what the file holds.
    TGIFImage &gif = window->gif();
    if (!gif.LoadGIFFile(path))
        loadGifAnimation(path, GifAnimation::Holding::EveryFrame); // to tell the user why it cannot be read
    const Bitmap *first = gif.FirstFrameBitmap();
    showSaved(*window, path, first ? *first : Bitmap(), QSize(gif.ImageWidth(), gif.ImageHeight()));
    window->ColorCount = 1 << gif.ColorDepth();
    if (gif.IsTransparent()) {
        TFrameInfo written;
        gif.GetFrameInfo(1, written);
        window->Image->setTransparentColor(written.TransparentColor);
        window->Image->setTransparent(true);
    }
    describe(*window);
}

void TScreenfrm::JPEGjpg1Click(QObject *)
{
    TImagefrm *window = active();
    if (!window)
        return;
    const QString path = askSaveName(QStringLiteral("JPEG (*.jpg,*.jpeg)|*.jpg;*.jpeg"), QStringLiteral("jpg"));
    if (path.isEmpty())
        return;
    const TImgFormat &options = saveOptions();
    JpegOptions jpeg;
    jpeg.quality = options.CQ->value();
    jpeg.grayscale = options.ColorGrp->ItemIndex() == 1;
    jpeg.progressive = options.PE->isChecked();
    saveJpeg(window->Image->picture(), path, jpeg);
    window->setCaption(path);
    // The window shows what the compression kept, in the picture's own pixel format.
    const QImage written = loadJpeg(path).toRgb32();
    Bitmap picture = window->Image->picture();
    if (picture.isIndexed())
        remapIntoIndexed(picture, written, 0, 0);
    else
        picture = Bitmap(convertImage(written, picture.image().format()), picture.depth());
    showSaved(*window, path, picture, window->Image->pictureSize());
    // No colour count: the file keeps none.
    window->setHint(QStringLiteral("%1 - Width: %2, Height: %3, ")
                        .arg(window->fileNamePart())
                        .arg(window->Image->pictureSize().width())
                        .arg(window->Image->pictureSize().height()));
}

void TScreenfrm::PNGpng1Click(QObject *)
{
    TImagefrm *window = active();
    if (!window)
        return;
    const QString path = askSaveName(QStringLiteral("PNG (*.png)|*.png"), QStringLiteral("png"));
    if (path.isEmpty())
        return;
    savePng(window->Image->picture(), path);
    showSaved(*window, path, loadPng(path));
    window->ColorCount = GetColorCount(window->Image->picture());
    describe(*window);
}

} // namespace kaptiv
