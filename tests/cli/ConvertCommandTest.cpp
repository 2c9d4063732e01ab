// kaptiv convert run in-process as a script would run it, and grab's choice of file by name.
#include "RunCommandLine.h"
#include "formats/BmpCodec.h"
#include "formats/IconCodec.h"
#include "formats/JpegCodec.h"
#include "formats/PngCodec.h"
#include "gif/GifFrames.h"
#include "platform/pixels/PixelFormats.h"

#include <QDir>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kaptiv {
namespace {

using testing::kaptiv;
using testing::Result;

// 32 x 32 in four VGA colours with a few pixels of a fifth, non-VGA colour.
QImage picture()
{
    QImage image(32, 32, QImage::Format_RGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            image.setPixel(x, y, y < 16 ? (x < 16 ? qRgb(255, 0, 0) : qRgb(0, 0, 128)) : (x < 16 ? qRgb(255, 255, 255) : qRgb(0, 128, 0)));
    image.setPixel(3, 3, qRgb(250, 10, 10));
    return image;
}

TEST(ConvertCommand, EveryFormatIsWrittenWithItsOptionsAndReadsBack)
{
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("in.bmp"));
    saveBmp(Bitmap(picture(), 24), in);
    const QImage vga = convertToColors(picture(), 24, CaptureColors::Colors16).toRgb32();
    const QImage mono = convertToColors(picture(), 24, CaptureColors::Monochrome).toRgb32();
    struct Case {
        const char *out;
        QStringList options;
        std::function<Bitmap(const QString &)> load;
        int depth;
        QImage pixels; // null: only close to the source (JPEG)
        const char *report;
    };
    const Case cases[] = {
        {"a.bmp", {}, loadBmp, 24, picture(), "32 x 32, 24 bits per pixel"},
        {"b.BMP", {"--colors", "16"}, loadBmp, 4, vga, "32 x 32, 4 bits per pixel"},
        {"c.png", {"--colors", "mono"}, loadPng, 1, mono, "32 x 32, 1 bits per pixel"},
        {"d.png", {}, loadPng, 24, picture(), "32 x 32, 24 bits per pixel"},
        {"e.ico", {"--colors", "16"}, loadIcon, 4, vga, "32 x 32, icon, 16 colours"},
        {"f.jpeg", {"--quality", "100", "--grayscale", "--progressive"}, loadJpeg, 24, {},
         "32 x 32, JPEG quality 100, grey, progressive"},
        {"g.gif", {"--interlaced"}, [](const QString &p) { return *GetFrameInfo(loadGif(p), 1).Bitmap; }, 24, picture(),
         "32 x 32, GIF"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.out);
        const QString out = dir.filePath(QLatin1String(c.out));
        const Result r = kaptiv(QStringList{"convert", in, out} + c.options);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, out.toStdString() + ": " + c.report + "\n");
        const Bitmap back = c.load(out);
        EXPECT_EQ(back.depth(), c.depth);
        if (!c.pixels.isNull())
            EXPECT_EQ(back.toRgb32(), c.pixels);
        else // grey: red, navy, white and green become their greys
            EXPECT_EQ(qGray(back.toRgb32().pixel(24, 24)), qGray(back.toRgb32().pixel(30, 30)));
    }
    // The icon's clear colour: the bottom-left pixel's (white) unless another is given, and the
    // icon read back shows it white.
    const QString icon = dir.filePath(QStringLiteral("t.ico"));
    ASSERT_EQ(kaptiv({"convert", in, icon, "--colors", "16", "--transparent", "000080"}).status, 0);
    EXPECT_EQ(loadIcon(icon).toRgb32().pixel(20, 4), qRgb(255, 255, 255));
    EXPECT_EQ(loadIcon(icon).toRgb32().pixel(4, 4), qRgb(255, 0, 0));
    // A GIF's second frame, and back to a bitmap.
    const QString gif = dir.filePath(QStringLiteral("g.gif"));
    const QString second = dir.filePath(QStringLiteral("second.bmp"));
    EXPECT_EQ(kaptiv({"convert", gif, second, "--frame", "1"}).status, 0);
    EXPECT_EQ(loadBmp(second).toRgb32(), picture());
}

TEST(ConvertCommand, WhatCannotBeDoneIsRefusedAndNothingIsWritten)
{
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("in.bmp"));
    saveBmp(Bitmap(picture(), 24), in);
    QImage wide = picture().scaled(33, 32);
    const QString wideIn = dir.filePath(QStringLiteral("wide.png"));
    savePng(Bitmap::fromImage(wide), wideIn);
    const QString gif = dir.filePath(QStringLiteral("one.gif"));
    ASSERT_EQ(kaptiv({"convert", in, gif}).status, 0);
    const QString out = dir.filePath(QStringLiteral("out"));
    struct Case {
        QStringList arguments;
        int status;
        const char *message;
    };
    const Case cases[] = {
        {{in, out + ".jpg", "--colors", "16"}, 2, "--colors does not apply to the output format"},
        {{in, out + ".png", "--quality", "50"}, 2, "--quality does not apply to the output format"},
        {{in, out + ".bmp", "--interlaced"}, 2, "--interlaced does not apply to the output format"},
        {{in, out + ".bmp", "--transparent", "FFFFFF"}, 2, "--transparent does not apply to the output format"},
        {{in, out + ".jpg", "--quality", "0"}, 2, "--quality takes 1 to 100, not 0"},
        {{in, out + ".jpg", "--quality", "101"}, 2, "--quality takes a whole number from 0 to 100, not '101'"},
        {{in, out + ".bmp", "--colors", "65536"}, 2, "--colors must be mono, 16, 256, as-is or adaptive, not '65536'"},
        {{in, out + ".bmp", "--dither"}, 2, "--dither goes with --colors adaptive"},
        {{in, out + ".gif", "--colors", "256", "--no-dither"}, 2, "--no-dither goes with --colors adaptive"},
        {{in, out + ".ico", "--colors", "adaptive"}, 2, "--colors adaptive applies to GIF, BMP and PNG output"},
        {{in, out + ".jpg", "--colors", "adaptive", "--dither"}, 2, "does not apply to the output format"},
        {{in, out + ".tif"}, 2, "cannot tell the output file's format from"},
        {{in}, 2, "convert takes an input file and an output file"},
        {{in, out + ".bmp", "--frame", "2"}, 2, "--frame applies to a GIF input file"},
        {{gif, out + ".bmp", "--frame", "2"}, 2, "has 1 frame(s); --frame takes 1 to 1"},
        {{in, out + ".ico"}, 1, "Image must be 32x32 pixels and at most 16 colors in order to save as a standard icon."},
        {{wideIn, out + ".ico", "--colors", "16"}, 1, "Image must be 32x32 pixels"},
        {{in, out + ".gif", "--transparent", "12345"}, 2, "--transparent takes a colour as RRGGBB, not '12345'"},
        {{gif + ".missing.png", out + ".bmp"}, 1, "one.gif.missing.png"},
        {{gif, out + ".png", "--frame", "0"}, 2, "--frame counts from 1"},
    };
    for (const Case &c : cases) {
        const Result r = kaptiv(QStringList{"convert"} + c.arguments);
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    EXPECT_EQ(QDir(dir.path()).entryList({"out*"}, QDir::Files), QStringList());

    // A picture of more than 256 colours is no GIF; the old file stays.
    QImage many(20, 20, QImage::Format_RGB32);
    for (int i = 0; i < 400; ++i)
        many.setPixel(i % 20, i / 20, qRgb(i % 256, i / 2, 7));
    const QString manyIn = dir.filePath(QStringLiteral("many.bmp"));
    saveBmp(Bitmap(many, 24), manyIn);
    const Result r = kaptiv({"convert", manyIn, gif});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no more than 256 colors per image"), std::string::npos) << r.err;
    EXPECT_EQ(GetFrameInfo(loadGif(gif), 1).Bitmap->toRgb32(), picture());
    EXPECT_EQ(kaptiv({"convert", manyIn, gif, "--colors", "256"}).status, 0);

    // grab refuses a name it cannot write before it looks for a display.
    const Result grab = kaptiv({"grab", "screen", "--output", out + ".gif"});
    EXPECT_EQ(grab.status, 2);
    EXPECT_NE(grab.err.find("grab writes .bmp, .png, .jpg or .jpeg files"), std::string::npos) << grab.err;
}

TEST(ConvertCommand, AdaptiveColoursFitAFullColourPictureInto256AndKeepAFewColourOneExact)
{
    QTemporaryDir dir;
    // A smooth gradient of 9,600 colours.
    QImage many(120, 80, QImage::Format_RGB32);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x)
            many.setPixel(x, y, qRgb(x * 2, y * 3, (x + y) & 0xFF));
    const QString manyIn = dir.filePath(QStringLiteral("many.bmp"));
    saveBmp(Bitmap(many, 24), manyIn);
    const QString fewIn = dir.filePath(QStringLiteral("few.bmp"));
    saveBmp(Bitmap(picture(), 24), fewIn);
    const auto gifFrame = [](const QString &p) { return *GetFrameInfo(loadGif(p), 1).Bitmap; };
    struct Case {
        const char *out;
        std::function<Bitmap(const QString &)> load;
        const char *report;
    } cases[] = {
        {"a.gif", gifFrame, "GIF"},
        {"a.bmp", loadBmp, "8 bits per pixel"},
        {"a.png", loadPng, "8 bits per pixel"},
    };
    QImage first;
    for (const bool dither : {true, false})
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(c.out) + (dither ? " dithered" : ""));
            const QString out = dir.filePath(QLatin1String(c.out));
            const Result r = kaptiv({"convert", manyIn, out, "--colors", "adaptive", dither ? "--dither" : "--no-dither"});
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(r.out, out.toStdString() + ": 120 x 80, " + c.report + "\n");
            const QImage back = c.load(out).toRgb32();
            // Every format gets the same pixels, each within a few levels of the original.
            if (c.out == cases[0].out)
                first = back;
            EXPECT_EQ(back, first);
            double error = 0;
            QSet<QRgb> colours;
            for (int y = 0; y < 80; ++y)
                for (int x = 0; x < 120; ++x) {
                    const QRgb a = many.pixel(x, y), b = back.pixel(x, y);
                    error += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
                    colours.insert(b);
                }
            EXPECT_LT(error / (3 * 80 * 120), dither ? 4.5 : 4.0); // 3.7 and 3.2 when written
            EXPECT_GT(colours.size(), 200);
            EXPECT_LE(colours.size(), 256);
        }
    // Few colours come through as they are, in 8 bits for a bitmap.
    const QString few = dir.filePath(QStringLiteral("few.bmp.bmp"));
    ASSERT_EQ(kaptiv({"convert", fewIn, few, "--colors", "adaptive"}).status, 0);
    EXPECT_EQ(loadBmp(few).depth(), 8);
    EXPECT_EQ(loadBmp(few).toRgb32(), picture());
}

} // namespace
} // namespace kaptiv
