// The Edit menu's clipboard commands of the main window: Copy, Paste to New, Clear Clipboard and
// the menu's enabling. Pictures travel through the desktop's clipboard, so other programs take
// what Kaptiv copies and give what Kaptiv pastes.
#include "app/mainSnap.h"
#include "document/ChldSnap.h"
#include "formats/BmpCodec.h"
#include "formats/IconCodec.h"
#include "formats/JpegCodec.h"
#include "formats/PngCodec.h"
#include "platform/Desktop.h"
#include "platform/Errors.h"
#include "platform/PixelFormats.h"

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

// The picture in `format`, or nothing when the owner's data is not a picture of that type.
std::optional<QImage> decodeFormat(const QMimeData &data, const QString &format)
{
    if (format == ToolkitImage) {
        QImage image = qvariant_cast<QImage>(data.imageData());
        return image.isNull() ? std::nullopt : std::optional(image);
    }
    const QByteArray bytes = data.data(format);
    if (bytes.isEmpty())
        return std::nullopt;
    if (const Decoder decoder = ownDecoderFor(format)) {
        try {
            return decoder(bytes, MaxPicturePixels).toRgb32();
        } catch (const EOpenFile &) {
            return std::nullopt; // not what it says it is: another format may serve
        }
    }
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    QImage image = reader.read();
    return image.isNull() ? std::nullopt : std::optional(image);
}

QClipboard &clipboard() { return *QGuiApplication::clipboard(); }

bool clipboardHoldsPicture()
{
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
    Paste1->setEnabled(true);
    pasteb->setEnabled(true);
}

// The first format on the clipboard, in its owner's order, that holds a picture is taken, at the
// display's colour depth.
void TScreenfrm::Paste1Click(QObject *)
{
    std::optional<QImage> picture;
    if (const QMimeData *data = clipboard().mimeData()) {
        for (const QString &format : data->formats()) {
            if (isPictureFormat(format) && (picture = decodeFormat(*data, format)))
                break;
        }
    }
    if (!picture)
        throw EClipboardPaste(QStringLiteral("Clipboard does not contain recognizable graphic data."));
    const Bitmap shown = inDisplayFormat(*picture, desktop().displayDepth());
    TImagefrm *window = createImageWindow();
    window->setCaption(QStringLiteral("Untitled"));
    fillImageWindow(*window, shown);
}

void TScreenfrm::Clearclipboard1Click(QObject *)
{
    clipboard().clear(QClipboard::Clipboard);
    Paste1->setEnabled(false);
    pasteb->setEnabled(false);
}

void TScreenfrm::Edit1Click()
{
    const bool picture = clipboardHoldsPicture();
    Paste1->setEnabled(picture);
    pasteb->setEnabled(picture);
}

} // namespace kaptiv
