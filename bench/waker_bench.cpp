// SPDX-License-Identifier: GPL-3.0-or-later
// Measures the wake helper under another user's flood at the bus's own limits: 250 of the 256
// connections that the bus allows a user, four SetWakes waiting on each at all times, polkit
// (a stand-in) saying no to them at once. Gives the time from the seat user's SetWake to its
// answer with and without the flood, the helper's CPU time and memory while it runs, and the
// most that the bus held for the helper to read. Prints one row of scripts/bench.sh's table
// per figure; not a test: nothing here fails. Needs root, as test_waker does.
//
//   build/bench/waker_bench [seconds of flood, 20]

#include "benchtools.h"
#include "fakes/wakerrig.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <pwd.h>
#include <unistd.h>

namespace {
constexpr int floodConnections = 250;
constexpr int floodInFlight = 4;

// Milliseconds from each of `calls` SetWakes of the seat user to its answer, half a second
// apart, sorted.
QList<qint64> answerTimes(const QDBusConnection &seat, int calls)
{
    QList<qint64> times;
    for (int i = 0; i < calls; ++i) {
        QElapsedTimer answered;
        answered.start();
        const QDBusMessage reply = WakerRig::wait(seat.asyncCall(WakerRig::setWakeCall(ahead(60))));
        times << answered.elapsed();
        if (reply.type() != QDBusMessage::ReplyMessage)
            std::fprintf(stderr, "waker_bench: the seat user's SetWake: %s\n",
                         qPrintable(reply.errorName() + u' ' + reply.errorMessage()));
        bench::waitMs(500);
    }
    std::sort(times.begin(), times.end());
    return times;
}

QString medianAndMost(const QList<qint64> &sorted)
{
    return QStringLiteral("%1 ms, at most %2 ms").arg(sorted[sorted.size() / 2]).arg(sorted.last());
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int floodS = argc > 1 ? std::max(5, std::atoi(argv[1])) : 20;
    if (geteuid() != 0) {
        std::fprintf(stderr, "waker_bench: the helper is started as nobody, which needs root\n");
        return 1;
    }
    WakerRig rig(true);
    const QDBusConnection seat = rig.user(getpwnam("man")->pw_uid, QStringLiteral("seat"));
    rig.polkit.seat = seat.baseService();
    rig.polkit.answer = FakePolkit::No;
    const QList<qint64> quiet = answerTimes(seat, 5);
    const QString memoryQuiet = rig.helperStatus("VmRSS");

    WakerFlood flood(rig, getpwnam("games")->pw_uid, floodConnections);
    flood.start(floodInFlight);
    bench::waitMs(2000);
    const double cpuBefore = rig.helperCpuMs();
    const qsizetype answeredBefore = flood.answered();
    QElapsedTimer flooding;
    flooding.start();
    const QList<qint64> flooded = answerTimes(seat, std::max(5, floodS * 2 - 10));
    while (flooding.elapsed() < floodS * 1000)
        bench::waitMs(100);
    const double cpuMs = rig.helperCpuMs() - cpuBefore;
    const double seconds = double(flooding.elapsed()) / 1000;
    const qsizetype calls = flood.answered() - answeredBefore;
    const QVariantMap stats = rig.helperStats();

    bench::row(QStringLiteral("wake helper: the seat user's SetWake answered, no flood, of 5"),
               medianAndMost(quiet));
    bench::row(QStringLiteral("wake helper: the same while another user floods (%1 connections, "
                              "%2 calls waiting on each), of %3")
                   .arg(floodConnections)
                   .arg(floodInFlight)
                   .arg(flooded.size()),
               medianAndMost(flooded), QStringLiteral("well within logind's 5 s"));
    bench::row(
        QStringLiteral("wake helper: CPU time while flooded"),
        QStringLiteral("%1% of one core; %2 ms per 1,000 calls answered, %3 answered a second")
            .arg(100 * cpuMs / (seconds * 1000), 0, 'f', 0)
            .arg(cpuMs * 1000 / double(std::max<qsizetype>(calls, 1)), 0, 'f', 1)
            .arg(double(calls) / seconds, 0, 'f', 0));
    bench::row(QStringLiteral("wake helper: resident memory, no flood and at the flood's end"),
               QStringLiteral("%1 kB, %2 kB (peak %3 kB)")
                   .arg(memoryQuiet, rig.helperStatus("VmRSS"), rig.helperStatus("VmHWM")));
    bench::row(QStringLiteral("wake helper: match rules at most; the bus's queue to it at most"),
               QStringLiteral("%1; %2 bytes")
                   .arg(stats.value(QStringLiteral("PeakMatchRules")).toUInt())
                   .arg(stats.value(QStringLiteral("PeakOutgoingBytes")).toUInt()));
    flood.stop();
    return 0;
}
