#pragma once
// A raster with the depth it was declared at (1, 4, 8, 16, 24 or 32 bits per pixel) and, below
// 16 bits, its colour table. QImage holds the pixels but has no 4-bit format and does not remember
// a 16- or 24-bit depth, so the declared depth lives beside it:
//   1, 4, 8 bits -> QImage::Format_Indexed8 with a colour table of 2, 16 or 256 entries
//   16 bits      -> QImage::Format_RGB16 (5-6-5) or QImage::Format_RGB555 (5-5-5, as a 15-bit
//                   display gives it)
//   24, 32 bits  -> QImage::Format_RGB32 (or ARGB32 when the pixels carry alpha)

#include <QImage>
#include <QVector>

namespace kaptiv {

class Bitmap {
public:
    Bitmap() = default;
    // Takes an image already in the storage format of `depth`.
    Bitmap(QImage image, int depth);
    // A bitmap of the given size and depth; indexed depths get `colorTable`.
    static Bitmap create(int width, int height, int depth, const QVector<QRgb> &colorTable = {});
    // Deduces the depth from an image of any format (indexed images keep their table size).
    static Bitmap fromImage(const QImage &image);

    bool isNull() const { return image_.isNull(); }
    int width() const { return image_.width(); }
    int height() const { return image_.height(); }
    int depth() const { return depth_; }
    bool isIndexed() const { return depth_ <= 8; }
    QVector<QRgb> colorTable() const { return image_.colorTable(); }

    const QImage &image() const { return image_; }
    QImage &image() { return image_; }

    // The pixels as 32-bit RGB, top row first; used for drawing and for export.
    QImage toRgb32() const;

private:
    QImage image_;
    int depth_ = 0;
};

// A new image, or EOutOfMemory ("Not enough memory for a picture of W x H pixels.") when it cannot
// be had: QImage gives a null image instead of failing, and writing into that one would crash.
QImage allocateImage(int width, int height, QImage::Format format);
// `image` converted to `format`, likewise never a null image in place of a real one.
QImage convertImage(const QImage &image, QImage::Format format);

// 2 to the power of the depth; a 32-bit bitmap counts 16777216, the colours its 24 colour bits
// can hold (2^32 would not fit the 32-bit count). A 0 x 0 bitmap keeps its declared depth and
// counts like any other; only a bitmap with no depth at all counts 0.
int colorCountOfDepth(int depth);

} // namespace kaptiv
