// SPDX-License-Identifier: GPL-3.0-or-later
// Measures the real program over what a night asks of it: the CPU time it uses idling; the
// time from an alarm's second to the real player reading 2 (playing) for a real MP3; and, on
// a folder of 32,767 files, the longest time the window's event loop is held up while the
// folder is listed and while all of it is added, and the resident memory with that playlist.
// Prints one row of scripts/bench.sh's table per figure; not a test: nothing here fails.
//
//   xvfb-run -a tests/audio/with-pulseaudio.sh build/bench/night_bench [idle seconds, 60]
//
// Needs sox and lame, which make the MP3.

#include "alarm/timetext.h"
#include "benchtools.h"
#include "main/events.h"
#include "platform/host/hostfilesystem.h"
#include "platform/host/hostmediaplayer.h"
#include "platform/host/hostsoundoutput.h"
#include "platform/host/systemclock.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

constexpr int fullListing = 32767;
constexpr int alarmRuns = 5;

[[noreturn]] void fail(const QString &what)
{
    std::fprintf(stderr, "night_bench: %s\n", qPrintable(what));
    std::exit(1);
}

void run(const QString &program, const QStringList &arguments)
{
    if (QProcess::execute(program, arguments) != 0)
        fail(program + QStringLiteral(" failed"));
}

// Chooses the drive at this position of the drive box as a user picks it.
void chooseDrive(frmPlayer &window, int index)
{
    window.cmbDrives->setCurrentIndex(index);
    emit window.cmbDrives->activated(index);
}

// The longest event-loop block while the step runs, posted to the loop as a user's click
// would be, and in the second after it, when the lists lay themselves out.
qint64 longestBlockMs(const std::function<void()> &step)
{
    const bench::LoopProbe probe;
    QTimer::singleShot(0, step);
    bench::waitMs(1000);
    return probe.longestMs();
}

// Milliseconds from the alarm's second until the player reads 2, polled every millisecond.
qint64 msUntilPlaying(frmPlayer &window, const QDateTime &alarmSecond)
{
    QElapsedTimer waited;
    waited.start();
    while (window.mpPlayer().PlayState() != MediaPlayer::Playing) {
        if (waited.elapsed() > 15000)
            fail(QStringLiteral("the alarm did not play"));
        bench::waitMs(1);
    }
    return alarmSecond.msecsTo(QDateTime::currentDateTime());
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Wakewell"));
    const int idleS = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;

    // C: holds one real MP3 of ten seconds, D: the 32,767 empty files.
    QTemporaryDir dir;
    const QString songs = dir.filePath(QStringLiteral("Songs"));
    const QString many = dir.filePath(QStringLiteral("Many"));
    QDir().mkpath(songs);
    QDir().mkpath(many);
    const QString wav = dir.filePath(QStringLiteral("tone.wav"));
    run(QStringLiteral("sox"), {"-n", "-r", "44100", "-c", "2", wav, "synth", "10", "sine", "440"});
    run(QStringLiteral("lame"), {"--quiet", wav, songs + QStringLiteral("/tone.mp3")});
    for (int i = 0; i < fullListing; ++i)
        if (!QFile(many + QStringLiteral("/%1.mp3").arg(i, 5, 10, QLatin1Char('0')))
                 .open(QIODevice::WriteOnly))
            fail(QStringLiteral("could not make the files"));

    const SystemClock clock;
    HostSoundOutput soundOutput;
    const DriveTable drives({{QStringLiteral("C:"), songs}, {QStringLiteral("D:"), many}});
    const std::unique_ptr<frmPlayer> loaded = events::loadWindow(
        {[&] { return std::make_unique<HostMediaPlayer>(drives); },
         [&] { return std::make_unique<HostFileSystem>(drives); }, &clock, &soundOutput});
    frmPlayer &window = *loaded;
    window.show();
    bench::waitMs(2000);

    const double cpuBefore = bench::processCpuMs();
    QElapsedTimer idle;
    idle.start();
    bench::waitMs(idleS * 1000);
    const double cpuMs = bench::processCpuMs() - cpuBefore;
    bench::row(QStringLiteral("CPU time in %1 s idle").arg(idleS),
               QStringLiteral("%1 ms, %2% of one core")
                   .arg(cpuMs, 0, 'f', 0)
                   .arg(100.0 * cpuMs / double(idle.elapsed()), 0, 'f', 3),
               QStringLiteral("under 0.2% of one core"));

    // The alarm at a time of day, two seconds ahead each time; "Stop Song" after each. The
    // first one also starts GStreamer and makes its pipeline, as the first alarm of a night
    // does.
    chooseDrive(window, 0);
    window.lstFiles->setCurrentRow(0);
    window.cmdAdd->click();
    window.Option1->click();
    QList<qint64> delays;
    for (int i = 0; i < alarmRuns; ++i) {
        QDateTime second = QDateTime::currentDateTime().addSecs(2);
        second.setTime(QTime(second.time().hour(), second.time().minute(), second.time().second()));
        window.Text2->setText(alarms::timeText(second.time()));
        delays << msUntilPlaying(window, second);
        window.Command1->click();
        bench::waitMs(1000);
    }
    bench::row(QStringLiteral("alarm's second to the player reading 2, first alarm of the run"),
               QStringLiteral("%1 ms").arg(delays.first()), QStringLiteral("at most 150 ms"));
    QList<qint64> later = delays.mid(1);
    std::sort(later.begin(), later.end());
    bench::row(
        QStringLiteral("alarm's second to the player reading 2, %1 later alarms").arg(later.size()),
        QStringLiteral("median %1 ms, longest %2 ms")
            .arg(later.at(later.size() / 2))
            .arg(later.last()),
        QStringLiteral("at most 40 ms"));
    window.cmdClear->click();

    const qint64 listMs = longestBlockMs([&] { chooseDrive(window, 1); });
    if (window.lstFiles->count() != fullListing)
        fail(QStringLiteral("listed %1 entries").arg(window.lstFiles->count()));
    bench::row(QStringLiteral("longest event-loop block while a folder of 32,767 files is listed"),
               QStringLiteral("%1 ms").arg(listMs), QStringLiteral("under 100 ms"));

    window.lstFiles->setCurrentRow(0);
    window.lstFiles->selectAll();
    const qint64 addMs = longestBlockMs([&] { window.cmdAdd->click(); });
    if (window.colPlaylist().Count() != fullListing)
        fail(QStringLiteral("added %1 songs").arg(window.colPlaylist().Count()));
    bench::row(QStringLiteral("longest event-loop block while 32,767 songs are added"),
               QStringLiteral("%1 ms").arg(addMs), QStringLiteral("under 100 ms"));
    bench::row(QStringLiteral("resident memory with a playlist of 32,767 songs"),
               QString::fromLatin1(bench::residentMemory()));
    window.close();
    return 0;
}
