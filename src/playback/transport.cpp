#include "playback/playback.h"

#include "main/frmplayer.h"

void playback::cmdPlayClicked(frmPlayer &) { }
void playback::cmdPauseClicked(frmPlayer &) { }
void playback::cmdStopClicked(frmPlayer &) { }
void playback::Command1Clicked(frmPlayer &) { }
void playback::cmdBackClicked(frmPlayer &) { }
void playback::cmdNextClicked(frmPlayer &) { }
void playback::lstSelectedDoubleClicked(frmPlayer &) { }
void playback::Timer1Timeout(frmPlayer &) { }
