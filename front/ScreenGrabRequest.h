#pragma once
// The one command line the front takes itself: `grab screen` to a bitmap or PNG file, with at most a
// delay and the display's own colours (`--colors full`), read by the full program's rules of a
// grab. Anything else, including anything the full program would refuse, is left to it.

#include <optional>
#include <string>

namespace kaptiv::front {

struct ScreenGrabRequest {
    std::string output; // the file's name, its bytes as given
    int delayMilliseconds = 0;
    bool png = false; // else a bitmap
};

std::optional<ScreenGrabRequest> screenGrabRequest(int argc, char **argv);

} // namespace kaptiv::front
