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

// The transport as the user sees it. Idle: no current song, after startup, Stop and "Stop
// Song". Playing: Timer1 runs, so the next song follows by itself. Paused: the player holds
// a paused song. Ended: nothing plays and nothing goes on by itself, yet the window names a
// song: continuous play went past the last one (or Pause turned Timer1 off just as a song
// ended or failed, before it could go on).
enum class Transport { Idle, Playing, Paused, Ended };
Transport transportState(frmPlayer &f);

// An alarm that plays into nothing looks like success and wakes nobody: with no audio output
// at all, says so.
void checkAudioOutput(frmPlayer &f);
} // namespace playback
