#include "formats/core/PictureFile.h"

#include "formats/core/BmpFile.h"
#include "formats/core/CodecError.h"
#include "formats/core/JpegFile.h"
#include "formats/core/PngFile.h"
#include "platform/files/FileAccess.h"

namespace kaptiv {

PixelBuffer readPictureFile(const std::string &path, std::span<const std::string_view> signatures,
                            std::string_view notValid, const DecodePicture &decode)
{
    std::shared_ptr<const std::vector<std::uint8_t>> bytes;
    try {
        if (std::optional<std::vector<std::uint8_t>> read = files::ReadFileWithSignature(path, signatures))
            bytes = std::make_shared<const std::vector<std::uint8_t>>(std::move(*read));
    } catch (const files::FileError &error) {
        failFile(error.what());
    }
    try {
        if (!bytes)
            failFile(std::string(notValid));
        return decode(*bytes, bytes);
    } catch (const CodecError &error) {
        throw CodecError(error.kind(), path + ": " + error.what());
    }
}

void writePictureFile(const std::string &path, const std::function<std::vector<std::uint8_t>()> &encode)
{
    try {
        const files::FileWriter file(path); // an unwritable place is reported before the work
        const std::vector<std::uint8_t> bytes = encode();
        file.Write(bytes);
    } catch (const files::FileError &error) {
        failFile(error.what());
    }
}

PixelBuffer loadBmpFile(const std::string &path)
{
    static constexpr std::string_view Signature[] = {"BM"};
    return readPictureFile(path, Signature, "Bitmap image is not valid.",
                           [](std::span<const std::uint8_t> bytes, std::shared_ptr<const void> owner) {
                               return decodeBmpFile(bytes, MaxPicturePixels, std::move(owner));
                           });
}

PixelBuffer loadJpegFile(const std::string &path)
{
    static constexpr std::string_view Signature[] = {"\xFF\xD8\xFF"};
    return readPictureFile(path, Signature, "JPEG image is not valid.",
                           [](std::span<const std::uint8_t> bytes, std::shared_ptr<const void>) { return decodeJpegFile(bytes); });
}

PixelBuffer loadPngFile(const std::string &path)
{
    static constexpr std::string_view Signature[] = {std::string_view("\x89PNG\r\n\x1A\n", 8)};
    return readPictureFile(path, Signature, "PNG image is not valid.",
                           [](std::span<const std::uint8_t> bytes, std::shared_ptr<const void>) { return decodePngFile(bytes); });
}

} // namespace kaptiv
