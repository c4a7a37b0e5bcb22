// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class frmPlayer;

// The transport controls, continuous play and the volume.
namespace playback {
void cmdPlayClicked(frmPlayer &f);
void cmdPauseClicked(frmPlayer &f);
void cmdStopClicked(frmPlayer &f);
// "Stop Song".
void Command1Clicked(frmPlayer &f);
void cmdBackClicked(frmPlayer &f);
void cmdNextClicked(frmPlayer &f);
void lstSelectedDoubleClicked(frmPlayer &f);
// The tick of Timer1: goes on to the next song once the player has stopped.
void Timer1Timeout(frmPlayer &f);
// The volume handler: sets the player's volume from the slider and intVolume.
void slVolumeChanged(frmPlayer &f);

// Tells the window's TransportStatus where the transport stands now.
void publishStatus(frmPlayer &f);

// Starts the playlist from its first song, or resumes a paused song: for an alarm, and for
// Play. False when nothing was started because the playlist is empty.
bool StartAlarmPlayback(frmPlayer &f);
// Shows playlist entry intSong in txtSong and in the title.
void ShowCurrentSong(frmPlayer &f);
} // namespace playback
