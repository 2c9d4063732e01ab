#include "front/HandOver.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <unistd.h>

namespace kaptiv::front {

int handOver(char **argv)
{
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
    // Where the package installs it, then beside the front as in the build folder.
    const std::filesystem::path places[] = {folder / KAPTIV_APP_FROM_FRONT, folder / "kaptiv-app"};
    int failure = ENOENT;
    for (const std::filesystem::path &place : places) {
        ::execv(place.c_str(), argv);
        if (errno != ENOENT)
            failure = errno;
    }
    std::fprintf(stderr, "kaptiv: cannot start the program %s: %s\n", places[0].lexically_normal().c_str(),
                 std::strerror(failure));
    return 1;
}

} // namespace kaptiv::front
