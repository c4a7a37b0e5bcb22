// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>

#include <optional>

class frmPlayer;

// The clock display, the alarm at a time of day and the countdown.
namespace alarms {
// Arms Timer2 for the next tick, shortly after the next whole second of the wall clock: it
// runs once per second of the clock, each tick arming it for the next one, since a
// free-running timer drifts and skips a second or sees one twice.
void armTimer2(frmPlayer &f);
// The tick of Timer2: shows the time in Text1, then, as Option1 or Option2 is selected now,
// compares the alarm time or takes the countdown's steps. After ticks that could not run it
// makes up for them: it compares, oldest first, the time of each second of the last 30
// minutes that no tick saw, and takes one countdown step for each second the boot clock has
// gone on. It starts the playlist at most once.
void Timer2Timeout(frmPlayer &f);
// The change of Text3, Text4 or Text5: arms the countdown.
void countdownFieldChanged(frmPlayer &f);
// One step of the countdown. True when it took a second off the fields, so that a further
// step may do more; false when it rested, started the playlist, tried to, or stands at its
// end.
bool countdownStep(frmPlayer &f);

// Where the countdown stands, read from its three fields and blnAlarmEdited: Resting while a
// field is empty or holds no number; Running while one is above zero; Due when all three are
// zero and it is armed; Finished when all three are zero and it has sounded; Stuck when none
// is above zero, yet not all are zero (negative values, fractions below zero).
enum class Countdown { Resting, Running, Due, Finished, Stuck };
Countdown countdownState(const frmPlayer &f);
// An alarm is set: Option1 with an alarm time in Text2, or Option2 with a countdown that will
// sound (running or due).
bool alarmIsSet(const frmPlayer &f);
// When the alarm that is set falls due, read from the window and counted from its last tick
// (from now before the first): for Option1 the next moment whose clock text is Text2's; for
// Option2 the tick at which the countdown, as its fields stand, will sound. Counted from the
// tick whose steps the fields show, it stays the same from tick to tick, between ticks and
// across a suspend, until the countdown's fields or Text2 are edited. None when no alarm is
// set and when the one set never sounds (a text the clock never shows, a countdown that stops
// short of zero).
std::optional<QDateTime> alarmDeadline(const frmPlayer &f);
// Tells the window's AlarmSetting what alarm is set now.
void publishSetting(frmPlayer &f);

// An alarm falls due: the sound output is made audible when there is a song to start, then
// playback::StartAlarmPlayback, and when it started the playlist the window's AlarmSetting is
// told so.
bool soundAlarm(frmPlayer &f);
} // namespace alarms
