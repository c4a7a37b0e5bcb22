// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/playback.h"

#include "main/accessibility.h"
#include "main/frmplayer.h"

bool playback::StartAlarmPlayback(frmPlayer &f)
{
    f.intSong = 1;
    if (f.mpPlayer().PlayState() == MediaPlayer::Paused) {
        // The paused song resumes, whichever it is; the playlist is not looked at.
        f.mpPlayer().Play();
    } else {
        if (f.colPlaylist().Count() == 0)
            return false;
        f.mpPlayer().Open(f.colPlaylist().Item(f.intSong));
    }
    f.setTimer1Enabled(true);
    ShowCurrentSong(f);
    f.EnablePlaylistButtons(false);
    return true;
}

void playback::ShowCurrentSong(frmPlayer &f)
{
    // A paused song resumed after its playlist was emptied has no entry to show: what the
    // window shows then stays as it was.
    if (f.intSong < 1 || f.intSong > f.colPlaylist().Count())
        return;
    f.txtSong->setText(drivepath::fileName(f.colPlaylist().Item(f.intSong)));
    f.setWindowTitle(QStringLiteral("Player - ") + f.txtSong->text());
    accessibility::announce(&f, f.windowTitle());
}
