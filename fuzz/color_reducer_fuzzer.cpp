// Feeds arbitrary bytes to the colour reducer as a small picture and its options (ColorReducerFuzz.h).
#include "ColorReducerFuzz.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string fault = kaptiv::gif::fuzz::CheckColorReduction(data, size);
    if (!fault.empty()) {
        std::fprintf(stderr, "%s\n", fault.c_str());
        std::abort();
    }
    return 0;
}
