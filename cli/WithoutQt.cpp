#include "cli/WithoutQt.h"

#include "cli/ArgumentRules.h"
#include "cli/ConvertPlan.h"
#include "cli/GifInfo.h"
#include "formats/core/CodecError.h"

#include <new>
#include <ostream>

namespace kaptiv::cli {

std::optional<int> runWithoutQt(std::span<const std::string_view> arguments, std::ostream &out, std::ostream &err)
{
    if (arguments.empty())
        return std::nullopt;
    const std::string_view command = arguments[0];
    const std::span<const std::string_view> rest = arguments.subspan(1);
    try {
        if (command == "convert") {
            const convert::Plan plan = convert::plan(rest);
            if (!convert::runsWithoutQt(plan))
                return std::nullopt;
            const std::string written = convert::run(plan);
            (convert::writesToStandardOutput(plan.output) ? err : out) << plan.output << ": " << written << "\n";
            return 0;
        }
        if (command == "gif-info") {
            gifInfo(rest, out);
            return 0;
        }
        return std::nullopt;
    } catch (const ArgumentRefused &refused) {
        err << "kaptiv: " << refused.message << "\nTry 'kaptiv --help'.\n";
        return 2;
    } catch (const CodecError &error) {
        err << "kaptiv: " << error.what() << "\n";
    } catch (const std::bad_alloc &) {
        err << "kaptiv: " << outOfMemoryText() << "\n";
    } catch (...) {
        err << "kaptiv: An unexpected error stopped the command.\n";
    }
    return 1;
}

} // namespace kaptiv::cli
