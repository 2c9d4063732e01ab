#include "front/ScreenGrabRequest.h"

#include <string_view>

namespace kaptiv::front {

namespace {

// 1 to 9 decimal digits, as the full program takes a delay.
std::optional<int> delayOf(std::string_view text)
{
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

// A name whose extension is ".bmp" in any letter case. Names the full program also writes as
// bitmaps (".bmpx") are left to it.
bool namesBitmap(std::string_view path)
{
    const std::string_view name = path.substr(path.find_last_of('/') + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos || name.size() - dot != 4)
        return false;
    static constexpr std::string_view Bmp = ".bmp";
    for (std::size_t i = 0; i < 4; ++i)
        if ((name[dot + i] | 0x20) != (Bmp[i] | 0x20))
            return false;
    return true;
}

} // namespace

std::optional<ScreenGrabRequest> screenGrabRequest(int argc, char **argv)
{
    if (argc < 3 || std::string_view(argv[1]) != "grab" || std::string_view(argv[2]) != "screen")
        return std::nullopt;
    ScreenGrabRequest request;
    for (int i = 3; i < argc; i += 2) {
        if (i + 1 == argc) // an option without its value
            return std::nullopt;
        const std::string_view option = argv[i], value = argv[i + 1];
        if (option == "--output" || option == "-o") {
            request.output = argv[i + 1];
        } else if (option == "--delay") {
            const std::optional<int> delay = delayOf(value);
            if (!delay)
                return std::nullopt;
            request.delayMilliseconds = *delay;
        } else if (option != "--colors" || value != "full") {
            return std::nullopt;
        }
    }
    if (!request.output || !namesBitmap(request.output))
        return std::nullopt;
    return request;
}

} // namespace kaptiv::front
