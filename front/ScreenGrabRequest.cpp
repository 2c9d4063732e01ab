#include "front/ScreenGrabRequest.h"

#include "cli/GrabPlan.h"

#include <string_view>
#include <vector>

namespace kaptiv::front {

namespace {

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
    if (argc < 2 || std::string_view(argv[1]) != "grab")
        return std::nullopt;
    const std::vector<std::string_view> arguments(argv + 2, argv + argc);
    const grab::Planned planned = grab::planGrab(arguments);
    if (!planned.plan) // the full program says why
        return std::nullopt;
    const grab::Plan &plan = *planned.plan;
    if (plan.target != grab::Target::Screen || plan.cursor || plan.colors != grab::Colors::Full || plan.clipboard
        || plan.jpegQuality || !namesBitmap(plan.output))
        return std::nullopt;
    return ScreenGrabRequest{plan.output, plan.delayMilliseconds};
}

} // namespace kaptiv::front
