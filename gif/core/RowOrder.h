#pragma once

namespace kaptiv::gif {

// The order in which a GIF stores the rows of an image: top to bottom, or for an interlaced image
// rows 0, 8, 16, ... then 4, 12, ... then 2, 6, 10, ... then 1, 3, 5, ...
class RowOrder {
public:
    RowOrder(int height, bool interlaced) : height_(height), interlaced_(interlaced) {}

    // The picture row that holds the n-th stored row (n from 0 to height - 1).
    int RowAt(int n) const
    {
        if (!interlaced_)
            return n;
        const int pass0 = (height_ + 7) / 8;
        if (n < pass0)
            return 8 * n;
        n -= pass0;
        const int pass1 = (height_ + 3) / 8;
        if (n < pass1)
            return 4 + 8 * n;
        n -= pass1;
        const int pass2 = (height_ + 1) / 4;
        if (n < pass2)
            return 2 + 4 * n;
        return 1 + 2 * (n - pass2);
    }

private:
    int height_;
    bool interlaced_;
};

} // namespace kaptiv::gif
