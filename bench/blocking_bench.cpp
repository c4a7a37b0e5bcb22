// Measures the real program: the time from process start to the window shown, the resident
// memory after ten idle seconds, and the longest time the window's event loop was held up
// while the real player opened a missing, an empty and a corrupt file one after another (and
// stopped after the last). Prints one row of scripts/bench.sh's table per figure; not a
// test: nothing here fails.
//
//   xvfb-run -a tests/audio/with-pulseaudio.sh build/bench/startup_bench

#include "benchtools.h"
#include "main/frmplayer.h"
#include "platform/hostfilesystem.h"
#include "platform/qtmediaplayer.h"
#include "platform/systemclock.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <ctime>
#include <unistd.h>

namespace {

constexpr int idleMs = 10000;

// Milliseconds since this process started, from the kernel's record of its start.
double msSinceProcessStart()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // Field 22, counted after the command name's closing parenthesis (field 2).
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    const double startS = fields.value(19).toDouble() / double(sysconf(_SC_CLK_TCK));
    timespec now {};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return (double(now.tv_sec) + now.tv_nsec / 1e9 - startS) * 1000.0;
}

// Shows the window's first paint.
class FirstPaint : public QObject
{
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && shownMs < 0)
            shownMs = msSinceProcessStart();
        return false;
    }
    double shownMs = -1;
};

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "gstreamer");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Wakewell"));

    const SystemClock clock;
    const DriveTable drives = DriveTable::machine();
    frmPlayer window({[&] { return std::make_unique<QtMediaPlayer>(drives); },
                      [&] { return std::make_unique<HostFileSystem>(drives); }, &clock});
    FirstPaint paint;
    window.installEventFilter(&paint);
    window.show();
    while (paint.shownMs < 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    bench::row(QStringLiteral("start to window shown"),
               QStringLiteral("%1 ms").arg(paint.shownMs, 0, 'f', 0));

    bench::waitMs(idleMs);
    bench::row(QStringLiteral("resident memory after %1 s idle").arg(idleMs / 1000),
               QString::fromLatin1(bench::residentMemory()));

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
