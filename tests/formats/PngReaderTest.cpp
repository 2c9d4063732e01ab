// The PNG reader of the codec core against Qt's reading of the same files, which the program used
// before: every kind of PNG ImageMagick writes comes out at the same depth with the same colour
// table and pixels.
#include "MagickTool.h"
#include "formats/PngCodec.h"
#include "platform/ui/Errors.h"

#include <cstring>

#include <QBuffer>
#include <QImageReader>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kaptiv {
namespace {

// What the program made of a PNG through Qt: 8-bit grey as 256 greys, the rest by its format.
Bitmap qtReading(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    reader.setAutoTransform(false);
    QImage image;
    if (!reader.read(&image))
        return {};
    if (image.format() == QImage::Format_Grayscale8) {
        QImage indexed = image.convertToFormat(QImage::Format_Indexed8);
        QVector<QRgb> ramp(256);
        for (int i = 0; i < 256; ++i)
            ramp[i] = qRgb(i, i, i);
        QImage grey(image.width(), image.height(), QImage::Format_Indexed8);
        grey.setColorTable(ramp);
        for (int y = 0; y < image.height(); ++y)
            std::memcpy(grey.scanLine(y), image.constScanLine(y), size_t(image.width()));
        return Bitmap(grey, 8);
    }
    return Bitmap::fromImage(image);
}

TEST(PngReader, EveryKindOfPngReadsAsQtReadItBefore)
{
    QTemporaryDir dir;
    QImage source(37, 23, QImage::Format_RGB32); // an odd width: rows are padded
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x)
            source.setPixel(x, y, qRgb(x * 7, y * 11, (x * y * 3) & 255));
    const QString from = dir.filePath(QStringLiteral("source.png"));
    ASSERT_TRUE(source.save(from));
    const QStringList grey{"-colorspace", "Gray", "-define", "png:color-type=0"};
    const struct {
        const char *name;
        QStringList options;
    } cases[] = {
        {"PNG:grey1.png", QStringList{"-type", "bilevel", "-define", "png:bit-depth=1"} + QStringList{"-define", "png:color-type=0"}},
        {"PNG:grey2.png", grey + QStringList{"-define", "png:bit-depth=2"}},
        {"PNG:grey4.png", grey + QStringList{"-define", "png:bit-depth=4"}},
        {"PNG:grey8.png", grey + QStringList{"-define", "png:bit-depth=8"}},
        {"PNG:grey16.png", grey + QStringList{"-define", "png:bit-depth=16"}},
        {"PNG:grey8-clear.png", grey + QStringList{"-define", "png:bit-depth=8", "-transparent", "gray(50%)"}},
        {"PNG:grey-alpha.png", QStringList{"-colorspace", "Gray", "-alpha", "set", "-channel", "A", "-fx", "i/40", "+channel",
                                           "-define", "png:color-type=4"}},
        {"PNG8:palette2.png", {"-colors", "2"}},
        {"PNG8:palette4.png", {"-colors", "4"}},
        {"PNG8:palette16.png", {"-colors", "16"}},
        {"PNG8:palette200.png", {"-colors", "200"}},
        {"PNG8:palette-clear.png", {"-colors", "50", "-transparent", "black"}},
        {"PNG24:rgb.png", {}},
        {"PNG24:rgb-clear.png", {"-fill", "red", "-draw", "point 3,3", "-transparent", "red"}},
        {"PNG48:rgb16.png", {}},
        {"PNG32:rgba.png", {"-alpha", "set", "-channel", "A", "-fx", "(i+j)/60", "+channel"}},
        {"PNG64:rgba16.png", {"-alpha", "set", "-channel", "A", "-fx", "(i+j)/60", "+channel"}},
        {"PNG24:interlaced.png", {"-interlace", "PNG"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString target = dir.filePath(QString::fromLatin1(c.name).section(':', 1));
        runTool(QStringLiteral("convert"), QStringList{from} + c.options + QStringList{QLatin1String(c.name).left(QLatin1String(c.name).indexOf(':') + 1) + target});
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const Bitmap qt = qtReading(bytes);
        ASSERT_FALSE(qt.isNull());
        const Bitmap ours = decodePng(bytes);
        EXPECT_EQ(ours.depth(), qt.depth());
        EXPECT_EQ(ours.colorTable(), qt.colorTable());
        EXPECT_EQ(ours.image().format(), qt.image().format());
        // Pixel for pixel (QImage's == also weighs the colour space Qt read from the file).
        ASSERT_EQ(ours.image().size(), qt.image().size());
        const qsizetype used = (qsizetype(qt.image().width()) * qt.image().depth() + 7) / 8;
        for (int y = 0; y < qt.image().height(); ++y)
            ASSERT_EQ(0, std::memcmp(ours.image().constScanLine(y), qt.image().constScanLine(y), size_t(used))) << "row " << y;
        // Cut short anywhere, it is no picture.
        for (const qsizetype cut : {qsizetype(40), bytes.size() / 2, bytes.size() - 1})
            EXPECT_THROW(decodePng(bytes.left(cut)), EOpenFile) << cut;
    }
}

} // namespace
} // namespace kaptiv
