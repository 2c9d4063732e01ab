#include "formats/BmpCodec.h"
#include "formats/core/BmpEncoder.h"
#include "platform/ui/Errors.h"
#include "platform/pixels/PixelFormats.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

#include <array>
#include <random>

namespace kaptiv {
namespace {

QImage testPicture(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb((x * 37) & 255, (y * 53) & 255, ((x + y) * 11) & 255));
    return image;
}

quint32 u32(const QByteArray &b, int at) { return qFromLittleEndian<quint32>(b.constData() + at); }
quint16 u16(const QByteArray &b, int at) { return qFromLittleEndian<quint16>(b.constData() + at); }

struct DepthCase {
    int depth;
    Bitmap bitmap;
    int tableEntries;
    quint32 compression;
    std::array<quint32, 3> masks{}; // red, green, blue of a 16-bit file
};

std::vector<DepthCase> depthCases(int w, int h)
{
    const QImage source = testPicture(w, h);
    QImage rgb16 = source.convertToFormat(QImage::Format_RGB16);
    return {
        {1, convertToColors(source, 24, CaptureColors::Monochrome), 2, 0},
        {4, convertToColors(source, 24, CaptureColors::Colors16), 16, 0},
        {8, convertToColors(source, 24, CaptureColors::Colors256), 256, 0},
        {16, Bitmap(rgb16, 16), 0, 3, {0xF800, 0x07E0, 0x001F}},
        {16, Bitmap(source.convertToFormat(QImage::Format_RGB555), 16), 0, 3, {0x7C00, 0x03E0, 0x001F}},
        {24, Bitmap(source, 24), 0, 0},
        {32, Bitmap(source, 32), 0, 0},
    };
}

TEST(BmpCodec, HeadersSayDepthTableMasksAndPaddedSize)
{
    for (int width : {1, 3, 5, 17}) {
        for (const DepthCase &c : depthCases(width, 3)) {
            const QByteArray bytes = encodeBmp(c.bitmap);
            const int stride = ((width * c.depth + 31) / 32) * 4;
            const int masks = c.depth == 16 ? 12 : 0;
            const quint32 offset = 54 + masks + c.tableEntries * 4;
            SCOPED_TRACE(testing::Message() << "width " << width << " depth " << c.depth);
            EXPECT_EQ(bytes.left(2), QByteArray("BM"));
            EXPECT_EQ(u32(bytes, 2), quint32(bytes.size()));
            EXPECT_EQ(u32(bytes, 10), offset);
            EXPECT_EQ(u32(bytes, 14), 40u);
            EXPECT_EQ(qint32(u32(bytes, 18)), width);
            EXPECT_EQ(qint32(u32(bytes, 22)), 3); // positive: rows bottom-up
            EXPECT_EQ(u16(bytes, 28), c.depth);
            EXPECT_EQ(u32(bytes, 30), c.compression);
            EXPECT_EQ(u32(bytes, 34), quint32(stride * 3));
            EXPECT_EQ(u32(bytes, 46), quint32(c.tableEntries));
            EXPECT_EQ(quint32(bytes.size()), offset + stride * 3);
            if (c.depth == 16) {
                EXPECT_EQ((std::array{u32(bytes, 54), u32(bytes, 58), u32(bytes, 62)}), c.masks);
            }
            for (int i = 0; i < c.tableEntries; ++i)
                EXPECT_EQ(bytes[54 + 4 * i + 3], 0) << "reserved byte of table entry " << i;
        }
    }
}

TEST(BmpCodec, FirstStoredRowIsTheBottomRow)
{
    QImage image(2, 2, QImage::Format_RGB32);
    image.setPixel(0, 0, qRgb(1, 2, 3));
    image.setPixel(1, 0, qRgb(4, 5, 6));
    image.setPixel(0, 1, qRgb(7, 8, 9));
    image.setPixel(1, 1, qRgb(10, 11, 12));
    const QByteArray bytes = encodeBmp(Bitmap(image, 24));
    // Row 1 (bottom) first, blue-green-red, padded from 6 to 8 bytes.
    EXPECT_EQ(bytes.mid(54, 16), QByteArray::fromHex("0908070c0b0a0000" "0302010605040000"));
}

// Read back, every picture keeps its depth, its pixel layout and its pixels, so that saving it
// again writes the same file.
TEST(BmpCodec, EveryDepthReadsBackToTheSamePixels)
{
    for (int width : {1, 7, 33}) {
        for (const DepthCase &c : depthCases(width, 5)) {
            const QByteArray file = encodeBmp(c.bitmap);
            const Bitmap back = decodeBmp(file);
            SCOPED_TRACE(testing::Message() << "width " << width << " depth " << c.depth << " red mask " << c.masks[0]);
            ASSERT_EQ(back.depth(), c.depth);
            ASSERT_EQ(back.width(), width);
            ASSERT_EQ(back.height(), 5);
            EXPECT_EQ(back.image().format(), c.bitmap.image().format());
            EXPECT_EQ(back.toRgb32(), c.bitmap.toRgb32());
            EXPECT_EQ(encodeBmp(back), file);
        }
    }
}

// A 16-bit file without masks holds 5-5-5 pixels.
TEST(BmpCodec, SixteenBitsWithoutMasksAreFiveFiveFive)
{
    QImage words(64, 512, QImage::Format_RGB555); // every 5-5-5 colour once
    for (int y = 0; y < words.height(); ++y)
        for (int x = 0; x < words.width(); ++x)
            reinterpret_cast<quint16 *>(words.scanLine(y))[x] = quint16(y * 64 + x);
    QByteArray file = encodeBmp(Bitmap(words, 16));
    ASSERT_EQ(u32(file, 54), 0x7C00u);
    file.remove(54, 12); // the masks
    qToLittleEndian<quint32>(0, file.data() + 30); // no compression, no masks
    qToLittleEndian<quint32>(u32(file, 10) - 12, file.data() + 10);
    qToLittleEndian<quint32>(quint32(file.size()), file.data() + 2);
    const Bitmap back = decodeBmp(file);
    ASSERT_EQ(back.image().format(), QImage::Format_RGB555);
    EXPECT_EQ(back.image(), words);
}

// A grab at the display's own colours, for every layout the server may send and every display
// depth: the bitmap the program keeps, and the file it saves, which the command-line front writes
// from the server's words without Qt.
TEST(BmpCodec, EveryDisplayLayoutAndDepthIsKeptAndSavedAlikeByProgramAndFront)
{
    const int displayDepths[] = {15, 16, 24, 30, 32};
    const struct {
        PixelLayout layout;
        PixelLayout words;
        int depths[5]; // the bitmap's, on each display depth above
    } cases[] = {
        {PixelLayout::Bgrx32, PixelLayout::Bgrx32, {24, 24, 24, 24, 32}},
        {PixelLayout::Rgb565, PixelLayout::Rgb565, {16, 16, 16, 16, 16}},
        {PixelLayout::Rgb555, PixelLayout::Rgb555, {16, 16, 16, 16, 16}},
        {PixelLayout::Other, PixelLayout::Bgrx32, {24, 24, 24, 24, 32}}, // through the masks
    };
    for (const auto &c : cases) {
        for (int i = 0; i < 5; ++i) {
            const int displayDepth = displayDepths[i];
            SCOPED_TRACE(testing::Message() << "layout " << int(c.layout) << " on a " << displayDepth << "-bit display");
            const KeptPixels kept = keptPixelsOf(c.layout, displayDepth);
            ASSERT_EQ(kept.words, c.words);
            ASSERT_EQ(kept.depth, c.depths[i]);
            QImage pixels = testPicture(5, 3).convertToFormat(imageFormatOf(kept.words));
            const Bitmap bitmap = convertToColors(pixels, displayDepth, CaptureColors::Highest);
            EXPECT_EQ(bitmap.depth(), c.depths[i]);
            EXPECT_EQ(bitmap.image().format(), pixels.format());
            const QByteArray saved = encodeBmp(bitmap);
            QByteArray front(saved.size(), '\0');
            bmp::encode({pixels.constBits(), pixels.bytesPerLine(), 5, 3, bmp::sourcePixelsOf(kept.words)},
                        {kept.depth}, {reinterpret_cast<std::uint8_t *>(front.data()), std::size_t(front.size())});
            EXPECT_EQ(front, saved);
        }
    }
    EXPECT_EQ(capturedDepthOfDisplay(15), 16);
    EXPECT_EQ(capturedDepthOfDisplay(16), 16);
    EXPECT_EQ(capturedDepthOfDisplay(24), 24);
    EXPECT_EQ(capturedDepthOfDisplay(30), 24);
    EXPECT_EQ(capturedDepthOfDisplay(32), 32);
}

TEST(BmpCodec, DamagedFilesAreRefusedWithAMessage)
{
    const QByteArray good = encodeBmp(convertToColors(testPicture(9, 4), 24, CaptureColors::Colors16));
    QByteArray wrongDepth = good;
    wrongDepth[28] = 3;
    QByteArray hugeWidth = good;
    qToLittleEndian<qint32>(1 << 30, hugeWidth.data() + 18);
    for (const QByteArray &bad : {QByteArray(), QByteArray("BM"), good.left(60), good.left(good.size() - 1),
                                  QByteArray("XX") + good.mid(2), wrongDepth, hugeWidth}) {
        try {
            decodeBmp(bad);
            ADD_FAILURE() << "accepted " << bad.size() << " bytes";
        } catch (const EOpenFile &e) {
            EXPECT_EQ(e.message(), QStringLiteral("Bitmap image is not valid."));
        }
    }
}

TEST(BmpCodec, AFileThatCannotBeCreatedRaisesAndLeavesNothing)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("missing/a.bmp"));
    EXPECT_THROW(saveBmp(Bitmap(testPicture(4, 4), 24), path), EOpenFile);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

TEST(BmpCodec, SavesWhatItEncodes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.bmp"));
    const Bitmap bitmap(testPicture(6, 2), 24);
    saveBmp(bitmap, path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), encodeBmp(bitmap));
    EXPECT_EQ(loadBmp(path).toRgb32(), bitmap.toRgb32());
}

} // namespace
} // namespace kaptiv

namespace kaptiv {
namespace {

// Whatever the bytes, the reader either gives a bitmap or the message; it never reads outside them.
TEST(BmpCodec, CutOrScrambledFilesNeverCrash)
{
    for (const DepthCase &c : depthCases(7, 3)) {
        const QByteArray good = encodeBmp(c.bitmap);
        for (int cut = 0; cut < good.size(); ++cut) {
            // A detached copy of exactly `cut` bytes, so a read past its end is caught.
            const QByteArray part(good.constData(), cut);
            EXPECT_THROW(decodeBmp(part), EOpenFile) << "depth " << c.depth << " cut at " << cut;
        }
        std::mt19937 random(unsigned(c.depth));
        for (int round = 0; round < 2000; ++round) {
            QByteArray scrambled = good;
            for (int flips = 0; flips < 4; ++flips)
                scrambled[int(random() % 64)] = char(random());
            try {
                const Bitmap b = decodeBmp(scrambled);
                EXPECT_LE(qint64(b.width()) * b.height(), qint64(scrambled.size()) * 8);
            } catch (const EOpenFile &) {
            }
        }
    }
}

// Every seed of the bitmap fuzzer and every input that ever broke the reader, replayed.
TEST(BmpCodec, FuzzSeedsAndCrashersReadOrAreRefused)
{
    int files = 0;
    for (const char *folder : {"/corpus/bmp_reader", "/crashers/bmp_reader"}) {
        QDir dir(QStringLiteral(KAPTIV_FUZZ_DIR) + QLatin1String(folder));
        for (const QFileInfo &entry : dir.entryInfoList(QDir::Files)) {
            QFile file(entry.filePath());
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            try {
                decodeBmp(QByteArray(bytes.constData(), bytes.size()));
            } catch (const EOpenFile &) {
            }
            ++files;
        }
    }
    EXPECT_GT(files, 5);
}

} // namespace
} // namespace kaptiv
