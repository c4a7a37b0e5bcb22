// How long the window's thread is held up while the real player opens files that cannot
// play: a missing, an empty and a corrupt file, one after another, then a good one. Prints
// the longest gap between ticks of a 5 ms timer on the thread that calls the player.
//
//   QT_QPA_PLATFORM=offscreen tests/audio/with-pulseaudio.sh build/bench/playerblock
#include "platform/qtmediaplayer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_MEDIA_BACKEND", "gstreamer");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QFile(dir.filePath("empty.mp3")).open(QIODevice::WriteOnly);
    QFile corrupt(dir.filePath("corrupt.mp3"));
    corrupt.open(QIODevice::WriteOnly);
    corrupt.write(QByteArray(64 * 1024, '\x5a'));
    corrupt.close();
    const QString wav = dir.filePath("tone.wav");
    QProcess::execute("sox", {"-n", "-r", "44100", "-c", "2", wav, "synth", "1", "sine", "440"});
    QProcess::execute("lame", {"--quiet", wav, dir.filePath("tone.mp3")});

    QtMediaPlayer player(DriveTable({{"C:", dir.path()}}));
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.elapsed(), longest = 0;
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout, [&] {
        longest = qMax(longest, clock.elapsed() - last);
        last = clock.elapsed();
    });
    beat.start(5);

    const QStringList songs {"C:\\missing.mp3", "C:\\empty.mp3", "C:\\corrupt.mp3", "C:\\tone.mp3"};
    int next = 0;
    QTimer step;
    QObject::connect(&step, &QTimer::timeout, [&] {
        if (next == songs.size()) {
            player.Stop();
            app.quit();
            return;
        }
        player.Open(songs[next++]);
    });
    step.start(1500);
    app.exec();
    std::printf("longest block of the calling thread: %lld ms (timer period 5 ms)\n", longest);
    return 0;
}
