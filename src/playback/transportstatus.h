// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

namespace playback {
// The transport as the user sees it. Idle: no current song, after startup, Stop and "Stop
// Song". Playing: Timer1 runs, so the next song follows by itself. Paused: the player holds
// a paused song. Ended: nothing plays and nothing goes on by itself, yet the window names a
// song: continuous play went past the last one (or Pause turned Timer1 off just as a song
// ended or failed, before it could go on).
enum class Transport { Idle, Playing, Paused, Ended };
} // namespace playback

// The song that the window names, and where the transport stands in the playlist.
struct CurrentSong
{
    // The name in txtSong; empty when the window names no song.
    QString title;
    // Its place in the playlist: intSong within 0 and the playlist's length (in the Ended state
    // intSong stands one past the last). The entry there, empty for 0.
    int number = 0;
    QString entry;
    // Next, Back would open another song; the playlist is empty.
    bool hasNext = false;
    bool hasPrevious = false;
    bool playlistEmpty = true;

    bool operator==(const CurrentSong &) const = default;
};

// The transport as those beside the window see it: told by the window once its state is whole
// again, after the outermost handler; stateChanged() and songChanged() come only when what they
// say has changed.
class TransportStatus : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    playback::Transport state() const { return m_state; }
    const CurrentSong &song() const { return m_song; }
    // The player's volume in hundredths of a dB (0 full, -10000 silence), and its count of
    // songs that have played for a second.
    int volume() const { return m_volume; }
    int songsPlayed() const { return m_songsPlayed; }

    void update(playback::Transport state, const CurrentSong &song, int volume, int songsPlayed);
    // The window is closing: nothing more is told after closing().
    void close();

signals:
    void stateChanged(playback::Transport state);
    void songChanged(const CurrentSong &song);
    // Before the window's unload, which stops and releases the player.
    void closing();

private:
    playback::Transport m_state = playback::Transport::Idle;
    CurrentSong m_song;
    int m_volume = 0;
    int m_songsPlayed = 0;
};
