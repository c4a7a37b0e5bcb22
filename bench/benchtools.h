// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>

// What the measurement programs share. Each figure is printed as one row of the table that
// scripts/bench.sh prints: | figure | value | goal |.
namespace bench {

// Prints one row of the table at once, so that a figure is kept when a later one hangs.
void row(const QString &figure, const QString &value, const QString &goal = {});

// The process's resident memory as the kernel reports it ("45678 kB").
QByteArray residentMemory();

// CPU time used so far by every thread of the process, in milliseconds.
double processCpuMs();

// Runs the event loop for the time given.
void waitMs(int ms);

// Measures how long the event loop of the thread that makes it is held up: a timer due every
// few milliseconds notes the longest gap between two of its runs.
class LoopProbe
{
public:
    static constexpr int everyMs = 5;

    LoopProbe();
    // The longest gap so far, the one running now included, in milliseconds.
    qint64 longestMs() const;

private:
    QTimer m_timer;
    QElapsedTimer m_sinceLast;
    qint64 m_longestMs = 0;
};

} // namespace bench
