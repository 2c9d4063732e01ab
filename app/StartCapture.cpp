#include "app/StartCapture.h"

#include "app/Startup.h"
#include "app/mainSnap.h"

#include <QTimer>

#include <cstring>
#include <string>
#include <utility>

namespace kaptiv {
namespace {

// Kinds named as in the --capture option, with their index in the capture menu's order.
constexpr std::pair<const char *, int> offeredCaptures[] = {
    {"screen", 0}, {"rectangle", 1}, {"window", 2}, {"custom-region", 5}, {"client-area", 6}};

} // namespace

bool asksForStartCapture(int argc, char **argv) { return argc > 1 && std::strcmp(argv[1], "--capture") == 0; }

std::optional<int> startCaptureItem(const QString &kind)
{
    for (const auto &[name, item] : offeredCaptures)
        if (kind == QLatin1String(name))
            return item;
    return std::nullopt;
}

std::string startCaptureUsage()
{
    std::string kinds;
    for (const auto &[name, item] : offeredCaptures)
        kinds += (kinds.empty() ? "" : ", ") + std::string(name);
    return "kaptiv: --capture takes one of " + kinds + "\nTry 'kaptiv --help'.\n";
}

void takeCaptureOnStart(int item)
{
    QTimer::singleShot(0, appWindows().Screenfrm->captureItems()[item], &QAction::trigger);
}

} // namespace kaptiv
