#include "platform/qtmediaplayer.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QFileInfo>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <atomic>

namespace {

// A song whose position has not moved for this long while it should play has stalled.
constexpr int stallCheckMs = 1000;
constexpr int stalledChecks = 5;
// A song counts as played once its position has reached this.
constexpr qint64 playedMs = 1000;

// Lives in the player's thread and owns the Qt player there. Every command carries the
// number the window's side gave it; each state it reports carries the number of the last
// command it carried out, so a report that a newer command has overtaken is dropped.
class Worker : public QObject
{
    Q_OBJECT

public:
    void open(quint64 command, const QString &hostPath)
    {
        begin(command);
        m_paused = false;
        m_counted = false;
        load(QUrl::fromLocalFile(hostPath), 0);
        report();
    }
    void play(quint64 command)
    {
        begin(command);
        m_paused = false;
        player().play();
        report();
    }
    void pause(quint64 command)
    {
        begin(command);
        m_paused = true;
        player().pause();
        report();
    }
    void stop(quint64 command)
    {
        begin(command);
        m_paused = false;
        // Nothing to stop before the first song: the Qt player need not be made for it.
        if (m_player)
            m_player->stop();
        report();
    }
    void setVolume(float level)
    {
        m_level = level;
        if (m_output)
            apply();
    }
    // Ends the Qt player in its own thread, before the thread stops.
    void shutDown()
    {
        delete m_player;
        m_player = nullptr;
        delete m_output;
        m_output = nullptr;
    }

    std::atomic<float> applied {-1.0f};
    // The songs opened whose position has reached playedMs; read from the window's thread.
    std::atomic<int> songsPlayed {0};

signals:
    void stateReported(quint64 command, int state);

private:
    void begin(quint64 command)
    {
        m_command = command;
        m_lastPosition = -1;
        m_stillChecks = 0;
    }

    QMediaPlayer &player()
    {
        if (!m_player) {
            m_output = new QAudioOutput(this);
            apply();
            m_player = new QMediaPlayer(this);
            m_player->setAudioOutput(m_output);
            connect(m_player, &QMediaPlayer::mediaStatusChanged, this, &Worker::report);
            connect(m_player, &QMediaPlayer::playbackStateChanged, this, &Worker::report);
            connect(m_player, &QMediaPlayer::errorOccurred, this, &Worker::report);
            connect(m_player, &QMediaPlayer::positionChanged, this, &Worker::countPlayed);
            auto *watch = new QTimer(this);
            connect(watch, &QTimer::timeout, this, &Worker::checkStall);
            watch->start(stallCheckMs);
        }
        return *m_player;
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

    void load(const QUrl &source, qint64 position)
    {
        m_loading = true;
        player().setSource(source);
        if (position > 0)
            player().setPosition(position);
        player().play();
        m_loading = false;
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
        m_stillChecks = 0;
        const QUrl source = m_player->source();
        m_loading = true;
        m_player->setSource(QUrl());
        load(source, position);
    }

    QMediaPlayer *m_player = nullptr;
    QAudioOutput *m_output = nullptr;
    float m_level = 1.0f;
    quint64 m_command = 0;
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
    QThread thread;
    Worker *worker = new Worker;
    // Lives in the window's thread: the worker's reports arrive here.
    QObject receiver;
    quint64 command = 0;
    State state = Stopped;
    int volume = -600;

    // Numbers a new command and hands it to the player's thread.
    template<typename F> void post(F &&f)
    {
        const quint64 n = ++command;
        QMetaObject::invokeMethod(worker, [w = worker, n, f = std::forward<F>(f)] { f(*w, n); });
    }
};

QtMediaPlayer::QtMediaPlayer(DriveTable drives) : d(new Private(std::move(drives)))
{
    d->worker->moveToThread(&d->thread);
    QObject::connect(d->worker, &Worker::stateReported, &d->receiver,
                     [p = d.get()](quint64 command, int state) {
                         if (command == p->command)
                             p->state = static_cast<State>(state);
                     });
    d->thread.start();
    SetVolume(d->volume);
}

QtMediaPlayer::~QtMediaPlayer()
{
    QMetaObject::invokeMethod(
        d->worker, [w = d->worker] { w->shutDown(); }, Qt::BlockingQueuedConnection);
    QObject::connect(&d->thread, &QThread::finished, d->worker, &QObject::deleteLater);
    d->thread.quit();
    d->thread.wait();
}

void QtMediaPlayer::Open(const QString &path)
{
    const auto host = d->drives.toHost(path);
    const QFileInfo file(host.value_or(QString()));
    if (!host || !file.isFile() || !file.isReadable() || file.size() == 0) {
        // Not a song that could play: it ends at once, and what played before stops.
        d->post([](Worker &w, quint64 n) { w.stop(n); });
        d->state = Stopped;
        return;
    }
    d->post([hostPath = file.absoluteFilePath()](Worker &w, quint64 n) { w.open(n, hostPath); });
    d->state = Opening;
}

void QtMediaPlayer::Play()
{
    d->post([](Worker &w, quint64 n) { w.play(n); });
    if (d->state == Paused)
        d->state = Playing;
}

void QtMediaPlayer::Pause()
{
    d->post([](Worker &w, quint64 n) { w.pause(n); });
    d->state = Paused;
}

void QtMediaPlayer::Stop()
{
    d->post([](Worker &w, quint64 n) { w.stop(n); });
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
    QMetaObject::invokeMethod(
        d->worker, [w = d->worker, level = linearVolume(d->volume)] { w->setVolume(level); });
}

bool QtMediaPlayer::HasAudioOutput() const
{
    return !QMediaDevices::audioOutputs().isEmpty();
}

int QtMediaPlayer::SongsPlayed() const
{
    return d->worker->songsPlayed;
}

float QtMediaPlayer::appliedVolume() const
{
    return d->worker->applied;
}

#include "qtmediaplayer.moc"
