// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/host/threadedplayer.h"

#include "platform/audiooutputs.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>

namespace {

using Status = PlayerEngine::Status;

// How long the window waits for the player's thread when it closes.
constexpr int shutdownMs = 3000;

// What the window's side wants of the player, whole. Every command carries all of it, so the
// newest command alone says what to do.
struct Wanted
{
    quint64 command = 0;
    // Counts Open and Stop: a new value loads the song at hostPath, or unloads when it is empty.
    quint64 load = 0;
    QString hostPath;
    // The song is played again each time it ends having played.
    bool repeat = false;
    bool paused = false;
};

// Lives in the player's thread and owns the engine there. Each state it reports carries the
// number of the last command it carried out, so a report that a newer command has overtaken
// is dropped by the window's side.
class Worker : public QObject
{
    Q_OBJECT

public:
    // The number of the newest command that the window's side has sent.
    std::atomic<quint64> newest {0};
    // The level the engine applied last, as it reads it back; -1 before it has a song.
    std::atomic<float> applied {-1.0f};
    // The songs opened whose position has reached playedMs; read from the window's thread.
    std::atomic<int> songsPlayed {0};

    explicit Worker(ThreadedPlayer::EngineFactory makeEngine) : m_makeEngine(std::move(makeEngine))
    {
        m_update.setInterval(ThreadedPlayer::updateIntervalMs);
        connect(&m_update, &QTimer::timeout, this, &Worker::update);
    }

    void carryOut(const Wanted &wanted)
    {
        if (wanted.command != newest)
            return;
        m_command = wanted.command;
        if (wanted.load != m_load) {
            m_load = wanted.load;
            m_path = wanted.hostPath;
            m_repeat = wanted.repeat;
            m_paused = wanted.paused;
            m_counted = false;
            if (m_path.isEmpty())
                unload();
            else
                load();
        } else if (wanted.paused != m_paused) {
            m_paused = wanted.paused;
            if (isOpen())
                m_engine->setPaused(m_paused);
        }
        report();
    }

    void setLevel(float level)
    {
        m_level = level;
        if (m_engine) {
            m_engine->setLevel(level);
            applied = m_engine->appliedLevel();
        }
    }

    // Ends the engine in its own thread, before the thread stops.
    void shutDown()
    {
        m_update.stop();
        m_engine.reset();
    }

signals:
    void stateReported(quint64 command, int state);

private:
    bool isOpen() const
    {
        if (!m_engine)
            return false;
        const Status s = m_engine->status();
        return s == Status::Opening || s == Status::Playing || s == Status::Paused;
    }

    void load()
    {
        if (!m_engine) {
            m_engine = m_makeEngine();
            m_engine->setLevel(m_level);
            m_engine->setNewsHandler(
                [this] { QMetaObject::invokeMethod(this, &Worker::update, Qt::QueuedConnection); });
        }
        m_engine->load(m_path);
        applied = m_engine->appliedLevel();
        m_update.start();
    }

    void unload()
    {
        m_update.stop();
        if (m_engine)
            m_engine->unload();
    }

    void update()
    {
        if (!m_engine)
            return;
        m_engine->update();
        applied = m_engine->appliedLevel();
        const qint64 position = m_engine->positionMs();
        if (!m_counted && position >= ThreadedPlayer::playedMs) {
            m_counted = true;
            ++songsPlayed;
        }
        if (m_repeat && m_counted && m_engine->status() == Status::Ended) {
            m_counted = false;
            load();
        }
        if (!isOpen())
            m_update.stop();
        report();
    }

    MediaPlayer::State state() const
    {
        if (!m_engine)
            return MediaPlayer::Stopped;
        switch (m_engine->status()) {
        case Status::Opening:
            return m_paused ? MediaPlayer::Paused : MediaPlayer::Opening;
        case Status::Playing:
            return m_paused ? MediaPlayer::Paused : MediaPlayer::Playing;
        case Status::Paused:
            return MediaPlayer::Paused;
        case Status::Empty:
        case Status::Ended:
        case Status::Failed:
            break;
        }
        return MediaPlayer::Stopped;
    }

    // Says the state when it, or the command it answers, has changed.
    void report()
    {
        const int now = state();
        if (m_command == m_reportedCommand && now == m_reportedState)
            return;
        m_reportedCommand = m_command;
        m_reportedState = now;
        emit stateReported(m_command, now);
    }

    ThreadedPlayer::EngineFactory m_makeEngine;
    std::unique_ptr<PlayerEngine> m_engine;
    QTimer m_update {this};
    float m_level = 1.0f;
    quint64 m_command = 0;
    quint64 m_load = 0;
    QString m_path;
    bool m_repeat = false;
    bool m_paused = false;
    bool m_counted = false; // the song loaded now has been counted in songsPlayed
    quint64 m_reportedCommand = 0;
    int m_reportedState = -1;
};

} // namespace

struct ThreadedPlayer::Private
{
    explicit Private(DriveTable table) : drives(std::move(table)) { }

    DriveTable drives;
    // The player's thread and the worker in it.
    QThread thread;
    Worker *worker = nullptr;
    // Lives in the window's thread: the worker's reports arrive here.
    QObject receiver;
    Wanted wanted;
    State state = Stopped;
    int volume = -600;

    void start(EngineFactory makeEngine)
    {
        worker = new Worker(std::move(makeEngine));
        worker->moveToThread(&thread);
        QObject::connect(worker, &Worker::stateReported, &receiver,
                         [this](quint64 command, int reported) {
                             if (command == wanted.command)
                                 state = static_cast<State>(reported);
                         });
        QObject::connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
        setLevel();
    }

    // Hands what is wanted now to the player's thread as the newest command. The thread starts
    // with the first: a player that is never used, as the tone's until an alarm, holds none.
    void send()
    {
        thread.start();
        wanted.command = ++worker->newest;
        QMetaObject::invokeMethod(worker, [w = worker, c = wanted] { w->carryOut(c); });
    }
    // A song to load, or none (an empty path) to stop.
    void load(const QString &hostPath, bool repeat = false)
    {
        ++wanted.load;
        wanted.hostPath = hostPath;
        wanted.repeat = repeat;
        wanted.paused = false;
        send();
    }
    void open(const QString &path, bool repeat)
    {
        const auto host = drives.toHost(path);
        const QFileInfo file(host.value_or(QString()));
        if (!host || !file.isFile() || !file.isReadable() || file.size() == 0) {
            // Not a song that could play: it ends at once, and what played before stops.
            load(QString());
            state = Stopped;
            return;
        }
        load(file.absoluteFilePath(), repeat);
        state = Opening;
    }
    void setLevel()
    {
        QMetaObject::invokeMethod(
            worker, [w = worker, level = linearVolume(volume)] { w->setLevel(level); });
    }
};

ThreadedPlayer::ThreadedPlayer(DriveTable drives, EngineFactory makeEngine)
    : d(new Private(std::move(drives)))
{
    d->start(std::move(makeEngine));
}

// The worker drops what it has not done yet and ends its engine in its own thread. A thread
// held in the sound system past the limit is left behind, and so is what it holds.
ThreadedPlayer::~ThreadedPlayer()
{
    d->thread.start();
    ++d->worker->newest;
    QMetaObject::invokeMethod(d->worker, [w = d->worker] {
        w->shutDown();
        QThread::currentThread()->quit();
    });
    if (!d->thread.wait(QDeadlineTimer(shutdownMs))) {
        qWarning("the player's thread is stuck; it is left behind");
        (void)d.release();
    }
}

void ThreadedPlayer::Open(const QString &path)
{
    d->open(path, false);
}

void ThreadedPlayer::Repeat(const QString &path)
{
    d->open(path, true);
}

void ThreadedPlayer::Play()
{
    if (d->state != Paused)
        return;
    d->wanted.paused = false;
    d->send();
    d->state = Playing;
}

void ThreadedPlayer::Pause()
{
    if (d->state == Stopped)
        return;
    d->wanted.paused = true;
    d->send();
    d->state = Paused;
}

void ThreadedPlayer::Stop()
{
    d->load(QString());
    d->state = Stopped;
}

MediaPlayer::State ThreadedPlayer::PlayState() const
{
    return d->state;
}

int ThreadedPlayer::Volume() const
{
    return d->volume;
}

void ThreadedPlayer::SetVolume(int volume)
{
    d->volume = std::clamp(volume, silence, fullLevel);
    d->setLevel();
}

bool ThreadedPlayer::HasAudioOutput() const
{
    return AudioOutputs::machine().any();
}

int ThreadedPlayer::SongsPlayed() const
{
    return d->worker->songsPlayed;
}

float ThreadedPlayer::appliedVolume() const
{
    return d->worker->applied;
}

#include "threadedplayer.moc"
