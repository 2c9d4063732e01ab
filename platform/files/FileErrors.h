#pragma once
// The program's side of FileAccess: its FileError becomes the EOpenFile a command raises, with
// the file's name shown as it was given.

#include "platform/files/FileAccess.h"
#include "platform/files/NativeNames.h"
#include "platform/ui/Errors.h"

namespace kaptiv {

template <typename Operation>
decltype(auto) reportingFileErrors(Operation &&operation)
{
    try {
        return operation();
    } catch (const files::FileError &error) {
        throw EOpenFile(decodeNativeName(error.what()));
    }
}

} // namespace kaptiv
