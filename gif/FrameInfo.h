#pragma once
// The settings of one GIF frame, as the image windows, the GIF player and the writer exchange them.

#include "platform/Bitmap.h"

#include <QString>
#include <cstdint>
#include <memory>

namespace kaptiv {

struct TFrameInfo {
    // Copying a record shares the picture; whoever still holds a reference keeps it alive.
    std::shared_ptr<kaptiv::Bitmap> Bitmap;
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t Delay = 0; // milliseconds
    bool Interlaced = false;
    bool Transparent = false;
    uint32_t TransparentColor = 0; // red in the low byte; 0xFFFFFFFF (-1) when none was chosen
    uint8_t Disposal = 0;          // 0 none, 1 leave, 2 background, 3 previous
    QString Comment;
};

} // namespace kaptiv
