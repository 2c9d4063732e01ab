#pragma once
// The overlay's host, scripted: mode flags, settings and the custom region's size set by the test.

#include "capture/CaptureHost.h"

namespace kaptiv::testing {

struct FakeCaptureHost : CaptureHost {
    bool RectangleMode = false, CustomRegionMode = false, WholeWindow = false, coords = true;
    CaptureOptions options{QStringLiteral("0")};
    QSize regionSize{32, 32};
    std::optional<Bitmap> CaptureBitmap;

    bool rectangleMode() const override { return RectangleMode; }
    bool customRegionMode() const override { return CustomRegionMode; }
    bool wholeWindow() const override { return WholeWindow; }
    bool showCoordinates() const override { return coords; }
    CaptureOptions captureOptions() const override { return options; }
    QSize customRegionSize() const override { return regionSize; }
    std::optional<Bitmap> &captureBitmap() override { return CaptureBitmap; }
};

} // namespace kaptiv::testing
