// Runs the command line in this process, as `kaptiv ARGUMENTS...` would, and keeps what it printed.
#pragma once

#include "cli/CommandLine.h"

#include <QStringList>

#include <sstream>
#include <string>

namespace kaptiv::testing {

struct Result {
    int status;
    std::string out, err;
};

inline Result kaptiv(const QStringList &arguments)
{
    std::ostringstream out, err;
    const int status = runCommandLine(arguments, out, err);
    return {status, out.str(), err.str()};
}

} // namespace kaptiv::testing
