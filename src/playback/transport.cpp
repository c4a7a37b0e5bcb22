// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/playback.h"

#include "main/frmplayer.h"
#include "platform/int16.h"

#include <algorithm>
#include <limits>

namespace {

// Stop and "Stop Song" differ only in the caption they leave.
void stopPlayback(frmPlayer &f, const QString &caption)
{
    f.setTimer1Enabled(false);
    f.mpPlayer().Stop();
    f.intSong = 0;
    f.EnablePlaylistButtons(true);
    f.txtSong->setText(QString());
    f.setWindowTitle(caption);
}

// Opens entry intSong and shows it, with Timer1 on. intSong may lie outside the playlist
// (0 or below after Back from Idle, past the end after the last song ended or songs were
// removed): it is first brought into 1 to the number of entries, so Back and Next always
// open a song that exists. The caller has made sure the playlist is not empty.
void openCurrentSong(frmPlayer &f)
{
    f.intSong = toInt16(qBound(1, int(f.intSong), f.colPlaylist().Count()));
    f.mpPlayer().Open(f.colPlaylist().Item(f.intSong));
    f.setTimer1Enabled(true);
    playback::ShowCurrentSong(f);
}

// Where the transport stands, from the player, Timer1 and intSong.
playback::Transport transportState(frmPlayer &f)
{
    if (f.mpPlayer().PlayState() == MediaPlayer::Paused)
        return playback::Transport::Paused;
    if (f.Timer1->isActive())
        return playback::Transport::Playing;
    return f.intSong == 0 ? playback::Transport::Idle : playback::Transport::Ended;
}

} // namespace

void playback::cmdPlayClicked(frmPlayer &f)
{
    StartAlarmPlayback(f);
}

void playback::cmdPauseClicked(frmPlayer &f)
{
    if (f.colPlaylist().Count() == 0)
        return;
    if (f.mpPlayer().PlayState() == MediaPlayer::Paused) {
        f.mpPlayer().Play();
        f.setTimer1Enabled(true);
    } else {
        f.mpPlayer().Pause();
        f.setTimer1Enabled(false);
    }
}

void playback::cmdStopClicked(frmPlayer &f)
{
    stopPlayback(f, QStringLiteral("Player"));
}

void playback::Command1Clicked(frmPlayer &f)
{
    stopPlayback(f, QStringLiteral("Wakewell"));
}

void playback::cmdBackClicked(frmPlayer &f)
{
    // With an empty playlist the player is left alone, even while it plays.
    if (f.colPlaylist().Count() == 0)
        return;
    f.mpPlayer().Stop();
    if (f.intSong != 1)
        f.intSong = toInt16(f.intSong - 1LL);
    openCurrentSong(f);
}

void playback::cmdNextClicked(frmPlayer &f)
{
    // Next stops the player before it looks at the playlist, so also when it is empty.
    f.mpPlayer().Stop();
    if (f.colPlaylist().Count() == 0)
        return;
    if (f.intSong < f.colPlaylist().Count())
        increment(f.intSong);
    openCurrentSong(f);
}

void playback::lstSelectedDoubleClicked(frmPlayer &f)
{
    const int last = f.lstSelected->count() - 1;
    for (int i = 0; i <= last; ++i) {
        if (!f.lstSelected->item(i)->isSelected())
            continue;
        f.mpPlayer().Stop();
        f.intSong = toInt16(i + 1LL);
        openCurrentSong(f);
        f.EnablePlaylistButtons(false);
    }
}

void playback::Timer1Timeout(frmPlayer &f)
{
    // 0 is also what a song reads that could not be opened or played: the playlist moves
    // past it, so one broken file never silences the alarm.
    if (f.mpPlayer().PlayState() != MediaPlayer::Stopped)
        return;
    // With 32,767 entries intSong has no room past the last one: it stays on the last song,
    // and the playlist ends there as it does one past the end of a shorter one.
    if (f.intSong == std::numeric_limits<std::int16_t>::max()) {
        f.setTimer1Enabled(false);
        return;
    }
    increment(f.intSong);
    // Past the last entry the playlist has ended: txtSong, the caption and the playlist
    // buttons go on naming the last song, and the player stays stopped.
    if (f.intSong > f.colPlaylist().Count()) {
        f.setTimer1Enabled(false);
        return;
    }
    f.mpPlayer().Open(f.colPlaylist().Item(f.intSong));
    ShowCurrentSong(f);
}

void playback::publishStatus(frmPlayer &f)
{
    const int count = f.colPlaylist().Count();
    CurrentSong song;
    song.title = f.txtSong->text();
    song.number = std::clamp<int>(f.intSong, 0, count);
    if (song.number >= 1)
        song.entry = f.colPlaylist().Item(song.number);
    song.hasNext = f.intSong < count;
    song.hasPrevious = count > 0 && f.intSong > 1;
    song.playlistEmpty = count == 0;
    f.transportStatus().update(transportState(f), song, f.mpPlayer().Volume(),
                               f.mpPlayer().SongsPlayed());
}
