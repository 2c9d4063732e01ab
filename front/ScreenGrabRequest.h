#pragma once
// The one command line the front takes itself: `grab screen` to a bitmap file, with at most a
// delay and the display's own colours (`--colors full`). Anything else, including anything the
// full program would refuse, is left to the full program.

#include <optional>

namespace kaptiv::front {

struct ScreenGrabRequest {
    const char *output = nullptr; // the file's name, its bytes as given
    int delayMilliseconds = 0;
};

std::optional<ScreenGrabRequest> screenGrabRequest(int argc, char **argv);

} // namespace kaptiv::front
