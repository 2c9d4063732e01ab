// Wuffs's single-file release built for its GIF decoder only, and the loop a program using it
// would write: image configuration, then frame configuration and frame until the end of data.
#define WUFFS_IMPLEMENTATION
#define WUFFS_CONFIG__MODULES
#define WUFFS_CONFIG__MODULE__BASE
#define WUFFS_CONFIG__MODULE__GIF
#define WUFFS_CONFIG__MODULE__LZW
#include "wuffs-v0.4.c"

#include "WuffsPeer.h"

#include <stdlib.h>

int64_t WuffsDecodeAll(const uint8_t *file, size_t size, enum WuffsTarget target)
{
    int64_t pixels = -1;
    wuffs_gif__decoder *decoder = malloc(sizeof__wuffs_gif__decoder());
    uint8_t *canvas = NULL, *work = NULL;
    if (!decoder)
        return -1;
    if (wuffs_gif__decoder__initialize(decoder, sizeof__wuffs_gif__decoder(), WUFFS_VERSION,
                                       WUFFS_INITIALIZE__LEAVE_INTERNAL_BUFFERS_UNINITIALIZED).repr)
        goto done;
    wuffs_base__io_buffer source = wuffs_base__ptr_u8__reader((uint8_t *)file, size, true);
    wuffs_base__image_config config;
    if (wuffs_gif__decoder__decode_image_config(decoder, &config, &source).repr)
        goto done;
    const uint32_t width = wuffs_base__pixel_config__width(&config.pixcfg);
    const uint32_t height = wuffs_base__pixel_config__height(&config.pixcfg);
    const int indexed = target == WuffsIndices;
    wuffs_base__pixel_config__set(&config.pixcfg,
                                  indexed ? WUFFS_BASE__PIXEL_FORMAT__INDEXED__BGRA_BINARY
                                          : WUFFS_BASE__PIXEL_FORMAT__BGRA_PREMUL,
                                  WUFFS_BASE__PIXEL_SUBSAMPLING__NONE, width, height);
    const size_t canvasBytes = (size_t)width * height * (indexed ? 1 : 4) + (indexed ? 1024 : 0);
    canvas = calloc(canvasBytes ? canvasBytes : 1, 1);
    const uint64_t workLength = wuffs_gif__decoder__workbuf_len(decoder).max_incl;
    work = malloc(workLength ? workLength : 1);
    if (!canvas || !work)
        goto done;
    wuffs_base__pixel_buffer buffer;
    if (wuffs_base__pixel_buffer__set_from_slice(&buffer, &config.pixcfg,
                                                 wuffs_base__make_slice_u8(canvas, canvasBytes)).repr)
        goto done;
    int64_t decoded = 0;
    for (;;) {
        wuffs_base__frame_config frame;
        wuffs_base__status status = wuffs_gif__decoder__decode_frame_config(decoder, &frame, &source);
        if (status.repr == wuffs_base__note__end_of_data)
            break;
        if (status.repr)
            goto done;
        status = wuffs_gif__decoder__decode_frame(decoder, &buffer, &source,
                                                  indexed ? WUFFS_BASE__PIXEL_BLEND__SRC
                                                          : WUFFS_BASE__PIXEL_BLEND__SRC_OVER,
                                                  wuffs_base__make_slice_u8(work, workLength), NULL);
        if (status.repr)
            goto done;
        const wuffs_base__rect_ie_u32 area = wuffs_base__frame_config__bounds(&frame);
        decoded += (int64_t)wuffs_base__rect_ie_u32__width(&area) * wuffs_base__rect_ie_u32__height(&area);
    }
    pixels = decoded;
done:
    free(work);
    free(canvas);
    free(decoder);
    return pixels;
}
