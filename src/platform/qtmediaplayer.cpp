#include "platform/qtmediaplayer.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QScopeGuard>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <utility>

namespace {

// A song whose position has not moved for this long while it should play has stalled.
constexpr int stallCheckMs = 1000;
constexpr int stalledChecks = 5;
// A song counts as played once its position has reached this.
constexpr qint64 playedMs = 1000;
// The player's thread is stuck when it has not been done with a command for this long: well
// above the second that Qt can block after a file it could not decode.
constexpr qint64 stuckMs = 4000;
// How long the window waits for the player's thread when it closes.
constexpr int shutdownMs = 3000;

// What the window's side wants of the player, whole. Every command carries all of it, so the
// newest command alone says what to do: the player's thread drops each command that a newer
// one has overtaken before it reaches Qt, and a burst of song changes costs one song load.
struct Wanted
{
    quint64 command = 0;
    // Counts Open and Stop: a new value loads the song at hostPath, or stops when it is empty.
    quint64 load = 0;
    QString hostPath;
    bool paused = false;
};

// Lives in the player's thread and owns the Qt player there. Each state it reports carries
// the number of the last command it carried out, so a report that a newer command has
// overtaken is dropped.
class Worker : public QObject
{
    Q_OBJECT

public:
    void carryOut(const Wanted &wanted)
    {
        const auto done = qScopeGuard([&] { finished = wanted.command; });
        if (wanted.command != newest)
            return;
        m_command = wanted.command;
        const bool pausing = wanted.paused != m_paused;
        m_paused = wanted.paused;
        if (wanted.load != m_load) {
            m_load = wanted.load;
            m_counted = false;
            if (wanted.hostPath.isEmpty())
                unload();
            else
                load(QUrl::fromLocalFile(wanted.hostPath), 0);
        } else if (pausing && m_player) {
            if (m_paused)
                m_player->pause();
            else
                m_player->play();
        }
        report();
    }
    void setVolume(float level)
    {
        m_level = level;
        if (m_output)
            apply();
    }
    // Ends the Qt player in its own thread, before the thread stops.
    void shutDown() { unload(); }

    // The number of the newest command that the window's side has sent, and of the last one
    // this thread is done with, carried out or dropped.
    std::atomic<quint64> newest {0};
    std::atomic<quint64> finished {0};
    // The level the Qt audio output was last given; -1 before the first song.
    std::atomic<float> applied {-1.0f};
    // The songs opened whose position has reached playedMs; read from the window's thread.
    std::atomic<int> songsPlayed {0};

signals:
    void stateReported(quint64 command, int state);

private:
    // Each song gets a Qt player of its own. Qt's GStreamer player does not tell one song's
    // end from another's: the end of the song before, still queued in this thread when the
    // next one was loaded, ended that one at once, silently. Deleted, the old player takes
    // whatever was queued for it along; and a song opened again after its end starts afresh.
    void load(const QUrl &source, qint64 position)
    {
        unload();
        m_loading = true;
        m_output = new QAudioOutput(this);
        apply();
        m_player = new QMediaPlayer(this);
        m_player->setAudioOutput(m_output);
        connect(m_player, &QMediaPlayer::mediaStatusChanged, this, &Worker::report);
        connect(m_player, &QMediaPlayer::playbackStateChanged, this, &Worker::report);
        connect(m_player, &QMediaPlayer::errorOccurred, this, &Worker::report);
        connect(m_player, &QMediaPlayer::positionChanged, this, &Worker::countPlayed);
        m_player->setSource(source);
        if (position > 0)
            m_player->setPosition(position);
        if (m_paused)
            m_player->pause();
        else
            m_player->play();
        m_loading = false;
        m_lastPosition = -1;
        m_stillChecks = 0;
        if (!m_watch) {
            m_watch = new QTimer(this);
            connect(m_watch, &QTimer::timeout, this, &Worker::checkStall);
            m_watch->start(stallCheckMs);
        }
    }

    void unload()
    {
        // A player being deleted has no state to report.
        if (m_player)
            m_player->disconnect(this);
        delete std::exchange(m_player, nullptr);
        delete std::exchange(m_output, nullptr);
    }

    void apply()
    {
        m_output->setVolume(m_level);
        applied = m_output->volume();
    }

    MediaPlayer::State state() const
    {
        if (m_paused)
            return MediaPlayer::Paused;
        if (!m_player)
            return MediaPlayer::Stopped;
        // Qt 6.4 with GStreamer stays at Playing when a file cannot be decoded; only the
        // media status tells. Read first, it lets a broken song count as ended, so the
        // playlist moves on and the alarm still sounds.
        const auto status = m_player->mediaStatus();
        if (status == QMediaPlayer::InvalidMedia || status == QMediaPlayer::EndOfMedia
            || m_player->error() != QMediaPlayer::NoError)
            return MediaPlayer::Stopped;
        switch (m_player->playbackState()) {
        case QMediaPlayer::StoppedState:
            return MediaPlayer::Stopped;
        case QMediaPlayer::PausedState:
            return MediaPlayer::Paused;
        case QMediaPlayer::PlayingState:
            break;
        }
        const bool sounding = status == QMediaPlayer::BufferedMedia
            || status == QMediaPlayer::BufferingMedia || m_player->position() > 0;
        return sounding ? MediaPlayer::Playing : MediaPlayer::Opening;
    }

    void report()
    {
        // setSource() stops the player before play() starts it: that Stopped is no end of
        // the new song, and a Timer1 tick that saw it would pass the song over.
        if (!m_loading)
            emit stateReported(m_command, state());
    }

    void countPlayed(qint64 position)
    {
        if (m_counted || position < playedMs)
            return;
        m_counted = true;
        ++songsPlayed;
    }

    // With PulseAudio the pipeline can hang while it reads Playing: the position stops. Such
    // a song is loaded again and goes on from where it stopped.
    void checkStall()
    {
        if (state() != MediaPlayer::Playing) {
            m_stillChecks = 0;
            return;
        }
        const qint64 position = m_player->position();
        m_stillChecks = position == m_lastPosition ? m_stillChecks + 1 : 0;
        m_lastPosition = position;
        if (m_stillChecks < stalledChecks)
            return;
        qWarning("the song stalled at %lld ms; loading it again", position);
        load(m_player->source(), position);
    }

    QMediaPlayer *m_player = nullptr;
    QAudioOutput *m_output = nullptr;
    QTimer *m_watch = nullptr;
    float m_level = 1.0f;
    quint64 m_command = 0;
    quint64 m_load = 0;
    bool m_paused = false;
    bool m_counted = false; // the song open now has been counted in songsPlayed
    bool m_loading = false;
    qint64 m_lastPosition = -1;
    int m_stillChecks = 0;
};

} // namespace

struct QtMediaPlayer::Private
{
    explicit Private(DriveTable table) : drives(std::move(table)) { }

    DriveTable drives;
    // The player's thread and the worker in it; replaced when they are stuck.
    QThread *thread = nullptr;
    Worker *worker = nullptr;
    // Lives in the window's thread: the worker's reports arrive here.
    QObject receiver;
    Wanted wanted;
    State state = Stopped;
    int volume = -600;
    // The songs that workers replaced so far had played.
    int songsPlayedBefore = 0;
    // The oldest command that the worker may not be done with yet, and since when it waits.
    quint64 awaited = 0;
    QElapsedTimer awaitedFor;

    void start()
    {
        thread = new QThread;
        worker = new Worker;
        worker->moveToThread(thread);
        QObject::connect(worker, &Worker::stateReported, &receiver,
                         [this](quint64 command, int reported) {
                             if (command == wanted.command)
                                 state = static_cast<State>(reported);
                         });
        thread->start();
        awaited = 0;
        setVolume();
    }

    // The worker drops what it has not done yet, ends its Qt player and its thread, and is
    // deleted as the thread ends; the thread is deleted after it. A worker stuck in Qt for
    // good never ends: it is left behind, and so is what it holds.
    void retire()
    {
        QObject::disconnect(worker, nullptr, &receiver, nullptr);
        songsPlayedBefore += worker->songsPlayed;
        ++worker->newest;
        QObject::connect(thread, &QThread::finished, worker, &QObject::deleteLater);
        QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
        QMetaObject::invokeMethod(worker, [w = worker] {
            w->shutDown();
            QThread::currentThread()->quit();
        });
    }

    // Qt 6.4's GStreamer player can deadlock inside setSource(), against its own streaming
    // thread (seen here once in about two thousand song loads), and then nothing would ever
    // play again. A worker that has not been done with a command for stuckMs is taken as
    // stuck: a new thread takes over, and what is wanted now goes to it.
    void send()
    {
        if (worker->finished < awaited && awaitedFor.hasExpired(stuckMs)) {
            qWarning("the player's thread is stuck; a new one takes over");
            retire();
            start();
        }
        wanted.command = ++worker->newest;
        if (worker->finished >= awaited) {
            awaited = wanted.command;
            awaitedFor.start();
        }
        QMetaObject::invokeMethod(worker, [w = worker, c = wanted] { w->carryOut(c); });
    }
    // A song to load, or none (an empty path) to stop.
    void load(const QString &hostPath)
    {
        ++wanted.load;
        wanted.hostPath = hostPath;
        wanted.paused = false;
        send();
    }
    void setVolume()
    {
        QMetaObject::invokeMethod(
            worker, [w = worker, level = linearVolume(volume)] { w->setVolume(level); });
    }
};

QtMediaPlayer::QtMediaPlayer(DriveTable drives) : d(new Private(std::move(drives)))
{
    d->start();
}

QtMediaPlayer::~QtMediaPlayer()
{
    QThread *thread = d->thread;
    d->retire();
    if (thread->wait(QDeadlineTimer(shutdownMs)))
        delete thread;
    else
        qWarning("the player's thread is stuck; it is left behind");
}

void QtMediaPlayer::Open(const QString &path)
{
    const auto host = d->drives.toHost(path);
    const QFileInfo file(host.value_or(QString()));
    if (!host || !file.isFile() || !file.isReadable() || file.size() == 0) {
        // Not a song that could play: it ends at once, and what played before stops.
        d->load(QString());
        d->state = Stopped;
        return;
    }
    d->load(file.absoluteFilePath());
    d->state = Opening;
}

void QtMediaPlayer::Play()
{
    d->wanted.paused = false;
    d->send();
    if (d->state == Paused)
        d->state = Playing;
}

void QtMediaPlayer::Pause()
{
    d->wanted.paused = true;
    d->send();
    d->state = Paused;
}

void QtMediaPlayer::Stop()
{
    d->load(QString());
    d->state = Stopped;
}

MediaPlayer::State QtMediaPlayer::PlayState() const
{
    return d->state;
}

int QtMediaPlayer::Volume() const
{
    return d->volume;
}

void QtMediaPlayer::SetVolume(int volume)
{
    d->volume = std::clamp(volume, silence, fullLevel);
    d->setVolume();
}

bool QtMediaPlayer::HasAudioOutput() const
{
    return !QMediaDevices::audioOutputs().isEmpty();
}

int QtMediaPlayer::SongsPlayed() const
{
    return d->songsPlayedBefore + d->worker->songsPlayed;
}

void QtMediaPlayer::holdThreadForTest(int ms)
{
    QMetaObject::invokeMethod(d->worker, [ms] { QThread::msleep(ms); });
}

float QtMediaPlayer::appliedVolume() const
{
    return d->worker->applied;
}

#include "qtmediaplayer.moc"
