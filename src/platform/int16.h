// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/error.h"

#include <cstdint>
#include <limits>

// The window's counters and positions are 16-bit signed numbers: going past their
// range is the "Overflow" error, never a silent wrap.
inline std::int16_t toInt16(long long value)
{
    if (value < std::numeric_limits<std::int16_t>::min()
        || value > std::numeric_limits<std::int16_t>::max())
        throw WakewellError(errors::overflow);
    return static_cast<std::int16_t>(value);
}

inline void increment(std::int16_t &counter)
{
    counter = toInt16(counter + 1LL);
}
