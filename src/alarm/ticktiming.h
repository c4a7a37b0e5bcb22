// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>
#include <QTime>

// When the clock tick runs, and what it makes up for after ticks that could not run (the
// machine was suspended, the event loop was held up). Pure: tests feed them any times.
namespace ticktiming {
// How long after each whole second of the wall clock the tick comes: late enough that a
// timer firing a little early still falls in the new second.
constexpr int tickOffsetMs = 20;
// How far back the time-of-day comparison makes up for seconds that no tick saw: for a
// wake-up alarm late is better than never, but older seconds are stale.
constexpr int catchUpSeconds = 30 * 60;

// Milliseconds from now to the next tick, tickOffsetMs after the next whole second:
// from tickOffsetMs + 1 (now just before a whole second) to 1000 + tickOffsetMs.
int msUntilNextTick(const QDateTime &now);

// The seconds of the wall clock, as times of day, whose text the tick at now compares, in
// order and ending with the second of now: every second after that of the previous tick, of
// the last catchUpSeconds only. On the first tick (previous invalid), or when the clock was
// set back behind the previous tick's second, the second of now alone; none when the
// previous tick already saw the second of now. Seconds are counted on the clock's absolute
// time, so on the night a zone's clock goes back the repeated hour is compared again, and
// the skipped hour of spring never is.
QList<QTime> secondsToCompare(const QDateTime &previous, const QDateTime &now);

// The countdown steps a tick takes besides its own: the whole seconds crossed since the
// previous tick, less one, counted on the boot clock (elapsedMs; it goes on while the machine
// sleeps, and nobody sets it) from the previous tick's place in its second of the wall clock
// (previousMsIntoSecond), whose phase the ticks follow: max(0, floor((previousMsIntoSecond +
// elapsedMs) / 1000) - 1). The first tick after a resume comes at any point of a second, and
// the tick after it back on the second's phase; both together take one step a second.
qint64 extraCountdownSteps(qint64 elapsedMs, int previousMsIntoSecond);
} // namespace ticktiming
