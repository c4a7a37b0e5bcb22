// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarm/alarm.h"

#include "main/accessibility.h"
#include "main/frmplayer.h"

bool alarms::StartAlarmPlayback(frmPlayer &f)
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

bool alarms::soundAlarm(frmPlayer &f)
{
    // A muted or quiet output would make a silent alarm that looks like a ringing one; with
    // nothing to play, the output is left alone.
    if (f.mpPlayer().PlayState() == MediaPlayer::Paused || f.colPlaylist().Count() > 0)
        f.soundOutput().makeAudible();
    if (!StartAlarmPlayback(f))
        return false;
    f.alarmSetting().notePlaylistStarted();
    return true;
}

void alarms::ShowCurrentSong(frmPlayer &f)
{
    // A paused song resumed after its playlist was emptied has no entry to show: what the
    // window shows then stays as it was.
    if (f.intSong < 1 || f.intSong > f.colPlaylist().Count())
        return;
    f.txtSong->setText(drivepath::fileName(f.colPlaylist().Item(f.intSong)));
    f.setWindowTitle(QStringLiteral("Player - ") + f.txtSong->text());
    accessibility::announce(&f, f.windowTitle());
}
