#include "platform/watchedplayer.h"

WatchedPlayer::WatchedPlayer(std::unique_ptr<MediaPlayer> player, const Clock &clock)
    : m_player(std::move(player)), m_clock(clock)
{
    m_check.setInterval(checkIntervalMs);
    QObject::connect(&m_check, &QTimer::timeout, [this] { check(); });
}

void WatchedPlayer::Open(const QString &path)
{
    m_player->Open(path);
    m_path = path;
    m_loadedAgain = false;
    watch();
}

void WatchedPlayer::Play()
{
    if (PlayState() != Paused)
        return;
    m_player->Play();
    watch();
}

void WatchedPlayer::Pause()
{
    const State state = PlayState();
    if (state != Opening && state != Playing)
        return;
    m_player->Pause();
    m_check.stop();
}

void WatchedPlayer::Stop()
{
    m_player->Stop();
    m_check.stop();
}

void WatchedPlayer::watch()
{
    m_openingSince = m_clock.bootMs();
    m_check.start();
}

void WatchedPlayer::check()
{
    const qint64 now = m_clock.bootMs();
    switch (PlayState()) {
    case Stopped:
    case Paused:
        m_check.stop();
        return;
    case Playing:
        m_openingSince = now;
        return;
    case Opening:
        break;
    }
    if (now - m_openingSince < openingLimitMs)
        return;
    if (!m_loadedAgain) {
        qWarning("%s did not start; loading it again", qUtf8Printable(m_path));
        m_player->Open(m_path);
        m_loadedAgain = true;
        m_openingSince = now;
        return;
    }
    qWarning("%s did not start; it is passed over", qUtf8Printable(m_path));
    Stop();
}
