#include "cli/CommandLine.h"

#include "cli/BuildCommit.h" // generated at every build

#include <string>

namespace kaptiv {

std::string versionText()
{
    std::string text = "kaptiv " KAPTIV_VERSION;
    if (const std::string commit = KAPTIV_BUILD_COMMIT; !commit.empty())
        text += " (commit " + commit + ")";
    return text + "\n";
}

} // namespace kaptiv
