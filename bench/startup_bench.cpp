// Measures the real program: the time from process start to the window shown, the resident
// memory after ten idle seconds, and the longest time the window's event loop was held up
// while the real player opened a missing, an empty and a corrupt file one after another (and
// stopped after the last). Prints one line per figure; not a test: nothing here fails.
//
//   xvfb-run -a tests/audio/with-pulseaudio.sh build/bench/startup_bench

#include "main/frmplayer.h"
#include "platform/hostfilesystem.h"
#include "platform/qtmediaplayer.h"
#include "platform/systemclock.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <ctime>
#include <unistd.h>

namespace {

constexpr int idleMs = 10000;
constexpr int loopProbeMs = 5;

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

QByteArray residentMemory()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return "unknown";
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).simplified();
    return "unknown";
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

void waitMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

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
    printf("start to window shown: %.0f ms\n", paint.shownMs);

    waitMs(idleMs);
    printf("resident memory after %d idle seconds: %s\n", idleMs / 1000,
           residentMemory().constData());

    QTemporaryDir dir;
    QFile(dir.filePath(QStringLiteral("empty.mp3"))).open(QIODevice::WriteOnly);
    QFile corrupt(dir.filePath(QStringLiteral("corrupt.mp3")));
    corrupt.open(QIODevice::WriteOnly);
    for (int i = 0; i < 4096; ++i)
        corrupt.putChar(char(QRandomGenerator::global()->bounded(256)));
    corrupt.close();

    QElapsedTimer sinceProbe;
    qint64 longestMs = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout,
                     [&] { longestMs = qMax(longestMs, sinceProbe.restart()); });
    probe.start(loopProbeMs);
    sinceProbe.start();
    QElapsedTimer total;
    total.start();
    MediaPlayer &player = window.mpPlayer();
    for (const char *name : {"missing.mp3", "empty.mp3", "corrupt.mp3"}) {
        player.Open(*drives.toDrive(dir.filePath(QString::fromLatin1(name))));
        // As continuous play would: on to the next once this one reads Stopped.
        while (player.PlayState() != MediaPlayer::Stopped)
            waitMs(loopProbeMs);
    }
    player.Stop();
    waitMs(1500); // the player thread's stop after a failed medium takes about a second
    probe.stop();
    longestMs = qMax(longestMs, sinceProbe.elapsed());
    printf("longest event-loop block while opening missing, empty, corrupt and stopping: "
           "%lld ms (over %lld ms, probed every %d ms)\n",
           longestMs, total.elapsed(), loopProbeMs);
    window.close();
    return 0;
}
