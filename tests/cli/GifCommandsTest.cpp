// The GIF tools of the command line, run in-process as a script would run them.
#include "RunCommandLine.h"
#include "gif/GifFrames.h"
#include "formats/BmpCodec.h"
#include "gif/GifAnimation.h"
#include "gif/GifSave.h"
#include "platform/ui/Errors.h"
#include "platform/pixels/PixelFormats.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>

#include <sys/resource.h>

namespace kaptiv {
namespace {

using testing::kaptiv;
using testing::Result;

// Four quarters of the given colours.
Bitmap quarters(int w, int h, std::array<QRgb, 4> colours)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, colours[(y >= h / 2) * 2 + (x >= w / 2)]);
    return Bitmap(image, 24);
}

// A GIF whose frames have the given sizes, each with the pixels 1, 2 and then index 0.
QByteArray gifOfFrames(const std::vector<std::pair<int, int>> &sizes)
{
    QByteArray gif("GIF89a\x01\x00\x01\x00\x81\x00\x00" "\x00\x00\x00\xFF\x00\x00\x00\xFF\x00\x00\x00\xFF", 25);
    const auto word = [&](int v) { gif.append(char(v & 0xFF)).append(char(v >> 8)); };
    for (const auto &[w, h] : sizes) {
        gif.append(',');
        word(0), word(0), word(w), word(h);
        // Codes 4 (clear), 1, 2, 5 (end) at three bits, minimum code size 2.
        gif.append(QByteArray("\x00\x02\x02\x8C\x0A\x00", 6));  // packed byte 0, then the image data
    }
    return gif.append(';');
}

class GifCommands : public ::testing::Test {
protected:
    QString gifFile(const QString &name, const QByteArray &bytes) const
    {
        QFile f(file(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return file(name);
    }
    QString file(const QString &name) const { return dir.filePath(name); }
    QString bitmap(const QString &name, const Bitmap &b) const
    {
        saveBmp(b, file(name));
        return file(name);
    }
    QTemporaryDir dir;
};

TEST_F(GifCommands, MadeFramesReadBackWithTheirSettingsAndPixels)
{
    const Bitmap first = quarters(30, 20, {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(9, 9, 9)});
    const Bitmap second = quarters(30, 20, {qRgb(9, 9, 9), qRgb(255, 0, 0), qRgb(1, 2, 3), qRgb(0, 255, 0)});
    const Result made = kaptiv({"gif-make", "--output", file("a.gif"), "--delay", "150", "--loop", "3", "--interlaced",
                                "--transparent", "FF0000", bitmap("1.bmp", first), bitmap("2.bmp", second)});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.out, file("a.gif").toStdString() + ": 2 frames, one shared colour table\n");

    const Result info = kaptiv({"gif-info", file("a.gif")});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(info.out, "File: " + file("a.gif").toStdString() +
                            "\nCanvas: 30 x 20\nFrames: 2\nColour depth: 3 bits (8 colours)\nLoop count: 3\n"
                            "Transparent: yes\nAnimated: yes\n"
                            "Frame 1: position 0,0; size 30 x 20; delay 150 ms; disposal 0; interlaced yes; "
                            "transparent index 0 colour #FF0000; local table none; comment \"\"\n"
                            "Frame 2: position 0,0; size 30 x 20; delay 150 ms; disposal 0; interlaced yes; "
                            "transparent index 0 colour #FF0000; local table none; comment \"\"\n");

    const Result frames = kaptiv({"gif-frames", file("a.gif"), "--output", file("frames")});
    ASSERT_EQ(frames.status, 0) << frames.err;
    EXPECT_EQ(QDir(file("frames")).entryList(QDir::Files), (QStringList{"frame-001.bmp", "frame-002.bmp"}));
    const Bitmap back1 = loadBmp(file("frames/frame-001.bmp")), back2 = loadBmp(file("frames/frame-002.bmp"));
    EXPECT_EQ(back1.depth(), 24);
    EXPECT_EQ(back1.toRgb32(), first.toRgb32()); // transparent pixels keep the transparent colour
    EXPECT_EQ(back2.toRgb32(), second.toRgb32());

    // As the player shows them: red is transparent, so the first frame shows the background there
    // and the second the first frame's green (disposal 0 leaves it).
    const Result shown = kaptiv({"gif-frames", file("a.gif"), "--composited", "--background", "00FFFF",
                                 "--output", file("shown")});
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_EQ(shown.out, "2 composited frames written to " + file("shown").toStdString() + "\n");
    EXPECT_EQ(loadBmp(file("shown/frame-001.bmp")).toRgb32(),
              quarters(30, 20, {qRgb(0, 255, 255), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(9, 9, 9)}).toRgb32());
    EXPECT_EQ(loadBmp(file("shown/frame-002.bmp")).toRgb32(),
              quarters(30, 20, {qRgb(9, 9, 9), qRgb(0, 255, 0), qRgb(1, 2, 3), qRgb(0, 255, 0)}).toRgb32());
}

// Each bitmap is read at its own depth and made into a frame of the same pixels, interlaced or not
// (the writer reads the pixels of a bitmap that is not 32-bit a row at a time, in the frame's order).
TEST_F(GifCommands, BitmapsOfEveryDepthBecomeFramesOfTheirPixels)
{
    QImage source(9, 7, QImage::Format_ARGB32);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x)
            source.setPixel(x, y, qRgba(x * 28, y * 36, (x * y * 5) & 255, 255));
    const Bitmap bitmaps[] = {
        convertToColors(source, 24, CaptureColors::Monochrome), convertToColors(source, 24, CaptureColors::Colors16),
        convertToColors(source, 24, CaptureColors::Colors256), Bitmap(source.convertToFormat(QImage::Format_RGB16), 16),
        Bitmap(source.convertToFormat(QImage::Format_RGB32), 24), Bitmap(source, 32)};
    for (const Bitmap &b : bitmaps) {
        for (const bool interlaced : {false, true}) {
            SCOPED_TRACE(::testing::Message() << b.depth() << " bits" << (interlaced ? ", interlaced" : ""));
            const QString input = bitmap(QStringLiteral("in.bmp"), b);
            QStringList make{"gif-make", "-o", file("d.gif"), input};
            if (interlaced)
                make << QStringLiteral("--interlaced");
            const Result made = kaptiv(make);
            ASSERT_EQ(made.status, 0) << made.err;
            ASSERT_EQ(kaptiv({"gif-frames", file("d.gif"), "-o", file("d")}).status, 0);
            EXPECT_EQ(loadBmp(file("d/frame-001.bmp")).toRgb32(), loadBmp(input).toRgb32());
        }
    }
}

TEST_F(GifCommands, LocalTablesWhenAskedOrWhenTheColoursDoNotShareOneTable)
{
    // Two frames of 200 colours each, none in common: together they overflow one table.
    QImage a(20, 10, QImage::Format_RGB32), b(20, 10, QImage::Format_RGB32);
    for (int i = 0; i < 200; ++i) {
        a.setPixel(i % 20, i / 20, qRgb(i, 0, 0));
        b.setPixel(i % 20, i / 20, qRgb(0, i, 7));
    }
    const QString fa = bitmap("a.bmp", Bitmap(a, 24)), fb = bitmap("b.bmp", Bitmap(b, 24));
    const Result shared = kaptiv({"gif-make", "-o", file("s.gif"), fa, fb});
    ASSERT_EQ(shared.status, 0) << shared.err;
    EXPECT_NE(shared.out.find("a colour table per frame"), std::string::npos);
    const Result local = kaptiv({"gif-make", "-o", file("l.gif"), "--local-colors", fa, fa});
    EXPECT_NE(local.out.find("a colour table per frame"), std::string::npos);
    const std::string info = kaptiv({"gif-info", file("s.gif")}).out;
    EXPECT_NE(info.find("Frame 2: position 0,0; size 20 x 10; delay 0 ms; disposal 0; interlaced no; transparent no; "
                        "local table 256 colours"),
              std::string::npos)
        << info;
}

TEST_F(GifCommands, AdaptiveColoursReduceOnlyWhatDoesNotFitAndKeepStillAreasStill)
{
    // Full-colour frames: a gradient, and the same with a 10 x 6 rectangle of other colours.
    QImage one(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            one.setPixel(x, y, qRgb(x * 4, y * 5, 2 * (x + y)));
    QImage two = one;
    for (int y = 20; y < 26; ++y)
        for (int x = 30; x < 40; ++x)
            two.setPixel(x, y, qRgb(255 - x, 3 * y, 99));
    const QString f1 = bitmap("1.bmp", Bitmap(one, 24)), f2 = bitmap("2.bmp", Bitmap(two, 24));
    const QString few = bitmap("few.bmp", quarters(64, 48, {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(9, 9, 9)}));

    // Frames that fit make the same file with and without the option.
    const auto bytes = [this](const QString &name) {
        QFile f(file(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    ASSERT_EQ(kaptiv({"gif-make", "-o", file("plain.gif"), few, few}).status, 0);
    ASSERT_EQ(kaptiv({"gif-make", "-o", file("as-is.gif"), "--colors", "as-is", few, few}).status, 0);
    ASSERT_EQ(kaptiv({"gif-make", "-o", file("fits.gif"), "--colors", "adaptive", few, few}).status, 0);
    EXPECT_EQ(bytes("as-is.gif"), bytes("plain.gif"));
    EXPECT_EQ(bytes("fits.gif"), bytes("plain.gif"));

    const Result shared = kaptiv({"gif-make", "-o", file("s.gif"), "--colors", "adaptive", f1, f2});
    ASSERT_EQ(shared.status, 0) << shared.err;
    EXPECT_EQ(shared.out, file("s.gif").toStdString() + ": 2 frames, one shared colour table\n");
    const gif::GifImage image = loadGif(file("s.gif"));
    const QImage back1 = GetFrameInfo(image, 1).Bitmap->toRgb32(), back2 = GetFrameInfo(image, 2).Bitmap->toRgb32();
    int changed = 0;
    double error = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            const bool inside = x >= 30 && x < 40 && y >= 20 && y < 26;
            if (!inside)
                ASSERT_EQ(back1.pixel(x, y), back2.pixel(x, y)) << x << "," << y << ": a still pixel changed";
            changed += back1.pixel(x, y) != back2.pixel(x, y);
            const QRgb a = one.pixel(x, y), b = back1.pixel(x, y);
            error += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
        }
    EXPECT_GT(changed, 30);
    EXPECT_LT(error / (3 * 64 * 48), 4.0);

    // A table each: the frame of four colours keeps them exactly.
    const Result local = kaptiv({"gif-make", "-o", file("l.gif"), "--colors", "adaptive", "--no-dither", "--local-colors", f1, few});
    ASSERT_EQ(local.status, 0) << local.err;
    EXPECT_NE(local.out.find("a colour table per frame"), std::string::npos);
    EXPECT_EQ(GetFrameInfo(loadGif(file("l.gif")), 2).Bitmap->toRgb32(),
              quarters(64, 48, {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(9, 9, 9)}).toRgb32());
}

TEST_F(GifCommands, TooManyColoursFailsAndLeavesTheOldFile)
{
    QImage many(300, 1, QImage::Format_RGB32);
    for (int x = 0; x < 300; ++x)
        many.setPixel(x, 0, qRgb(x & 255, x >> 8, 0));
    QFile old(file("keep.gif"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("previous");
    old.close();
    const Result r = kaptiv({"gif-make", "-o", file("keep.gif"), bitmap("many.bmp", Bitmap(many, 24))});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "kaptiv: Could not create the GIF animation.  Make sure the images are valid, i.e. there are no "
                     "more than 256 colors per image.\n");
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("previous"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), (QStringList{"keep.gif", "many.bmp"}));
}

TEST_F(GifCommands, BadInputIsRefusedClearly)
{
    const QString bmp = bitmap("x.bmp", quarters(4, 4, {0, 0, 0, 0}));
    QFile notGif(file("not.gif"));
    ASSERT_TRUE(notGif.open(QIODevice::WriteOnly));
    notGif.write("JFIF this is not one");
    notGif.close();
    struct Case {
        QStringList arguments;
        int status;
        std::string message;
    } cases[] = {
        {{"gif-info"}, 2, "gif-info needs a GIF file"},
        {{"gif-info", file("missing.gif")}, 1, "Cannot open file"},
        {{"gif-info", file("not.gif")}, 1, "is not a GIF file that can be read"},
        {{"gif-frames", file("not.gif")}, 2, "gif-frames needs --output DIR"},
        {{"gif-make", bmp}, 2, "gif-make needs --output OUT.gif"},
        {{"gif-make", "-o", file("o.gif")}, 2, "gif-make needs at least one picture"},
        {{"gif-make", "-o", file("o.gif"), "--delay", "-1", bmp}, 2, "--delay takes a whole number"},
        {{"gif-make", "-o", file("o.gif"), "--loop", "70000", bmp}, 2, "--loop takes a whole number from 0 to 65535"},
        {{"gif-make", "-o", file("o.gif"), "--transparent", "red", bmp}, 2, "--transparent takes a colour as RRGGBB"},
        {{"gif-make", "-o", file("o.gif"), "--dither", bmp}, 2, "--dither goes with --colors adaptive"},
        {{"gif-make", "-o", file("o.gif"), "--colors", "as-is", "--no-dither", bmp}, 2, "--no-dither goes with --colors adaptive"},
        {{"gif-make", "-o", file("o.gif"), "--colors", "256", bmp}, 2, "--colors must be as-is or adaptive, not '256'"},
        {{"gif-make", "-o", file("o.gif"), bmp, file("not.gif")}, 1, "kaptiv: " + file("not.gif").toStdString() + ": The file is not a BMP, PNG, JPEG or GIF picture.\n"},
        {{"gif-make", "-o", file("no/such/dir/o.gif"), bmp}, 1, "o.gif"},
    };
    for (const Case &c : cases) {
        const Result r = kaptiv(c.arguments);
        EXPECT_EQ(r.status, c.status) << c.arguments.join(' ').toStdString() << "\n" << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}

TEST_F(GifCommands, RealAnimationsListEveryFrame)
{
    const QString corpus = QStringLiteral(KAPTIV_GIF_CORPUS);
    const QString sprites = corpus + QStringLiteral("/real/anim_sprites_20f.gif");
    const Result info = kaptiv({"gif-info", sprites});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("Frames: 20\n"), std::string::npos);
    EXPECT_NE(info.out.find("Frame 20: "), std::string::npos);
    ASSERT_EQ(kaptiv({"gif-frames", sprites, "--output", file("s")}).status, 0);
    EXPECT_EQ(QDir(file("s")).entryList(QDir::Files).size(), 20);
}

// Comments are bytes: byte for byte from the file through the frame record and back into a file,
// shown as Latin-1 with control characters escaped, so no comment can forge or garble the listing.
TEST_F(GifCommands, CommentsAreBytesKeptExactlyAndListedSafely)
{
    struct Case {
        QByteArray bytes;
        std::string listed;
    } cases[] = {
        {"caf\xE9!", "caf\xC3\xA9!"},
        {"\x1B[2J\r\n", "\\x1b[2J\\r\\n"},
        {"x\nFrame 2: forged", "x\\nFrame 2: forged"},
        {QByteArray("a\0b\t\"q\"\\\x7F\x9B\xA0", 11), "a\\x00b\\t\\\"q\\\"\\\\\\x7f\\x9b\xC2\xA0"},
    };
    const Bitmap pixel = quarters(2, 2, {qRgb(1, 2, 3), qRgb(1, 2, 3), qRgb(1, 2, 3), qRgb(1, 2, 3)});
    for (const Case &c : cases) {
        TGIFSaveInfo save;
        TFrameInfo frame;
        frame.Bitmap = std::make_shared<Bitmap>(pixel);
        frame.Comment = QString::fromLatin1(c.bytes);
        save.Frames = {frame};
        ASSERT_TRUE(SaveGIF(file("c.gif"), save));
        QFile written(file("c.gif"));
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_TRUE(written.readAll().contains("\x21\xFE" + QByteArray(1, char(c.bytes.size())) + c.bytes))
            << c.listed;

        const gif::GifImage image = loadGif(file("c.gif"));
        EXPECT_EQ(image.Frames.at(0).Comment, c.bytes.toStdString());
        const TFrameInfo back = GetFrameInfo(image, 1);
        EXPECT_EQ(back.Comment, QString::fromLatin1(c.bytes));
        TFrameInfo played;
        loadGifAnimation(file("c.gif")).GetFrameInfo(1, played);
        EXPECT_EQ(played.Comment, QString::fromLatin1(c.bytes));
        save.Frames = {back};
        ASSERT_TRUE(SaveGIF(file("again.gif"), save));
        EXPECT_EQ(loadGif(file("again.gif")).Frames.at(0).Comment, c.bytes.toStdString());

        const Result info = kaptiv({"gif-info", file("c.gif")});
        EXPECT_NE(info.out.find("; comment \"" + c.listed + "\"\n"), std::string::npos) << info.out;
        EXPECT_EQ(std::count(info.out.begin(), info.out.end(), '\n'), 8) << info.out;
    }
}

// What the commands report matches what they did, and a file the reader would only read in part
// is refused with the limit named, before anything is written.
TEST_F(GifCommands, CountsAndLimitsAreTold)
{
    const QString tiny = gifFile("tiny.gif", gifOfFrames({{2, 1}, {0, 5}, {3, 1}}));
    const Result frames = kaptiv({"gif-frames", tiny, "-o", file("out")});
    ASSERT_EQ(frames.status, 0) << frames.err;
    EXPECT_EQ(frames.out, "2 of 3 frames written to " + file("out").toStdString() + "; without pixels: frame 2\n");
    EXPECT_EQ(QDir(file("out")).entryList(QDir::Files), (QStringList{"frame-001.bmp", "frame-003.bmp"}));
    EXPECT_EQ(loadBmp(file("out/frame-003.bmp")).toRgb32().pixel(1, 0), qRgb(0, 255, 0));

    const std::pair<int, int> largest{16384, 16384};
    struct Case {
        std::vector<std::pair<int, int>> sizes;
        int status;
        std::string said;
    } cases[] = {
        {{largest, largest, largest, largest}, 0, "Frames: 4\n"},
        {{{2, 2}, {16385, 16384}}, 1, "has a frame of more than 268435456 pixels (16384 x 16384), the largest"},
        // Frame by frame, a file may hold more than the 2^30 pixels a whole reading keeps.
        {{largest, largest, largest, largest, {1, 1}}, 0, "Frames: 5\n"},
    };
    for (const Case &c : cases) {
        const QString big = gifFile("big.gif", gifOfFrames(c.sizes));
        const Result info = kaptiv({"gif-info", big});
        EXPECT_EQ(info.status, c.status);
        EXPECT_NE((info.out + info.err).find(c.said), std::string::npos) << info.out << info.err;
        if (c.status != 0) {
            const Result refused = kaptiv({"gif-frames", big, "-o", file("refused")});
            EXPECT_EQ(refused.status, 1);
            EXPECT_NE(refused.err.find(c.said), std::string::npos) << refused.err;
            EXPECT_FALSE(QDir(file("refused")).exists()) << "frames were written from a refused file";
        }
    }

    const QString muybridge = QStringLiteral(KAPTIV_GIF_CORPUS) + QStringLiteral("/real/gifplayer-muybridge.gif");
    // More than 256 frames: every command that counts them reads them all, frame by frame.
    const Result listed = kaptiv({"gif-info", muybridge});
    EXPECT_NE(listed.out.find("Frames: 380\n"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("\nFrame 380: "), std::string::npos) << listed.out;
    const QString many = gifFile("300-frames.gif", gifOfFrames(std::vector<std::pair<int, int>>(300, {1, 1})));
    const std::pair<QStringList, std::string> counts[] = {
        {{"gif-info", many}, "\nFrames: 300\n"},
        {{"gif-frames", many, "-o", file("plain")}, "300 frames written to " + file("plain").toStdString() + "\n"},
        {{"gif-frames", "--composited", many, "-o", file("composited")},
         "300 composited frames written to " + file("composited").toStdString() + "\n"},
    };
    for (const auto &[arguments, said] : counts) {
        const Result run = kaptiv(arguments);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find(said), std::string::npos) << run.out;
    }
    EXPECT_TRUE(QFile::exists(file("composited/frame-300.bmp")));

    const QString bmp = bitmap("x.bmp", quarters(2, 2, {0, 0, 0, 0}));
    QStringList tooMany{"gif-make", "-o", file("many.gif")};
    for (int i = 0; i < 257; ++i)
        tooMany << bmp;
    const Result made = kaptiv(tooMany);
    EXPECT_EQ(made.status, 2);
    EXPECT_NE(made.err.find("gif-make makes at most 256 frames"), std::string::npos) << made.err;
    EXPECT_FALSE(QFile::exists(file("many.gif")));
}

// A picture whose memory cannot be had is an error with a message, never a write through null.
TEST(GetFrameInfo, AFrameWithoutMemoryIsAnError)
{
    gif::GifFrame frame;
    frame.Width = frame.Height = 8192;
    frame.IndexStride = 8192;
    frame.Indices = gif::ZeroedBuffer(std::size_t{8192} * 8192);
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &before), 0);
    QFile status(QStringLiteral("/proc/self/status"));
    ASSERT_TRUE(status.open(QIODevice::ReadOnly));
    const QByteArray text = status.readAll();
    const qsizetype at = text.indexOf("VmSize:");
    const rlim_t used = rlim_t(text.mid(at + 7, text.indexOf("kB", at) - at - 7).trimmed().toLongLong()) * 1024;
    rlimit tight = before;
    tight.rlim_cur = used + (rlim_t{64} << 20); // room for a little, not for 256 MB of pixels
    ASSERT_EQ(setrlimit(RLIMIT_AS, &tight), 0);
    QString message;
    try {
        frameRecord(frame);
    } catch (const EOutOfMemory &e) {
        message = e.message();
    }
    setrlimit(RLIMIT_AS, &before);
    EXPECT_EQ(message, QStringLiteral("Not enough memory for a picture of 8192 x 8192 pixels."));
}

TEST(GetFrameInfo, OutsideTheFramesGivesAnEmptyRecord)
{
    gif::GifImage image;
    image.Frames.resize(1);
    for (int index : {0, 2, -1}) {
        const TFrameInfo info = GetFrameInfo(image, index);
        EXPECT_EQ(info.Bitmap, nullptr);
        EXPECT_EQ(info.Width, 0);
        EXPECT_EQ(info.TransparentColor, 0u);
    }
}

} // namespace
} // namespace kaptiv
