// The codecs' own promises: the icon file byte for byte, run lengths, and damaged or oversized
// files refused with the format's message.
#include "formats/BmpCodec.h"
#include "formats/CursorCodec.h"
#include "formats/IconCodec.h"
#include "formats/JpegCodec.h"
#include "formats/PngCodec.h"
#include "HostileFiles.h"
#include "platform/ui/Errors.h"
#include "platform/pixels/PixelFormats.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QtEndian>
#include <gtest/gtest.h>

#include <functional>
#include <set>

namespace kaptiv {
namespace {

quint32 u32(const QByteArray &b, int at) { return qFromLittleEndian<quint32>(b.constData() + at); }

TEST(IconCodec, TheStandardIconIsLaidOutByteForByteAndReadsBackOnWhite)
{
    // Navy everywhere but a yellow column at x = 1 and a red pixel at (30, 0), top right.
    QImage image(32, 32, QImage::Format_RGB32);
    image.fill(qRgb(0, 0, 128));
    for (int y = 0; y < 32; ++y)
        image.setPixel(1, y, qRgb(255, 255, 0));
    image.setPixel(30, 0, qRgb(255, 0, 0));
    const Bitmap picture = convertToColors(image, 24, CaptureColors::Colors16);
    const QByteArray file = encodeIcon(picture); // clear colour: the bottom-left pixel's, navy
    ASSERT_EQ(file.size(), 766);
    EXPECT_EQ(file.left(22), QByteArray::fromHex("000001000100" "2020" "0400" "0000" "0000" "e8020000" "16000000"));
    EXPECT_EQ(file.mid(22, 20), QByteArray::fromHex("28000000" "20000000" "40000000" "0100" "0400" "00000000"));
    for (int i = 0; i < 16; ++i) {
        const QRgb c = vgaColors()[i];
        EXPECT_EQ(u32(file, 62 + 4 * i), quint32(qBlue(c) | qGreen(c) << 8 | qRed(c) << 16)) << "entry " << i;
    }
    // Colour rows bottom-up, 16 bytes each: yellow (11) in the low nibble of byte 0, navy under the
    // mask written black; the top row (the last) has red (9) at x = 30, the high nibble of byte 15.
    EXPECT_EQ(file.mid(126, 16), QByteArray::fromHex("0b000000000000000000000000000000"));
    EXPECT_EQ(file.mid(126 + 31 * 16, 16), QByteArray::fromHex("0b000000000000000000000000000090"));
    // Mask rows bottom-up, 4 bytes each: set but for x = 1 and, in the top row, x = 30.
    EXPECT_EQ(file.mid(638, 4), QByteArray::fromHex("bfffffff"));
    EXPECT_EQ(file.mid(638 + 31 * 4, 4), QByteArray::fromHex("bffffffd"));

    const QImage back = decodeIcon(file).toRgb32();
    EXPECT_EQ(back.pixel(0, 0), qRgb(255, 255, 255)); // the clear navy shows the white behind
    EXPECT_EQ(back.pixel(1, 5), qRgb(255, 255, 0));
    EXPECT_EQ(back.pixel(30, 0), qRgb(255, 0, 0));
    // Another clear colour: yellow is cleared and navy stays.
    const QImage yellowClear = decodeIcon(encodeIcon(picture, qRgb(255, 255, 0))).toRgb32();
    EXPECT_EQ(yellowClear.pixel(1, 5), qRgb(255, 255, 255));
    EXPECT_EQ(yellowClear.pixel(0, 0), qRgb(0, 0, 128));

    for (const Bitmap &wrong : {Bitmap::create(33, 32, 4, vgaColors()), Bitmap::create(32, 32, 8, halftoneColors())})
        EXPECT_THROW(encodeIcon(wrong), EIcon);
}

TEST(IconCodec, OfEntriesAlikeInSizeAndColoursTheFirstIsShown)
{
    // Two 32 x 32 16-colour images, one navy and one red, listed in that order in one file.
    QByteArray images[2], file = QByteArray::fromHex("000001000200");
    qint64 offset = 6 + 2 * 16;
    for (int i = 0; i < 2; ++i) {
        QImage image(32, 32, QImage::Format_RGB32);
        image.fill(i == 0 ? qRgb(0, 0, 128) : qRgb(255, 0, 0));
        images[i] = encodeIcon(convertToColors(image, 24, CaptureColors::Colors16), qRgb(255, 255, 255));
        QByteArray entry = images[i].mid(6, 16);
        qToLittleEndian<quint32>(quint32(offset), entry.data() + 12);
        file += entry;
        offset += images[i].size() - 22;
    }
    file += images[0].mid(22) + images[1].mid(22);
    EXPECT_EQ(decodeIcon(file).toRgb32().pixel(0, 0), qRgb(0, 0, 128));
}

TEST(BmpCodec, RunLengthsDrawRunsPixelsMovesAndLineEnds)
{
    auto file = [](int depth, int compression, const QByteArray &codes) {
        QByteArray b = QByteArray::fromHex("424d") + QByteArray(12, '\0');
        const int table = 1 << depth;
        qToLittleEndian<quint32>(14 + 40 + 4 * table, b.data() + 10);
        QByteArray header(40, '\0');
        qToLittleEndian<quint32>(40, header.data());
        qToLittleEndian<qint32>(6, header.data() + 4);  // width
        qToLittleEndian<qint32>(3, header.data() + 8);  // height, bottom-up
        qToLittleEndian<quint16>(1, header.data() + 12);
        qToLittleEndian<quint16>(quint16(depth), header.data() + 14);
        qToLittleEndian<quint32>(quint32(compression), header.data() + 16);
        b += header;
        for (int i = 0; i < table; ++i)
            b += QByteArray::fromHex("00000000").replace(0, 1, QByteArray(1, char(i)));
        return b + codes;
    };
    auto indices = [](const Bitmap &b) {
        QString rows;
        for (int y = 0; y < b.height(); ++y) {
            for (int x = 0; x < b.width(); ++x)
                rows += QString::number(b.image().constScanLine(y)[x], 16);
            rows += QLatin1Char('/');
        }
        return rows;
    };
    // Bottom row: a run of 3 x 5, then 3 pixels given one by one (7 8 9, padded), end of line.
    // Middle row: move 2 right and 1 up (to the top row), run of 2 x 10, then more than fits.
    const QByteArray rle8 = QByteArray::fromHex("0305" "0003070809" "00" "0000" "00020201" "020a" "0a01" "0001");
    EXPECT_EQ(indices(decodeBmp(file(8, 1, rle8))), QStringLiteral("00aa11/000000/555789/"));
    // 4 bits: a run of 5 alternating 1 and 2, then 3 pixels 3 4 5 (two bytes, padded), end; the
    // next row's codes end the picture.
    const QByteArray rle4 = QByteArray::fromHex("0512" "00033450" "0000" "0000" "0001");
    EXPECT_EQ(indices(decodeBmp(file(4, 2, rle4))), QStringLiteral("000000/000000/121213/"));
    // Codes cut in the middle are damage; a missing end is not.
    EXPECT_THROW(decodeBmp(file(8, 1, QByteArray::fromHex("000507"))), EOpenFile);
    EXPECT_THROW(decodeBmp(file(8, 1, QByteArray::fromHex("000201"))), EOpenFile);
    EXPECT_EQ(indices(decodeBmp(file(8, 1, QByteArray::fromHex("0201")))), QStringLiteral("000000/000000/110000/"));
    // Run lengths at a depth they do not belong to.
    EXPECT_THROW(decodeBmp(file(4, 1, rle8)), EOpenFile);
}

// Whatever the bytes, each reader gives a picture or its own message; it never reads outside them.
TEST(ImageCodecs, CutFilesAndOversizedPicturesAreRefusedWithTheFormatsMessage)
{
    QImage image(21, 13, QImage::Format_RGB32);
    for (int y = 0; y < 13; ++y)
        for (int x = 0; x < 21; ++x)
            image.setPixel(x, y, qRgb(x * 12, y * 19, (x ^ y) * 9));
    const Bitmap picture(image, 24);
    const Bitmap icon = convertToColors(image.scaled(32, 32), 24, CaptureColors::Colors16);
    struct Case {
        const char *message;
        QByteArray good;
        std::function<Bitmap(const QByteArray &, std::uint64_t)> decode;
    };
    const Case cases[] = {
        {"JPEG image is not valid", encodeJpeg(picture, {80, false, true}), decodeJpeg},
        {"PNG image is not valid.", encodePng(picture), decodePng},
        {"Icon image is not valid.", encodeIcon(icon), decodeIcon},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(c.decode(c.good, MaxPicturePixels).width(), c.good.startsWith('\0') ? 32 : 21);
        for (int cut = 0; cut < c.good.size(); cut += 7) {
            const QByteArray part(c.good.constData(), cut); // detached: a read past the end is caught
            try {
                c.decode(part, MaxPicturePixels);
            } catch (const EOpenFile &e) {
                EXPECT_TRUE(e.message().startsWith(QLatin1String(c.message))) << e.message().toStdString();
            }
        }
        // One pixel fewer than the picture has is too many.
        try {
            c.decode(c.good, c.good.startsWith('\0') ? 32 * 32 - 1 : 21 * 13 - 1);
            ADD_FAILURE() << "a picture above the limit was read";
        } catch (const EOpenFile &e) {
            EXPECT_TRUE(e.message().startsWith(QLatin1String(c.message))) << e.message().toStdString();
        }
    }
    // A JPEG cut after its first scan still shows what it holds.
    const QByteArray jpeg = encodeJpeg(picture);
    EXPECT_EQ(decodeJpeg(jpeg.left(jpeg.size() - 40)).height(), 13);
    EXPECT_THROW(encodeJpeg(picture, {0, false, false}), std::invalid_argument);
}

// Files made to hurt the readers (a huge picture declared in few bytes, or few bytes that make the
// reader work far beyond their size) are read as far as they are sound, or refused with the
// format's message, in well under a second each.
TEST(ImageCodecs, HostileFilesReadAsFarAsTheyAreSoundOrAreRefused)
{
    using namespace testing::hostile;
    const auto bytes = [](const std::string &s) { return QByteArray(s.data(), qsizetype(s.size())); };
    const auto indexRows = [](const Bitmap &b) { // top row first
        QString rows;
        for (int y = 0; y < b.height(); ++y) {
            for (int x = 0; x < b.width(); ++x)
                rows += QStringLiteral("%1 ").arg(int(b.image().constScanLine(y)[x]), 2, 16, QLatin1Char('0'));
            rows += QLatin1Char('/');
        }
        return rows;
    };
    const auto colours = [](const Bitmap &b) { // the colours the picture shows
        const QImage rgb = b.toRgb32();
        std::set<QRgb> seen;
        for (int y = 0; y < rgb.height(); ++y)
            for (int x = 0; x < rgb.width(); ++x)
                seen.insert(rgb.pixel(x, y) & 0xFFFFFF);
        QString said;
        for (const QRgb c : seen)
            said += QStringLiteral("#%1 ").arg(c, 6, 16, QLatin1Char('0'));
        return said + QStringLiteral("%1 x %2").arg(b.width()).arg(b.height());
    };
    struct Case {
        const char *what;
        QByteArray file;
        Bitmap (*decode)(const QByteArray &, std::uint64_t);
        std::function<QString(const Bitmap &)> shown;
        QString expected; // what the picture shows, or the message refusing it
    };
    const Case cases[] = {
        {"RLE8 runs of more than 2^31 pixels on one row", bytes(runsPastTheColumnCounter(8)), decodeBmp, indexRows,
         QStringLiteral("55 55 55 00 /01 01 01 01 /")},
        {"RLE4 runs of more than 2^31 pixels on one row", bytes(runsPastTheColumnCounter(4)), decodeBmp, indexRows,
         QStringLiteral("05 05 05 00 /01 02 01 02 /")},
        {"icon: a PNG of 300 x 300 listed as 32 x 32, before a 32 x 32 image",
         bytes(iconFile({blackPng(300, 300), blueIconImage()})), decodeIcon, colours, QStringLiteral("#0000ff 32 x 32")},
        {"icon: only a PNG of 300 x 300", bytes(iconFile({blackPng(300, 300)})), decodeIcon, colours,
         QStringLiteral("Icon image is not valid.")},
        {"icon: a PNG of 256 x 256 is an icon's image", bytes(iconFile({blackPng(256, 256)})), decodeIcon, colours,
         QStringLiteral("#000000 32 x 32")},
        {"JPEG: 990 scans over the whole picture", bytes(greyJpeg(1024, 1024, 990)), decodeJpeg, colours,
         QStringLiteral("JPEG image is not valid (its scans would decode the picture more than 64 times over).")},
        {"JPEG: 64 scans over the whole picture", bytes(greyJpeg(1024, 1024, 64)), decodeJpeg, colours,
         QStringLiteral("#808080 1024 x 1024")},
        {"JPEG: no scan data", bytes(greyJpeg(4096, 4096, 0, 0)), decodeJpeg, colours,
         QStringLiteral("JPEG image is not valid (the file ends before its picture data).")},
        {"JPEG: 1024 bytes of scan data for 4096 x 4096", bytes(greyJpeg(4096, 4096, 0, 1024)), decodeJpeg, colours,
         QStringLiteral("JPEG image is not valid (4096 x 4096 pixels cannot come from 1024 bytes of picture data).")},
        {"JPEG: cut after 256 bytes of scan data for 1024 x 1024", bytes(greyJpeg(1024, 1024, 0, 256)), decodeJpeg,
         colours, QStringLiteral("#808080 1024 x 1024")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QElapsedTimer timer;
        timer.start();
        QString result;
        try {
            result = c.shown(c.decode(c.file, MaxPicturePixels));
        } catch (const EOpenFile &e) {
            result = e.message();
        }
        EXPECT_EQ(result, c.expected);
        EXPECT_LT(timer.elapsed(), 5000);
    }
}

// Every seed of the JPEG, icon and cursor fuzzers and every input that ever broke those readers,
// replayed.
TEST(ImageCodecs, FuzzSeedsAndCrashersReadOrAreRefused)
{
    const std::pair<const char *, std::function<void(const QByteArray &)>> readers[] = {
        {"jpeg_reader", [](const QByteArray &b) { decodeJpeg(b); }},
        {"ico_reader", [](const QByteArray &b) { decodeIcon(b); }},
        {"cur_reader", [](const QByteArray &b) { decodeCursor(b); }},
        {"ani_reader", [](const QByteArray &b) { decodeAnimatedCursor(b); }},
    };
    for (const auto &[name, decode] : readers) {
        int files = 0;
        for (const char *folder : {"/corpus/", "/crashers/"}) {
            const QDir dir(QStringLiteral(KAPTIV_FUZZ_DIR) + QLatin1String(folder) + QLatin1String(name));
            for (const QFileInfo &entry : dir.entryInfoList(QDir::Files)) {
                QFile file(entry.filePath());
                ASSERT_TRUE(file.open(QIODevice::ReadOnly));
                const QByteArray bytes = file.readAll();
                try {
                    decode(QByteArray(bytes.constData(), bytes.size()));
                } catch (const EOpenFile &) {
                }
                ++files;
            }
        }
        EXPECT_GT(files, 3) << name;
    }
}

} // namespace
} // namespace kaptiv
