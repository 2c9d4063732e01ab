#pragma once
// Wuffs's GIF decoder as a benchmark peer (bench/third_party/wuffs, never linked into the program).

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum WuffsTarget {
    WuffsIndices = 0,   // one byte per canvas pixel: each frame's colour indices over the last
    WuffsBgra = 1,      // premultiplied BGRA canvas, transparent pixels blended over what is there
};

// Decodes every frame of a GIF file held in memory into one canvas of the given kind; returns the
// pixels decoded (the frames' areas together), or -1 when the file is refused.
int64_t WuffsDecodeAll(const uint8_t *file, size_t size, enum WuffsTarget target);

#ifdef __cplusplus
}
#endif
