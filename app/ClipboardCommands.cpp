// The Edit menu's clipboard commands of the main window: Copy, Paste to New, Clear Clipboard and
// the menu's enabling. Pictures travel through the desktop's clipboard, so other programs take
// what Kaptiv copies and give what Kaptiv pastes.
#include "app/mainSnap.h"
#include "document/ChldSnap.h"
#include "formats/BmpCodec.h"
#include "formats/IconCodec.h"
#include "formats/JpegCodec.h"
#include "formats/PngCodec.h"
#include "platform/desktop/Desktop.h"
#include "platform/ui/Errors.h"
#include "platform/pixels/PixelFormats.h"
#include "platform/ui/ResponsiveWait.h"
#include "platform/x11/X11Clipboard.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImageReader>
#include <QMimeData>

#include <optional>

namespace kaptiv {

namespace {

// What an application of this toolkit puts on the clipboard for a picture it holds itself.
const QString ToolkitImage = QStringLiteral("application/x-qt-image");

using Decoder = Bitmap (*)(const QByteArray &, std::uint64_t);

// Our own readers first; any other picture type the toolkit's readers know.
Decoder ownDecoderFor(const QString &format)
{
    static const std::pair<const char *, Decoder> decoders[] = {
        {"image/png", decodePng},         {"image/bmp", decodeBmp},       {"image/x-bmp", decodeBmp},
        {"image/x-ms-bmp", decodeBmp},    {"image/jpeg", decodeJpeg},     {"image/jpg", decodeJpeg},
        {"image/pjpeg", decodeJpeg},      {"image/x-icon", decodeIcon},   {"image/vnd.microsoft.icon", decodeIcon},
    };
    for (const auto &[name, decoder] : decoders)
        if (format == QLatin1String(name))
            return decoder;
    return nullptr;
}

bool isPictureFormat(const QString &format)
{
    if (format == ToolkitImage || ownDecoderFor(format))
        return true;
    static const QList<QByteArray> toolkitTypes = QImageReader::supportedMimeTypes();
    return toolkitTypes.contains(format.toLatin1());
}

// The picture in `bytes` of type `format`, as Open would make it of a file holding those bytes
// (transparency kept); nothing when they are not a picture of that type.
std::optional<Bitmap> decodeBytes(const QByteArray &bytes, const QString &format)
{
    if (bytes.isEmpty())
        return std::nullopt;
    if (const Decoder decoder = ownDecoderFor(format)) {
        try {
            return decoder(bytes, MaxPicturePixels);
        } catch (const EOpenFile &) {
            return std::nullopt; // not what it says it is: another format may serve
        }
    }
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    const QImage image = reader.read();
    return image.isNull() ? std::nullopt : std::optional(Bitmap::fromImage(image));
}

// The picture in `format` of data the toolkit holds.
std::optional<Bitmap> decodeFormat(const QMimeData &data, const QString &format)
{
    if (format == ToolkitImage) {
        const QImage image = qvariant_cast<QImage>(data.imageData());
        return image.isNull() ? std::nullopt : std::optional(Bitmap::fromImage(image));
    }
    return decodeBytes(data.data(format), format);
}

QClipboard &clipboard() { return *QGuiApplication::clipboard(); }

// How long the clipboard's owner has, all its answers together, before we give up on it.
constexpr std::chrono::seconds OwnerPatience{5};
// The most a picture on the clipboard may take, as for a file.
constexpr std::uint64_t MaxClipboardBytes = std::uint64_t(1) << 30;

// Whether another program holds the clipboard on the X display: then we ask it ourselves,
// under a deadline. What Kaptiv copied itself, or any clipboard without a display, the toolkit
// has at hand.
bool anotherProgramHoldsClipboard() { return runsOnX11Display() && !clipboard().ownsClipboard(); }

ClipboardClock::time_point ownerDeadline() { return ClipboardClock::now() + OwnerPatience; }

std::optional<QByteArrayList> ownerTargets()
{
    const ClipboardClock::time_point deadline = ownerDeadline();
    const QByteArray display = x11DisplayName();
    return whileResponsive([display, deadline] { return X11ClipboardReader(display, deadline).targets(); });
}

std::optional<Bitmap> pictureFromOwner()
{
    isPictureFormat(QString()); // the toolkit's list of types, made on this thread
    const ClipboardClock::time_point deadline = ownerDeadline();
    const QByteArray display = x11DisplayName();
    return whileResponsive([display, deadline]() -> std::optional<Bitmap> {
        X11ClipboardReader owner(display, deadline);
        const std::optional<QByteArrayList> targets = owner.targets();
        if (!targets)
            return std::nullopt;
        for (const QByteArray &target : *targets) {
            const QString format = QString::fromLatin1(target);
            if (!isPictureFormat(format))
                continue;
            if (const std::optional<QByteArray> bytes = owner.read(target, MaxClipboardBytes))
                if (std::optional<Bitmap> picture = decodeBytes(*bytes, format))
                    return picture;
        }
        return std::nullopt;
    });
}

std::optional<Bitmap> pictureFromToolkit()
{
    if (const QMimeData *data = clipboard().mimeData()) {
        for (const QString &format : data->formats()) {
            if (!isPictureFormat(format))
                continue;
            if (std::optional<Bitmap> picture = decodeFormat(*data, format))
                return picture;
        }
    }
    return std::nullopt;
}

// What the owner offers, for the Edit menu: a watch learns of each new owner as it comes and asks
// it at once, so the answer is usually ready when the menu opens, even for an owner that never
// answers; the menu waits for it only while that owner's time is not yet up.
std::optional<QByteArrayList> ownerTargetsForMenu()
{
    static X11ClipboardWatch watch(x11DisplayName(), OwnerPatience);
    if (!watch.watching())
        return ownerTargets();
    const std::uint32_t owner = clipboardOwnerWindow();
    const ClipboardClock::time_point deadline = ownerDeadline();
    return whileResponsive([owner, deadline] { return watch.targets(owner, deadline); });
}

bool clipboardHoldsPicture()
{
    if (anotherProgramHoldsClipboard()) {
        const std::optional<QByteArrayList> targets = ownerTargetsForMenu();
        return targets && std::any_of(targets->begin(), targets->end(), [](const QByteArray &target) {
                   return isPictureFormat(QString::fromLatin1(target));
               });
    }
    const QMimeData *data = clipboard().mimeData();
    if (!data)
        return false;
    const QStringList formats = data->formats();
    return std::any_of(formats.begin(), formats.end(), isPictureFormat);
}

} // namespace

void TScreenfrm::Copy1Click(QObject *)
{
    TImagefrm *window = active();
    if (!window)
        return;
    const QImage &picture = window->Image->picture().image();
    if (picture.isNull()) { // a cut of no size: nothing to offer
        Clearclipboard1Click(nullptr);
        return;
    }
    // Offered as every picture type the toolkit writes (PNG and BMP among them), each made only
    // when another program asks for it.
    auto *data = new QMimeData;
    data->setImageData(picture);
    clipboard().setMimeData(data);
    item("Paste1")->setEnabled(true);
    item("pasteb")->setEnabled(true);
}

// The first format on the clipboard, in its owner's order, that holds a picture is taken, at the
// display's colour depth; a picture with transparency is kept as Open keeps it, to be shown over
// the window's background.
void TScreenfrm::Paste1Click(QObject *)
{
    const std::optional<Bitmap> picture = anotherProgramHoldsClipboard() ? pictureFromOwner() : pictureFromToolkit();
    if (!picture)
        throw EClipboardPaste(QStringLiteral("Clipboard does not contain recognizable graphic data."));
    const Bitmap shown = picture->image().hasAlphaChannel()
        ? *picture
        : inDisplayFormat(picture->toRgb32(), desktop().displayDepth());
    TImagefrm *window = createImageWindow();
    window->setCaption(QStringLiteral("Untitled"));
    fillImageWindow(*window, shown);
}

void TScreenfrm::Clearclipboard1Click(QObject *)
{
    clipboard().clear(QClipboard::Clipboard);
    item("Paste1")->setEnabled(false);
    item("pasteb")->setEnabled(false);
}

void TScreenfrm::Edit1Click()
{
    const bool picture = clipboardHoldsPicture();
    item("Paste1")->setEnabled(picture);
    item("pasteb")->setEnabled(picture);
}

} // namespace kaptiv
