// The cursor readers against cursors ImageMagick wrote at every depth it writes, animated cursors
// put together from RIFF chunks, and broken files of both kinds.
#include "CursorFiles.h"
#include "MagickTool.h"
#include "formats/CursorCodec.h"
#include "formats/PngCodec.h"
#include "platform/ui/Errors.h"

#include <QTemporaryDir>

#include <fstream>
#include <optional>

#include <sys/resource.h>
#include <unistd.h>

namespace kaptiv {
namespace {

using namespace testing;

// Colours running across and down, a clear 8 x 8 corner and, when `graded`, alpha growing downwards.
QImage cursorPicture(int size, bool graded)
{
    QImage image(size, size, QImage::Format_ARGB32);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            image.setPixel(x, y, qRgba(x * 255 / (size - 1), y * 255 / (size - 1), x * y % 256,
                                       x < 8 && y < 8 ? 0 : graded ? 40 + y * 215 / (size - 1) : 255));
    return image;
}

// Our reading against ImageMagick's: alpha everywhere, colour where something shows.
int differingPixels(const QImage &ours, const QImage &magick)
{
    if (ours.size() != magick.size())
        return -1;
    int differing = 0;
    for (int y = 0; y < ours.height(); ++y)
        for (int x = 0; x < ours.width(); ++x) {
            const QRgb a = ours.pixel(x, y), b = magick.pixel(x, y);
            differing += qAlpha(a) != qAlpha(b) || (qAlpha(b) && (a & 0xFFFFFF) != (b & 0xFFFFFF));
        }
    return differing;
}

TEST(CursorReader, ReadsCursorsOfOtherProgramsAndRefusesBrokenOnes)
{
    QTemporaryDir dir;
    const QString opaque = dir.filePath("opaque.png"), graded = dir.filePath("graded.png");
    writeBytes(opaque, encodePng(Bitmap(cursorPicture(32, false), 32)));
    writeBytes(graded, encodePng(Bitmap(cursorPicture(32, true), 32)));
    // ImageMagick writes cursors with the icon type; marked as cursors, these have their hot spot at (5, 9).
    auto magick = [&](const QString &source, const QStringList &options, const QString &name, bool cursor = true) {
        const QString path = dir.filePath(name + ".ico");
        runTool("convert", QStringList{source} + options + QStringList{"ICO:" + path});
        QFile file(path);
        QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        if (cursor && bytes.size() > 6) {
            bytes.replace(2, 2, le(2, 2));
            for (int i = 0; i < bytes.at(4); ++i)
                bytes.replace(10 + 16 * i, 4, le(5, 2) + le(9, 2));
        }
        return bytes;
    };
    const QByteArray oneBit = magick(opaque, {"-colors", "2", "-type", "palette"}, "1-bit");
    const QByteArray alpha = magick(graded, {}, "32-bit");
    QImage pixels(2, 3, QImage::Format_ARGB32);
    pixels.fill(Qt::red);
    const QByteArray handMade = cursorFile(pixels, 24, {{1, 0}});
    const QString invalid = "Invalid cursor format.";

    struct Case {
        const char *name;
        std::optional<QByteArray> bytes; // none: no such file
        QSize size;                      // when it reads
        QPoint hotSpot;
        const char *sameAs;              // ImageMagick's reading of this file shows the same pixels
        QString refusal;                 // when it does not read
    } cases[] = {
        {"1-bit", oneBit, {32, 32}, {5, 9}, "1-bit", {}},
        {"4-bit", magick(opaque, {"-colors", "16", "-type", "palette"}, "4-bit"), {32, 32}, {5, 9}, "4-bit", {}},
        {"8-bit", magick(opaque, {"-colors", "200", "-type", "palette"}, "8-bit"), {32, 32}, {5, 9}, "8-bit", {}},
        {"32-bit with alpha", alpha, {32, 32}, {5, 9}, "32-bit", {}},
        {"PNG-compressed", magick(graded, {"-resize", "256x256"}, "png"), {256, 256}, {5, 9}, "png", {}},
        {"nearest 32 x 32 of three", magick(graded, {"-define", "icon:auto-resize=48,32,16"}, "three"), {32, 32}, {5, 9}, "32-bit", {}},
        {"icon file: hot spot in the middle", magick(opaque, {"-colors", "16"}, "icon", false), {32, 32}, {16, 16}, "icon", {}},
        {"24-bit", handMade, {2, 3}, {1, 2}, nullptr, {}},
        {"animated: first frame", animatedCursor({handMade, oneBit}), {2, 3}, {1, 2}, nullptr, {}},
        {"animated: sequence from frame 2, odd chunk padded", animatedCursor({handMade, alpha}, {1, 0}, riffChunk("LIST", "INFOINAM" + le(3) + "abc")),
         {32, 32}, {5, 9}, "32-bit", {}},
        {"missing", std::nullopt, {}, {}, nullptr, "File not found!"},
        {"empty", QByteArray(), {}, {}, nullptr, invalid},
        {"a bitmap file", "BM" + QByteArray(60, '\0'), {}, {}, nullptr, invalid},
        {"truncated image", oneBit.left(oneBit.size() - 70), {}, {}, nullptr, invalid},
        {"image past the end", QByteArray(oneBit).replace(18, 4, le(oneBit.size())), {}, {}, nullptr, invalid},
        {"no images", QByteArray(oneBit).replace(4, 2, le(0, 2)), {}, {}, nullptr, invalid},
        {"neither icon nor cursor", QByteArray(oneBit).replace(2, 2, le(3, 2)), {}, {}, nullptr, invalid},
        {"claims more width than it holds", QByteArray(handMade).replace(26, 4, le(300)), {}, {}, nullptr, invalid},
        {"RIFF, no cursor", animatedCursor({oneBit}).replace(8, 4, "AVI "), {}, {}, nullptr, invalid},
        {"animated: chunk past the end", animatedCursor({oneBit, handMade}).chopped(10), {}, {}, nullptr, invalid},
        {"animated: no header", animatedCursor({oneBit}).replace(12, 4, "anix"), {}, {}, nullptr, invalid},
        {"animated: sequence names a missing frame", animatedCursor({oneBit}, {1, 0}), {}, {}, nullptr, invalid},
        {"animated: frame is no cursor", animatedCursor({QByteArray(40, 'x')}), {}, {}, nullptr, invalid},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromLatin1(c.name).replace(':', '_') + ".cur");
        if (c.bytes)
            writeBytes(path, *c.bytes);
        try {
            const CursorImage cursor = loadCursor(path);
            ASSERT_TRUE(c.refusal.isEmpty()) << "read, though it should not";
            EXPECT_EQ(cursor.image.size(), c.size);
            EXPECT_EQ(cursor.hotSpot, c.hotSpot);
            if (c.sameAs) {
                const QImage magickView = magickPixels(dir.filePath(QLatin1String(c.sameAs) + ".ico"), c.size.width(), c.size.height());
                EXPECT_EQ(differingPixels(cursor.image, magickView), 0);
            }
        } catch (const EOpenFile &error) {
            EXPECT_EQ(error.message(), c.refusal);
        }
    }
}

// A file as large as a cursor file may be, of millions of empty frames: read within 64 MiB more
// address space than the process has when it starts reading.
TEST(CursorReader, ManyTinyChunksCostNoMemory)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves far more address space than any limit";
#endif
    const QByteArray frames = "fram" + QByteArray(32 << 20, '\0').replace(QByteArray(8, '\0'), "icon" + le(0));
    const QByteArray body = "ACON" + riffChunk("anih", QByteArray(36, '\0')) + riffChunk("LIST", frames);
    const QByteArray file = "RIFF" + le(body.size()) + body;
    ASSERT_GT(file.size(), 32 << 20);
    auto readWithLittleMemory = [&] {
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t limit = rlim_t(pages) * rlim_t(::sysconf(_SC_PAGESIZE)) + (rlim_t(64) << 20);
        const rlimit address{limit, limit};
        ::setrlimit(RLIMIT_AS, &address);
        try {
            decodeAnimatedCursor(file);
        } catch (const EOpenFile &error) {
            ::_exit(error.message() == "Invalid cursor format." ? 0 : 1);
        }
        ::_exit(2);
    };
    EXPECT_EXIT(readWithLittleMemory(), ::testing::ExitedWithCode(0), "");
}

} // namespace
} // namespace kaptiv
