#pragma once
// The message of the error a call raised, or an empty string when it raised none.

#include "platform/ui/Errors.h"

#include <QString>

namespace kaptiv::testing {

template <typename Call>
QString raisedMessage(Call call)
{
    try {
        call();
    } catch (const KaptivError &error) {
        return error.message();
    }
    return {};
}

} // namespace kaptiv::testing
