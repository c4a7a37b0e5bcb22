// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/clock.h"

// A clock that moves only when the test says so.
class FakeClock final : public Clock
{
public:
    QDateTime now() const override { return wall; }
    qint64 bootMs() const override { return boot; }

    // Both clocks move on together, as they do while the machine runs.
    void advance(qint64 ms)
    {
        wall = wall.addMSecs(ms);
        boot += ms;
    }

    QDateTime wall = QDateTime(QDate(2026, 12, 8), QTime(6, 0, 0, 5));
    qint64 boot = 1'000'000;
};
