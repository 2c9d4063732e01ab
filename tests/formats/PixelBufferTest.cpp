// The codec core's pixels against QImage's: the same colours from every 16-bit word and table
// index, and bitmaps handed across without a copy.
#include "formats/BitmapPixels.h"
#include "formats/BmpCodec.h"
#include "formats/JpegCodec.h"
#include "formats/core/ColorTables.h"
#include "platform/pixels/PixelFormats.h"

#include <QImage>

#include <cstring>
#include <memory>
#include <gtest/gtest.h>

namespace kaptiv {
namespace {

TEST(PixelBuffer, EverySixteenBitWordAndTableIndexGivesQImagesColour)
{
    struct Case {
        QImage::Format qt;
        PixelFormat core;
    };
    for (const Case c : {Case{QImage::Format_RGB16, PixelFormat::Rgb565}, Case{QImage::Format_RGB555, PixelFormat::Rgb555}}) {
        SCOPED_TRACE(int(c.core));
        QImage words(256, 256, c.qt); // every 16-bit word once
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                reinterpret_cast<quint16 *>(words.scanLine(y))[x] = quint16(y * 256 + x);
        const PixelBuffer pixels = pixelsOf(Bitmap(words, 16));
        ASSERT_EQ(pixels.format(), c.core);
        const QImage expected = words.convertToFormat(QImage::Format_RGB32);
        std::vector<std::uint32_t> row(256);
        for (int y = 0; y < 256; ++y) {
            pixels.rowAsXrgb32(y, row.data());
            ASSERT_EQ(0, std::memcmp(row.data(), expected.constScanLine(y), 1024)) << "row " << y;
        }
    }
    // A table shorter than the indices (black beyond it), with alpha in it (ignored), and none
    // at all (a grey ramp).
    for (const QVector<QRgb> &table : {QVector<QRgb>{qRgba(10, 20, 30, 40), qRgb(200, 100, 50)}, QVector<QRgb>{}}) {
        QImage indices(256, 1, QImage::Format_Indexed8);
        indices.setColorTable(table);
        for (int x = 0; x < 256; ++x)
            indices.scanLine(0)[x] = uchar(x);
        std::vector<std::uint32_t> row(256);
        pixelsOf(Bitmap(indices, 8)).rowAsXrgb32(0, row.data());
        EXPECT_EQ(0, std::memcmp(row.data(), indices.convertToFormat(QImage::Format_RGB32).constScanLine(0), 1024));
    }
}

TEST(PixelBuffer, BitmapsCrossTheEdgeWithoutACopy)
{
    const QImage picture = convertToColors(QImage(37, 5, QImage::Format_RGB32), 24, CaptureColors::Colors16).image();
    for (const Bitmap &bitmap : {Bitmap(QImage(37, 5, QImage::Format_RGB32), 24), Bitmap(picture, 4)}) {
        const PixelBuffer pixels = pixelsOf(bitmap);
        EXPECT_EQ(pixels.bits(), bitmap.image().constBits());
        EXPECT_EQ(pixels.stride(), bitmap.image().bytesPerLine());
        EXPECT_EQ(pixels.stride(), PixelBuffer::strideFor(37, pixels.format()));
        const Bitmap back = bitmapOf(pixels);
        EXPECT_EQ(back.image().constBits(), pixels.bits());
        EXPECT_EQ(back.image(), bitmap.image());
        EXPECT_EQ(back.depth(), bitmap.depth());
    }
    // A decoded picture outlives the buffer it came in.
    const QByteArray file = encodeBmp(Bitmap(picture, 4));
    QImage kept;
    {
        const Bitmap decoded = decodeBmp(file);
        kept = decoded.image();
    }
    EXPECT_EQ(kept, picture);
    // The core's messages are the program's errors, a file name's bytes kept.
    EXPECT_THROW(decodeBmp(QByteArray("BM")), EOpenFile);
    try {
        loadJpeg(decodeNativeName("/nonexistent/caf\xe9.jpg"));
        FAIL();
    } catch (const EOpenFile &error) {
        EXPECT_NE(encodeNativeName(error.message()).find("/nonexistent/caf\xe9.jpg"), std::string::npos);
    }
}

TEST(PixelBuffer, ABitmapFilesOwnRowsGiveTheSamePixelsAndFilesAsADecodedCopy)
{
    QImage picture(61, 7, QImage::Format_RGB32); // an odd width: rows are padded
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 61; ++x)
            picture.setPixel(x, y, qRgb(x * 4, y * 36, (x * 7 + y * 13) & 255));
    QByteArray bottomUp = encodeBmp(Bitmap(picture, 24));
    QByteArray topDown = bottomUp;
    const qint32 height = -7;
    std::memcpy(topDown.data() + 22, &height, 4);
    for (int y = 0; y < 7; ++y) // the rows in the other order
        std::memcpy(topDown.data() + 54 + y * 184, bottomUp.constData() + 54 + (6 - y) * 184, 184);
    for (const QByteArray &file : {bottomUp, topDown}) {
        auto owner = std::make_shared<const QByteArray>(file);
        const PixelBuffer rows = decodeBmpFile(bytesOf(*owner), MaxPicturePixels, owner);
        const PixelBuffer copy = decodeBmpFile(bytesOf(file));
        ASSERT_EQ(rows.format(), PixelFormat::Bgr24);
        EXPECT_EQ(copy.format(), PixelFormat::Xrgb32);
        EXPECT_GE(rows.bits(), reinterpret_cast<const std::uint8_t *>(owner->constData()));
        EXPECT_EQ(bitmapOf(rows).image(), picture);
        // libjpeg takes 3-byte and 4-byte pixels of the same colours to the same file.
        for (const JpegOptions &options : {JpegOptions{}, JpegOptions{90, true, true}})
            EXPECT_EQ(encodeJpegFile(rows, options), encodeJpegFile(copy, options));
        EXPECT_EQ(encodeBmpFile(rows), encodeBmpFile(copy));
        EXPECT_EQ(encodeBmpFile(rows), std::vector<std::uint8_t>(bottomUp.begin(), bottomUp.end()));
    }
}

TEST(PixelBuffer, ColoursAreReducedAsTheProgramReducesThem)
{
    QImage picture(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            picture.setPixel(x, y, y == 0 ? qRgb(255, 255, 255) : qRgb(x * 4, y * 4, (x * y) & 255));
    const Bitmap sources[] = {Bitmap(picture, 24), Bitmap(picture.convertToFormat(QImage::Format_RGB16), 16),
                              bitmapInColorFormat(Bitmap(picture, 24), BmpColorFormat::Colors256)};
    const struct {
        IndexedColors core;
        BmpColorFormat qt;
    } cases[] = {{IndexedColors::Monochrome, BmpColorFormat::Monochrome},
                 {IndexedColors::Colors16, BmpColorFormat::Colors16},
                 {IndexedColors::Colors256, BmpColorFormat::Colors256}};
    for (const Bitmap &source : sources)
        for (const auto &c : cases) {
            const Bitmap expected = bitmapInColorFormat(source, c.qt);
            const Bitmap reduced = bitmapOf(toIndexedColors(pixelsOf(source), c.core));
            EXPECT_EQ(reduced.depth(), expected.depth());
            EXPECT_EQ(reduced.image(), expected.image());
            EXPECT_EQ(encodeBmp(reduced), encodeBmp(expected));
        }
}

} // namespace
} // namespace kaptiv
