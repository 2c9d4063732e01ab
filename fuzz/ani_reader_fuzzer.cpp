// Feeds arbitrary bytes to the animated cursor reader.
#include "CursorReaderFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return fuzzCursorReader(kaptiv::decodeAnimatedCursor, data, size);
}
