#pragma once

#include "platform/clock.h"
#include "platform/mediaplayer.h"

#include <QTimer>

#include <memory>

// Keeps, over any player adapter, the promises of a player that the window relies on and that
// an adapter alone cannot keep, or may not:
// - Pause acts only on a song that is open (being opened or playing): with none (never
//   opened, stopped, ended, failed) it changes nothing and the player goes on reading
//   Stopped, so the next Play or alarm opens song 1 instead of resuming nothing. Play acts
//   only on a paused song.
// - A song that goes on reading Opening for openingLimitMs is loaded again, once; still
//   Opening as long again, it is stopped and reads Stopped, so that continuous play moves on
//   and an alarm that plays nothing is noticed.
class WatchedPlayer final : public MediaPlayer
{
public:
    static constexpr qint64 openingLimitMs = 5000;
    static constexpr int checkIntervalMs = 1000;

    // Time is read on the clock's boot clock; the clock must outlive the player.
    WatchedPlayer(std::unique_ptr<MediaPlayer> player, const Clock &clock);

    void Open(const QString &path) override;
    void Play() override;
    void Pause() override;
    void Stop() override;
    State PlayState() const override { return m_player->PlayState(); }
    int Volume() const override { return m_player->Volume(); }
    void SetVolume(int volume) override { m_player->SetVolume(volume); }
    bool HasAudioOutput() const override { return m_player->HasAudioOutput(); }
    int SongsPlayed() const override { return m_player->SongsPlayed(); }

private:
    void watch();
    void check();

    std::unique_ptr<MediaPlayer> m_player;
    const Clock &m_clock;
    // Runs while a song is open and not paused.
    QTimer m_check;
    QString m_path; // the song opened last
    qint64 m_openingSince = 0; // on the boot clock
    bool m_loadedAgain = false;
};
