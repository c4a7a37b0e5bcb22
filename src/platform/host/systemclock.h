// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/clock.h"

// The machine's clocks.
class SystemClock final : public Clock
{
public:
    QDateTime now() const override;
    qint64 bootMs() const override;
};
