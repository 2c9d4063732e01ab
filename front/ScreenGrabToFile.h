#pragma once

#include "front/ScreenGrabRequest.h"

namespace kaptiv::front {

// Grabs the whole screen into the bitmap file, byte for byte what the full program writes, or into
// the PNG file, its pixels what the full program writes, and prints the line it prints. False, with nothing left behind, when it cannot: no display, pixels
// the full program would store at another depth (a 16-bit display with its colours in another
// order), a device or FIFO as the target, a place that cannot take the file, a failed write. The
// full program then does the work and reports what went wrong in its own words.
bool grabScreenToFile(const ScreenGrabRequest &request);

} // namespace kaptiv::front
