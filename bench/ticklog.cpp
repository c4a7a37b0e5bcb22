// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the window's clock tick with the machine's clock and logs the wall-clock time of each
// tick, then says how many seconds no tick saw or two ticks saw, and how far after the whole
// second the ticks came. Beside it, for comparison, a free-running 1000 ms timer.
//
//   QT_QPA_PLATFORM=offscreen build/bench/ticklog [seconds, default 120]

#include "main/events.h"
#include "platform/host/machine.h"

#include <QApplication>
#include <QDateTime>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <map>

namespace {
// Milliseconds since the epoch at which each tick read the clock.
void summarise(const char *name, const QList<qint64> &ticksMs)
{
    if (ticksMs.size() < 2) {
        std::printf("%s: too few ticks\n", name);
        return;
    }
    std::map<qint64, int> seen; // whole second -> ticks in it
    QList<int> offsets;
    for (const qint64 ms : ticksMs) {
        ++seen[ms / 1000];
        offsets << int(ms % 1000);
    }
    int skipped = 0;
    int twice = 0;
    for (qint64 s = ticksMs.first() / 1000; s <= ticksMs.last() / 1000; ++s) {
        const auto it = seen.find(s);
        skipped += it == seen.end();
        twice += it != seen.end() && it->second > 1;
    }
    std::sort(offsets.begin(), offsets.end());
    const auto at = [&](double q) { return offsets[qsizetype(q * (offsets.size() - 1))]; };
    std::printf("%s: %lld ticks over %lld s; seconds skipped %d, seen twice %d; offset after "
                "the whole second (ms) min %d, median %d, 99%% %d, max %d\n",
                name, qlonglong(ticksMs.size()),
                qlonglong(ticksMs.last() / 1000 - ticksMs.first() / 1000 + 1), skipped, twice,
                offsets.first(), at(0.5), at(0.99), offsets.last());
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 120;

    Machine machine;
    const std::unique_ptr<frmPlayer> loaded = events::loadWindow(machine.windowPlatform());
    frmPlayer &window = *loaded;
    window.show();

    // Connected after the window's own handler: the tick has run and kept its time.
    QList<qint64> windowTicks;
    QObject::connect(window.Timer2, &QTimer::timeout, &app, [&] {
        windowTicks << window.lastTickWall.toMSecsSinceEpoch();
        std::printf("tick %s\n",
                    qPrintable(window.lastTickWall.toString(QStringLiteral("HH:mm:ss.zzz"))));
    });
    QList<qint64> freeTicks;
    QTimer freeRunning;
    QObject::connect(&freeRunning, &QTimer::timeout, &app,
                     [&] { freeTicks << QDateTime::currentMSecsSinceEpoch(); });
    freeRunning.start(1000);

    QTimer::singleShot(seconds * 1000, &app, [&] {
        summarise("Timer2", windowTicks);
        summarise("free-running 1000 ms timer", freeTicks);
        window.close();
        app.quit();
    });
    return app.exec();
}
