#include "front/ScreenGrabRequest.h"

#include "cli/GrabPlan.h"

#include <string_view>
#include <vector>

namespace kaptiv::front {

namespace {

// A name whose extension is `extension` (".bmp", ".png") in any letter case. Names the full
// program also writes in that format (".bmpx") are left to it.
bool hasExtension(std::string_view path, std::string_view extension)
{
    const std::string_view name = path.substr(path.find_last_of('/') + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos || name.size() - dot != extension.size())
        return false;
    for (std::size_t i = 0; i < extension.size(); ++i)
        if ((name[dot + i] | 0x20) != (extension[i] | 0x20))
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
        || plan.jpegQuality)
        return std::nullopt;
    if (hasExtension(plan.output, ".bmp"))
        return ScreenGrabRequest{plan.output, plan.delayMilliseconds, false};
    if (hasExtension(plan.output, ".png"))
        return ScreenGrabRequest{plan.output, plan.delayMilliseconds, true};
    return std::nullopt;
}

} // namespace kaptiv::front
