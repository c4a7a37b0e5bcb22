// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/error.h"
#include "platform/mediaplayer.h"

#include <QStringList>

#include <algorithm>

class FakeMediaPlayer;

// What the fake player was asked, kept by the test so that it outlives the player: the
// window releases its player at shutdown.
struct PlayerRecord
{
    QStringList calls; // "Open C:\a.mp3", "Play", "Pause", "Stop", "Volume -660", "release"
    QStringList opened;
    int created = 0;
    FakeMediaPlayer *live = nullptr;
};

// Records every call; the test acts out the rest (a song ending, a file that fails).
class FakeMediaPlayer final : public MediaPlayer
{
public:
    explicit FakeMediaPlayer(PlayerRecord &record) : m_record(record)
    {
        ++m_record.created;
        m_record.live = this;
    }
    ~FakeMediaPlayer() override
    {
        m_record.calls << QStringLiteral("release");
        m_record.live = nullptr;
    }

    void Open(const QString &path) override
    {
        m_record.calls << QStringLiteral("Open ") + path;
        m_record.opened << path;
        if (!openFailure.isEmpty())
            throw WakewellError(openFailure);
        state = unplayable.contains(path) ? Stopped : Playing;
    }
    // The window never repeats a song: this is the tone's, which the tests hear on the real
    // player.
    void Repeat(const QString &path) override { Open(path); }
    // As the real player: Play resumes only a paused song, Pause pauses only an open one.
    void Play() override
    {
        m_record.calls << QStringLiteral("Play");
        if (state == Paused)
            state = Playing;
    }
    void Pause() override
    {
        m_record.calls << QStringLiteral("Pause");
        if (state == Playing || state == Opening)
            state = Paused;
    }
    void Stop() override
    {
        m_record.calls << QStringLiteral("Stop");
        state = Stopped;
    }
    State PlayState() const override { return state; }
    int Volume() const override { return volume; }
    void SetVolume(int v) override
    {
        m_record.calls << QStringLiteral("Volume %1").arg(v);
        volume = std::clamp(v, -10000, 0);
        lastVolumeSet = v;
    }
    bool HasAudioOutput() const override { return audioOutput; }
    int SongsPlayed() const override { return songsPlayed; }

    // The song has played to its end.
    void finishSong() { state = Stopped; }

    State state = Stopped;
    int volume = -600;
    int lastVolumeSet = 0; // before clamping
    bool audioOutput = true;
    QStringList unplayable; // paths that read Stopped right after Open
    QString openFailure; // when set, Open fails with this description
    int songsPlayed = 0; // the test raises it when the song open now has played a second
    PlayerRecord &m_record;
};
