// Round trips with other programs: what Kaptiv writes opens in ImageMagick (JPEG also in djpeg,
// icons also in Qt's icon reader) with the same pixels, and what ImageMagick writes opens in
// Kaptiv at the right depth with ImageMagick's own pixels.
#include "formats/BmpCodec.h"
#include "formats/IconCodec.h"
#include "formats/JpegCodec.h"
#include "formats/PngCodec.h"
#include "platform/pixels/PixelFormats.h"

#include "MagickTool.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

namespace kaptiv {
namespace {

// A picture with many colours, smooth areas and sharp edges.
QImage photo(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, (x / 8 + y / 8) % 3 == 0 ? qRgb(250, 250, 250)
                                                          : qRgb(x * 255 / w, y * 255 / h, (x * y) % 256));
    return image;
}

// Each quarter one VGA colour, with a dot of white in the middle of each.
QImage vgaQuarters(int size)
{
    const QRgb colours[4] = {qRgb(128, 0, 0), qRgb(0, 128, 128), qRgb(255, 255, 0), qRgb(0, 0, 255)};
    QImage image(size, size, QImage::Format_RGB32);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            image.setPixel(x, y, colours[(y >= size / 2) * 2 + (x >= size / 2)]);
    return image;
}

// djpeg's reading of a JPEG file: one grey channel or three colour channels.
QImage djpegPixels(const QString &file, int *channels)
{
    const QByteArray pnm = runTool(QStringLiteral("djpeg"), {QStringLiteral("-pnm"), file});
    *channels = pnm.startsWith("P5") ? 1 : 3;
    return QImage::fromData(pnm).convertToFormat(QImage::Format_RGB32);
}

// The number of pixels whose colour differs, comparing alpha only where `withAlpha`.
int differingPixels(const QImage &a, const QImage &b, bool withAlpha = false)
{
    if (a.size() != b.size())
        return -1;
    const QRgb mask = withAlpha ? 0xFFFFFFFFu : 0x00FFFFFFu;
    int differing = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            differing += (a.pixel(x, y) & mask) != (b.pixel(x, y) & mask);
    return differing;
}

double meanError(const QImage &a, const QImage &b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}


TEST(ImageMagickRoundTrip, WhatKaptivWritesOpensElsewhereWithTheSamePixels)
{
    QTemporaryDir dir;
    const QImage source = photo(37, 23);
    QImage withAlpha = source.convertToFormat(QImage::Format_ARGB32);
    for (int x = 0; x < withAlpha.width(); ++x)
        withAlpha.setPixel(x, 5, qRgba(10, 200, 30, x * 7));
    struct Case {
        const char *name;
        Bitmap bitmap;
        std::function<QByteArray(const Bitmap &)> encode;
        bool withAlpha;
    };
    const Case cases[] = {
        {"mono.bmp", bitmapInColorFormat(Bitmap(source, 24), BmpColorFormat::Monochrome), encodeBmp, false},
        {"vga.bmp", bitmapInColorFormat(Bitmap(source, 24), BmpColorFormat::Colors16), encodeBmp, false},
        {"halftone.bmp", bitmapInColorFormat(Bitmap(source, 24), BmpColorFormat::Colors256), encodeBmp, false},
        {"565.bmp", bitmapInColorFormat(Bitmap(source, 24), BmpColorFormat::Bits16), encodeBmp, false},
        {"24.bmp", Bitmap(source, 24), encodeBmp, false},
        {"32.bmp", Bitmap(source, 32), encodeBmp, false},
        {"mono.png", bitmapInColorFormat(Bitmap(source, 24), BmpColorFormat::Monochrome), encodePng, false},
        {"vga.png", bitmapInColorFormat(Bitmap(source, 24), BmpColorFormat::Colors16), encodePng, false},
        {"halftone.png", bitmapInColorFormat(Bitmap(source, 24), BmpColorFormat::Colors256), encodePng, false},
        {"565.png", bitmapInColorFormat(Bitmap(source, 24), BmpColorFormat::Bits16), encodePng, false},
        {"24.png", Bitmap(source, 24), encodePng, false},
        {"alpha.png", Bitmap(withAlpha, 32), encodePng, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QLatin1String(c.name));
        writeBytes(path, c.encode(c.bitmap));
        const QImage ours = c.withAlpha ? c.bitmap.image() : c.bitmap.toRgb32();
        EXPECT_EQ(differingPixels(magickPixels(path, ours.width(), ours.height()), ours, c.withAlpha), 0);
        // Read back here, a lossless file keeps its depth (PNG has no 16 bits: it widens to 24).
        const Bitmap back = path.endsWith(QLatin1String(".png")) ? loadPng(path) : loadBmp(path);
        EXPECT_EQ(back.depth(), c.bitmap.depth() == 16 && path.endsWith(QLatin1String(".png")) ? 24 : c.bitmap.depth());
        EXPECT_EQ(differingPixels(c.withAlpha ? back.image() : back.toRgb32(), ours, c.withAlpha), 0);
    }

    struct JpegCase {
        const char *name;
        JpegOptions options;
    };
    for (const JpegCase &c : {JpegCase{"baseline.jpg", {90, false, false}}, JpegCase{"progressive.jpg", {90, false, true}},
                              JpegCase{"grey.jpg", {90, true, false}}, JpegCase{"grey-progressive.jpg", {90, true, true}},
                              JpegCase{"q1.jpg", {1, false, false}}, JpegCase{"q100.jpg", {100, false, false}}}) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QLatin1String(c.name));
        const QByteArray bytes = encodeJpeg(Bitmap(source, 24), c.options);
        writeBytes(path, bytes);
        const QImage ours = decodeJpeg(bytes).toRgb32();
        int channels = 0;
        EXPECT_EQ(differingPixels(djpegPixels(path, &channels), ours), 0);
        EXPECT_EQ(differingPixels(magickPixels(path, source.width(), source.height()), ours), 0);
        EXPECT_EQ(channels, c.options.grayscale ? 1 : 3);
        EXPECT_EQ(bytes.contains("\xFF\xC2"), c.options.progressive); // the progressive frame marker
        const QImage expected = c.options.grayscale ? source.convertToFormat(QImage::Format_Grayscale8).convertToFormat(QImage::Format_RGB32) : source;
        if (c.options.quality >= 90) { // near the source: no channels swapped, no rows shifted
            EXPECT_LT(meanError(ours, expected), 12.0);
        }
    }
    // The smallest quality makes the smallest file.
    EXPECT_LT(encodeJpeg(Bitmap(source, 24), {1, false, false}).size(), encodeJpeg(Bitmap(source, 24), {75, false, false}).size());

    // The icon: transparent where the bottom-left colour is, the other pixels in their VGA colours.
    const Bitmap icon = bitmapInColorFormat(Bitmap(vgaQuarters(32), 24), BmpColorFormat::Colors16);
    const QString iconPath = dir.filePath(QStringLiteral("a.ico"));
    writeBytes(iconPath, encodeIcon(icon));
    QImage expected = icon.toRgb32().convertToFormat(QImage::Format_ARGB32);
    for (int y = 16; y < 32; ++y)
        for (int x = 0; x < 16; ++x)
            expected.setPixel(x, y, 0);
    QImage qtIcon;
    ASSERT_TRUE(qtIcon.load(iconPath, "ico"));
    for (QImage other : {magickPixels(iconPath, 32, 32), qtIcon.convertToFormat(QImage::Format_ARGB32)}) {
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                if (qAlpha(other.pixel(x, y)) == 0) // a clear pixel's colour means nothing
                    other.setPixel(x, y, 0);
        EXPECT_EQ(differingPixels(other, expected, true), 0);
    }
}

TEST(ImageMagickRoundTrip, WhatImageMagickWritesOpensInKaptivAtItsDepth)
{
    QTemporaryDir dir;
    const QString photoPath = dir.filePath(QStringLiteral("photo.png"));
    writeBytes(photoPath, encodePng(Bitmap(photo(41, 27), 24)));
    const QString quartersPath = dir.filePath(QStringLiteral("quarters.png"));
    writeBytes(quartersPath, encodePng(Bitmap(vgaQuarters(48), 24)));
    struct Case {
        const char *coder; // ImageMagick's name of the file layout
        const char *name;
        QStringList options;
        std::function<Bitmap(const QString &)> load;
        int depth;
        bool withAlpha = false;
    };
    const QStringList none;
    const Case cases[] = {
        {"BMP3", "1.bmp", {"-type", "bilevel"}, loadBmp, 1},
        {"BMP3", "4.bmp", {"-colors", "16", "-type", "palette", "-compress", "none"}, loadBmp, 4},
        {"BMP3", "8.bmp", {"-colors", "200", "-type", "palette", "-compress", "none"}, loadBmp, 8},
        {"BMP3", "rle8.bmp", {"-colors", "200", "-type", "palette", "-compress", "RLE"}, loadBmp, 8},
        {"BMP", "16.bmp", {"-define", "bmp:subtype=RGB565"}, loadBmp, 16},
        {"BMP3", "24.bmp", {"-type", "truecolor"}, loadBmp, 24},
        {"BMP", "32.bmp", {"-alpha", "set"}, loadBmp, 32},
        {"JPEG", "baseline.jpg", {"-quality", "85"}, loadJpeg, 24},
        {"JPEG", "progressive.jpg", {"-interlace", "Plane"}, loadJpeg, 24},
        {"JPEG", "grey.jpg", {"-colorspace", "Gray"}, loadJpeg, 24},
        {"JPEG", "cmyk.jpg", {"-colorspace", "CMYK"}, loadJpeg, 24},
        {"PNG8", "palette.png", {"-colors", "200"}, loadPng, 8},
        {"PNG24", "rgb.png", none, loadPng, 24},
        {"PNG", "grey.png", {"-colorspace", "Gray"}, loadPng, 8},
        {"PNG32", "alpha.png", {"-alpha", "set", "-channel", "A", "-fx", "(i+j)/80", "+channel"}, loadPng, 32, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString target = dir.filePath(QLatin1String(c.name));
        runTool(QStringLiteral("convert"), QStringList{photoPath} + c.options + QStringList{QLatin1String(c.coder) + ':' + target});
        const Bitmap ours = c.load(target);
        EXPECT_EQ(ours.depth(), c.depth);
        const QImage pixels = c.withAlpha ? convertImage(ours.image(), QImage::Format_ARGB32) : ours.toRgb32();
        const QImage magick = magickPixels(target, 41, 27);
        if (QLatin1String(c.name).startsWith(QLatin1String("cmyk")))
            EXPECT_LT(meanError(pixels, magick), 2.0) << "CMYK to RGB is done a little differently";
        else
            EXPECT_EQ(differingPixels(pixels, magick, c.withAlpha), 0);
    }

    // Icons of several sizes: the 32 x 32 one is taken as it is; one of 48 x 48 alone is made 32 x 32.
    const QString several = dir.filePath(QStringLiteral("several.ico"));
    runTool(QStringLiteral("convert"), {quartersPath, QStringLiteral("-define"), QStringLiteral("icon:auto-resize=16,32,64"), several});
    const Bitmap icon = loadIcon(several);
    EXPECT_EQ(icon.depth(), 4);
    EXPECT_EQ(icon.colorTable(), vgaColors());
    EXPECT_EQ(differingPixels(icon.toRgb32(), vgaQuarters(32)), 0);
    const QString large = dir.filePath(QStringLiteral("large.ico"));
    runTool(QStringLiteral("convert"), {quartersPath, large});
    const Bitmap scaled = loadIcon(large);
    ASSERT_EQ(scaled.width(), 32);
    ASSERT_EQ(scaled.height(), 32);
    EXPECT_EQ(scaled.depth(), 4);
    const QImage quarters = vgaQuarters(32);
    for (const QPoint p : {QPoint(4, 4), QPoint(27, 4), QPoint(4, 27), QPoint(27, 27)})
        EXPECT_EQ(scaled.toRgb32().pixel(p), quarters.pixel(p));
}

} // namespace
} // namespace kaptiv
