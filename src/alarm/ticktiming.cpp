// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarm/ticktiming.h"

#include <algorithm>

namespace {
// Whole seconds since the epoch, rounded down also before it.
qint64 secondOf(const QDateTime &t)
{
    const qint64 ms = t.toMSecsSinceEpoch();
    return ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
}
} // namespace

int ticktiming::msUntilNextTick(const QDateTime &now)
{
    const qint64 intoSecond = now.toMSecsSinceEpoch() - secondOf(now) * 1000;
    return int(1000 - intoSecond) + tickOffsetMs;
}

QList<QTime> ticktiming::secondsToCompare(const QDateTime &previous, const QDateTime &now)
{
    const qint64 last = secondOf(now);
    qint64 first = last;
    if (previous.isValid() && secondOf(previous) <= last)
        first = std::max(secondOf(previous) + 1, last - catchUpSeconds + 1);
    QList<QTime> seconds;
    const qint64 nowMs = now.toMSecsSinceEpoch();
    for (qint64 s = first; s <= last; ++s)
        seconds.append(now.addMSecs(s * 1000 - nowMs).time());
    return seconds;
}

qint64 ticktiming::extraCountdownSteps(qint64 elapsedMs, int previousMsIntoSecond)
{
    return std::max<qint64>(0, (previousMsIntoSecond + std::max<qint64>(0, elapsedMs)) / 1000 - 1);
}
