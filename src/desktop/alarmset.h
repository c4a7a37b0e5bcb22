#pragma once

class frmPlayer;

namespace desktop {
// True while an alarm is set: Option1 selected with an alarm time in Text2, or Option2
// selected with the countdown armed and not resting (no field empty). The window's own
// state, read afresh at each call.
bool alarmIsSet(const frmPlayer &f);
} // namespace desktop
