#include "platform/pixels/PixelFormats.h"

#include <QSet>
#include <gtest/gtest.h>

#include <random>

namespace kaptiv {
namespace {

// The plain definition the tables must agree with: the first table colour at the least squared
// distance.
int bruteNearest(const std::vector<std::uint32_t> &table, QRgb c)
{
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < int(table.size()); ++i) {
        const long dr = qRed(table[i]) - qRed(c), dg = qGreen(table[i]) - qGreen(c), db = qBlue(table[i]) - qBlue(c);
        const long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

TEST(PixelFormats, NearestColourMapsAgreeWithAFullSearch)
{
    std::mt19937 random(7);
    std::vector<QRgb> samples;
    for (int i = 0; i < 200000; ++i)
        samples.push_back(qRgb(random() & 255, random() & 255, random() & 255));
    // Every grey and the borders between cells, where ties and near-ties live.
    for (int v = 0; v < 256; ++v) {
        samples.push_back(qRgb(v, v, v));
        samples.push_back(qRgb(v, 0, 255 - v));
        samples.push_back(qRgb(64, v, 192));
        samples.push_back(qRgb(v, 96, 96));
    }
    auto expectExact = [&samples](const auto &map) {
        for (QRgb c : samples)
            ASSERT_EQ(map.indexOf(c), bruteNearest(map.table(), c))
                << "colour " << qRed(c) << "," << qGreen(c) << "," << qBlue(c);
    };
    expectExact(vgaColorMap());
    expectExact(halftoneColorMap());
    expectExact(NearestColorMap(halftoneTable())); // the general map agrees on the same table
}

TEST(PixelFormats, TablesHoldTheirColoursInOrder)
{
    const QVector<QRgb> &vga = vgaColors();
    ASSERT_EQ(vga.size(), 16);
    EXPECT_EQ(vga[1], qRgb(128, 0, 0));
    EXPECT_EQ(vga[7], qRgb(128, 128, 128));
    EXPECT_EQ(vga[8], qRgb(192, 192, 192));
    EXPECT_EQ(vga[15], qRgb(255, 255, 255));

    const QVector<QRgb> &halftone = halftoneColors();
    ASSERT_EQ(halftone.size(), 256);
    EXPECT_EQ(halftone[0], qRgb(0, 0, 0));
    EXPECT_EQ(halftone[36 * 5 + 6 * 2 + 1], qRgb(255, 102, 51));
    EXPECT_EQ(halftone[215], qRgb(255, 255, 255));
    QSet<QRgb> distinct(halftone.begin(), halftone.end());
    EXPECT_EQ(distinct.size(), 256);
}

TEST(PixelFormats, ConversionsGiveTheirDepthTableAndNearestColours)
{
    QImage source(4, 1, QImage::Format_RGB32);
    source.setPixel(0, 0, qRgb(255, 255, 255));
    source.setPixel(1, 0, qRgb(254, 255, 255)); // almost white is not white
    source.setPixel(2, 0, qRgb(200, 10, 10));
    source.setPixel(3, 0, qRgb(0, 0, 0));

    struct Case {
        CaptureColors colors;
        int depth;
        int tableSize;
        std::array<QRgb, 4> expected;
    } cases[] = {
        {CaptureColors::Monochrome, 1, 2, {qRgb(255, 255, 255), qRgb(0, 0, 0), qRgb(0, 0, 0), qRgb(0, 0, 0)}},
        {CaptureColors::Colors16, 4, 16,
         {qRgb(255, 255, 255), qRgb(255, 255, 255), qRgb(255, 0, 0), qRgb(0, 0, 0)}},
        {CaptureColors::Colors256, 8, 256,
         {qRgb(255, 255, 255), qRgb(255, 255, 255), qRgb(204, 0, 0), qRgb(0, 0, 0)}},
    };
    for (const Case &c : cases) {
        const Bitmap bitmap = convertToColors(source, 24, c.colors);
        EXPECT_EQ(bitmap.depth(), c.depth);
        EXPECT_EQ(bitmap.colorTable().size(), c.tableSize);
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(bitmap.image().pixel(x, 0), c.expected[x]) << "depth " << c.depth << " pixel " << x;
    }
    const Bitmap highest = convertToColors(source, 24, CaptureColors::Highest);
    EXPECT_EQ(highest.depth(), 24);
    EXPECT_EQ(highest.image(), source);
}

TEST(PixelFormats, SixteenBitPixelsConvertToo)
{
    QImage source(2, 1, QImage::Format_RGB16);
    source.setPixel(0, 0, qRgb(255, 255, 255));
    source.setPixel(1, 0, qRgb(0, 0, 255));
    const Bitmap mono = convertToColors(source, 16, CaptureColors::Monochrome);
    EXPECT_EQ(mono.image().pixelIndex(0, 0), 1);
    EXPECT_EQ(mono.image().pixelIndex(1, 0), 0);
    const Bitmap vga = convertToColors(source, 16, CaptureColors::Colors16);
    EXPECT_EQ(vga.image().pixelIndex(1, 0), 12); // blue
    EXPECT_EQ(convertToColors(source, 16, CaptureColors::Highest).depth(), 16);
}

TEST(PixelFormats, ColourCountsByDepth)
{
    const std::pair<int, int> cases[] = {{1, 2}, {4, 16}, {8, 256}, {16, 65536}, {24, 16777216}, {32, 16777216}, {0, 0}};
    for (auto [depth, count] : cases)
        EXPECT_EQ(colorCountOfDepth(depth), count) << depth;
}

TEST(PixelFormats, EmptyCaptureKeepsItsDepth)
{
    const Bitmap empty = convertToColors(QImage(), 24, CaptureColors::Colors16);
    EXPECT_EQ(empty.width(), 0);
    EXPECT_EQ(empty.depth(), 4);
}

} // namespace
} // namespace kaptiv
