// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/host/hostfilesystem.h"
#include "platform/mediaplayer.h"
#include "platform/playerengine.h"

#include <functional>
#include <memory>

// The media player on an engine of a sound system, in a thread of its own: loading a song or
// stopping one blocks for as long as the sound server does not answer (GStreamer's pulsesink
// waits for a hung server without end when it stops a song, and 30 s when it starts one), and
// the window's thread must never wait. The window's thread only sends what it wants and reads
// a state it keeps itself.
//
// The rules the window relies on, whatever the engine:
// - The newest command wins: one that a newer Open, Stop or Play has overtaken is dropped
//   before it reaches the engine, so a burst of song changes costs one song load.
// - Pause acts only on a song that is open (opening, playing); with none it changes nothing
//   and the player goes on reading Stopped. Play acts only on a paused song.
// - Every Open loads the song afresh, from its beginning, also the song that just ended.
class ThreadedPlayer : public MediaPlayer
{
public:
    // How often the engine is asked what happened, while a song is loaded.
    static constexpr int updateIntervalMs = 100;
    // A song counts as played once its position has reached this.
    static constexpr qint64 playedMs = 1000;

    // Made on the player's thread for the first song; drive-form paths become host paths
    // through the drive table.
    using EngineFactory = std::function<std::unique_ptr<PlayerEngine>()>;
    ThreadedPlayer(DriveTable drives, EngineFactory makeEngine);
    ~ThreadedPlayer() override;

    void Open(const QString &path) override;
    void Repeat(const QString &path) override;
    void Play() override;
    void Pause() override;
    void Stop() override;
    State PlayState() const override;
    int Volume() const override;
    void SetVolume(int volume) override;
    bool HasAudioOutput() const override;
    int SongsPlayed() const override;

    // The level the engine has applied, as it reads it back; -1 before it has a song.
    float appliedVolume() const;

    struct Private;

private:
    std::unique_ptr<Private> d;
};
