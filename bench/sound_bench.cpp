// SPDX-License-Identifier: GPL-3.0-or-later
// Measures how long the sound server's client holds the window's thread: at the first look at
// the audio outputs, and at an alarm's unmute and raise of the default sink, muted at 10%
// before each of three alarms; and what the server says of that sink as the call returns, when
// the alarm goes on to open its song. Prints rows of scripts/bench.sh's table; not a test:
// nothing here fails.
//
//   tests/audio/with-pulseaudio.sh build/bench/sound_bench

#include "audio/recording.h"
#include "benchtools.h"
#include "platform/audiooutputs.h"
#include "platform/host/hostsoundoutput.h"

#include <QCoreApplication>

namespace {

QString msSince(const QElapsedTimer &timer)
{
    return QStringLiteral("%1 ms").arg(double(timer.nsecsElapsed()) / 1e6, 0, 'f', 2);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QElapsedTimer held;
    held.start();
    const bool any = AudioOutputs::machine().any();
    bench::row(QStringLiteral("the window's thread held by the first look at the audio outputs"),
               msSince(held) + (any ? QStringLiteral(", some") : QStringLiteral(", none")),
               QStringLiteral("under 1 ms"));
    QStringList times;
    QStringList states;
    for (int alarm = 0; alarm < 3; ++alarm) {
        audio::pactl({"set-sink-mute", "@DEFAULT_SINK@", "1"});
        audio::pactl({"set-sink-volume", "@DEFAULT_SINK@", "10%"});
        bench::waitMs(500);
        HostSoundOutput output;
        held.restart();
        output.makeAudible();
        times << msSince(held);
        states << audio::sinkState(QStringLiteral("@DEFAULT_SINK@"));
    }
    bench::row(QStringLiteral("the window's thread held by an alarm's unmute and raise, 3 alarms"),
               times.join(QStringLiteral(", ")), QStringLiteral("under 1 ms"));
    bench::row(QStringLiteral("the default sink, muted at 10%, as the alarm's call returns"),
               states.join(QStringLiteral(", ")), QStringLiteral("unmuted 30% 30%"));
    return 0;
}
