#pragma once
// What the selection overlay reads from the window that runs it, at the moment it needs it: the
// mode flags, the settings, the custom region's size, and where the frozen copy goes.

#include "capture/Capture.h"

#include <QSize>
#include <optional>

namespace kaptiv {

class CaptureHost {
public:
    virtual ~CaptureHost() = default;
    virtual bool rectangleMode() const = 0;
    virtual bool customRegionMode() const = 0;
    virtual bool wholeWindow() const = 0;     // window picking: whole windows, or client areas
    virtual bool showCoordinates() const = 0; // the "Show coordinates on capture." setting
    virtual CaptureOptions captureOptions() const = 0;
    virtual QSize customRegionSize() const = 0; // read afresh each time the region is placed
    virtual std::optional<Bitmap> &captureBitmap() = 0;
    // The overlay takes the keyboard and the pointer while it runs: another program was active
    // when the capture was asked for, and would otherwise keep them.
    virtual bool takesInput() const { return false; }
};

} // namespace kaptiv
