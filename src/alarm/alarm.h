#pragma once

class frmPlayer;

// The clock display, the alarm at a time of day and the countdown.
namespace alarms {
// The tick of Timer2: shows the time in Text1, then, as Option1 or Option2 is selected now,
// compares the alarm time or takes the countdown's steps. After ticks that could not run it
// makes up for them: it compares the time of each second of the last minute that no tick
// saw, and takes one countdown step for each second the boot clock has gone on. It starts
// the playlist at most once.
void Timer2Timeout(frmPlayer &f);
// The change of Text3, Text4 or Text5: arms the countdown.
void countdownFieldChanged(frmPlayer &f);
// One step of the countdown. True when it took a second off the fields, so that a further
// step may do more; false when it rested, started the playlist, tried to, or stands at its
// end.
bool countdownStep(frmPlayer &f);
// Starts the playlist from its first song, or resumes a paused song. False when nothing
// was started because the playlist is empty.
bool StartAlarmPlayback(frmPlayer &f);
// An alarm falls due: StartAlarmPlayback, and when it started the playlist the window says
// so with alarmStartedPlaylist().
bool soundAlarm(frmPlayer &f);
// Shows playlist entry intSong in txtSong and in the title.
void ShowCurrentSong(frmPlayer &f);
} // namespace alarms
