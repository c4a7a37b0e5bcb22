#pragma once

class frmPlayer;

namespace desktop {
// True while an alarm is set: Option1 selected with an alarm time in Text2, or Option2
// selected with the countdown armed and able to sound: running or due, neither resting nor
// stuck. The window's own state, read afresh at each call.
bool alarmIsSet(const frmPlayer &f);
} // namespace desktop
