#include "platform/pixels/CursorStamp.h"
#include "platform/pixels/PixelFormats.h"

#include <gtest/gtest.h>

namespace kaptiv {
namespace {

CursorImage arrowOf(int w, int h, QRgb colour)
{
    CursorImage cursor;
    cursor.image = QImage(w, h, QImage::Format_ARGB32_Premultiplied);
    cursor.image.fill(Qt::transparent);
    cursor.image.setPixel(0, 0, colour);         // opaque corner
    cursor.image.setPixel(w - 1, h - 1, colour); // opaque far corner
    cursor.hotSpot = {w / 2, h / 2};              // must not shift the stamp
    return cursor;
}

TEST(CursorStamp, TopLeftAtThePointAndClippedAtTheEdges)
{
    const QRgb red = qRgb(255, 0, 0);
    struct Case {
        QPoint at;
        std::vector<QPoint> red; // where the two opaque pixels land inside a 10 x 10 picture
    } cases[] = {
        {{2, 3}, {{2, 3}, {5, 6}}},
        {{8, 8}, {{8, 8}}},    // far corner falls outside
        {{-3, -3}, {{0, 0}}},  // near corner falls outside
        {{20, 20}, {}},        // entirely outside
    };
    for (const Case &c : cases) {
        QImage white(10, 10, QImage::Format_RGB32);
        white.fill(Qt::white);
        Bitmap bitmap(white, 24);
        stampCursor(bitmap, arrowOf(4, 4, red), c.at);
        int reds = 0;
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x)
                if (bitmap.image().pixel(x, y) == red)
                    ++reds;
        EXPECT_EQ(reds, int(c.red.size())) << c.at.x() << "," << c.at.y();
        for (QPoint p : c.red)
            EXPECT_EQ(bitmap.image().pixel(p), red) << p.x() << "," << p.y();
    }
}

TEST(CursorStamp, IndexedPicturesTakeTheCursorThroughTheirOwnColours)
{
    QImage white(6, 6, QImage::Format_RGB32);
    white.fill(Qt::white);
    Bitmap mono = convertToColors(white, 24, CaptureColors::Monochrome);
    stampCursor(mono, arrowOf(3, 3, qRgb(250, 250, 250)), {1, 1});
    EXPECT_EQ(mono.image().pixelIndex(1, 1), 0); // not exactly white: black
    EXPECT_EQ(mono.image().pixelIndex(2, 2), 1); // transparent part: untouched
    Bitmap vga = convertToColors(white, 24, CaptureColors::Colors16);
    stampCursor(vga, arrowOf(3, 3, qRgb(250, 10, 10)), {0, 0});
    EXPECT_EQ(vga.image().pixelIndex(0, 0), 9); // red
    EXPECT_EQ(vga.depth(), 4);
}

} // namespace
} // namespace kaptiv
