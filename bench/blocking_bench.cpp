// SPDX-License-Identifier: GPL-3.0-or-later
// Measures the longest time the window's event loop is held up while the real player opens a
// missing, an empty and a corrupt file one after another (and stops after the last). Prints
// one row of scripts/bench.sh's table; not a test: nothing here fails.
//
//   xvfb-run -a tests/audio/with-pulseaudio.sh build/bench/blocking_bench

#include "benchtools.h"
#include "main/events.h"
#include "platform/host/machine.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Wakewell"));

    const DriveTable drives = DriveTable::machine();
    Machine machine;
    const std::unique_ptr<frmPlayer> loaded = events::loadWindow(machine.windowPlatform());
    frmPlayer &window = *loaded;
    window.show();

    QTemporaryDir dir;
    QFile(dir.filePath(QStringLiteral("empty.mp3"))).open(QIODevice::WriteOnly);
    QFile corrupt(dir.filePath(QStringLiteral("corrupt.mp3")));
    corrupt.open(QIODevice::WriteOnly);
    for (int i = 0; i < 4096; ++i)
        corrupt.putChar(char(QRandomGenerator::global()->bounded(256)));
    corrupt.close();

    const bench::LoopProbe probe;
    QElapsedTimer total;
    total.start();
    MediaPlayer &player = window.mpPlayer();
    for (const char *name : {"missing.mp3", "empty.mp3", "corrupt.mp3"}) {
        player.Open(*drives.toDrive(dir.filePath(QString::fromLatin1(name))));
        // As continuous play would: on to the next once this one reads Stopped.
        while (player.PlayState() != MediaPlayer::Stopped)
            bench::waitMs(bench::LoopProbe::everyMs);
    }
    player.Stop();
    bench::waitMs(1500); // the player thread's stop after a failed medium takes about a second
    bench::row(QStringLiteral("longest event-loop block while the player opens a missing, an "
                              "empty and a corrupt file and stops"),
               QStringLiteral("%1 ms (over %2 ms)").arg(probe.longestMs()).arg(total.elapsed()),
               QStringLiteral("under 100 ms"));
    window.close();
    return 0;
}
