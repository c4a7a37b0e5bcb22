// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/transportstatus.h"

#include <utility>

void TransportStatus::update(playback::Transport state, const CurrentSong &song, int volume,
                             int songsPlayed)
{
    // Every value is stored before any signal, so that each receiver reads them all anew.
    const bool stateChange = std::exchange(m_state, state) != state;
    const bool songChange = std::exchange(m_song, song) != song;
    m_volume = volume;
    m_songsPlayed = songsPlayed;
    if (stateChange)
        emit stateChanged(state);
    if (songChange)
        emit songChanged(song);
}

void TransportStatus::close()
{
    emit closing();
}
