#pragma once
// An area of an X screen as a recording reads it: on a connection of its own, pixels through
// memory shared with the server, and the DAMAGE extension saying whether anything in the area
// was drawn since the last read, so an area that stands still costs no reads at all.

#include "record/Recorder.h"

#include <memory>
#include <string>

namespace kaptiv::record {

struct AreaSourceOptions {
    std::string display;      // empty: $DISPLAY
    int x = 0, y = 0, width = 0, height = 0; // on the root window, inside the screen
    bool includeCursor = false;               // the pointer drawn in, wherever it stands
};

// Raises std::runtime_error with the reason when the display cannot be opened or the area does
// not lie on its screen.
std::unique_ptr<AreaSource> openX11AreaSource(const AreaSourceOptions &options);

} // namespace kaptiv::record
