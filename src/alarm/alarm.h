#pragma once

class frmPlayer;

// The clock display, the alarm at a time of day and the countdown.
namespace alarms {
// The tick of Timer2.
void Timer2Timeout(frmPlayer &f);
// The change of Text3, Text4 or Text5: arms the countdown.
void countdownFieldChanged(frmPlayer &f);
// Starts the playlist from its first song, or resumes a paused song. False when nothing
// was started because the playlist is empty.
bool StartAlarmPlayback(frmPlayer &f);
// Shows playlist entry intSong in txtSong and in the title.
void ShowCurrentSong(frmPlayer &f);
} // namespace alarms
