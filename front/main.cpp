// The kaptiv executable: a small front that takes the commands it can do without Qt itself (the
// whole screen to a bitmap or PNG file, convert between bitmap, JPEG and PNG files, gif-info), without loading Qt
// and its fifty libraries, and hands every other command line, and any grab it cannot finish, to
// the full program with the arguments as they were.
#include "cli/WithoutQt.h"
#include "front/HandOver.h"
#include "front/ScreenGrabRequest.h"
#include "front/ScreenGrabToFile.h"
#include "platform/files/FileAccess.h"

#include <csignal>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <iostream>
#include <string_view>
#include <vector>

int main(int argc, char **argv)
{
    using namespace kaptiv::front;
    kaptiv::files::OpenStandardDescriptors();
    // Growing a file past the size limit (`ulimit -f`), be it the picture or the memory shared
    // with the X server, is then an error the program reports, not a silent death. The full
    // program it hands over to keeps this.
    std::signal(SIGXFSZ, SIG_IGN);
    // Files to files: no display needed, whatever the session.
    const std::vector<std::string_view> arguments(argv + 1, argv + std::max(argc, 1));
    if (const std::optional<int> status = kaptiv::cli::runWithoutQt(arguments, std::cout, std::cerr)) {
        std::cout.flush();
        return *status;
    }
    // In a Wayland session the X display, if any, shows only the compatibility server's windows:
    // the full program takes the screen through the desktop's portal instead.
    const char *session = std::getenv("XDG_SESSION_TYPE");
    const char *wayland = std::getenv("WAYLAND_DISPLAY");
    if ((session && std::strcmp(session, "wayland") == 0) || (wayland && *wayland))
        return handOver(argv);
    if (const auto request = screenGrabRequest(argc, argv); request && grabScreenToFile(*request))
        return 0;
    return handOver(argv);
}
