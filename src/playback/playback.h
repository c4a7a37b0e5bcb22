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
} // namespace playback
