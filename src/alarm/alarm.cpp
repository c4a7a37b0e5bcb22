// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarm/alarm.h"

#include "alarm/ticktiming.h"
#include "alarm/timetext.h"
#include "main/frmplayer.h"
#include "playback/playback.h"

void alarms::armTimer2(frmPlayer &f)
{
    f.Timer2->setSingleShot(true);
    f.Timer2->setTimerType(Qt::PreciseTimer);
    f.Timer2->start(ticktiming::msUntilNextTick(f.clock().now()));
}

void alarms::Timer2Timeout(frmPlayer &f)
{
    const QDateTime now = f.clock().now();
    const qint64 bootMs = f.clock().bootMs();
    const QList<QTime> seconds = ticktiming::secondsToCompare(f.lastTickWall, now);
    const qint64 steps = 1
        + (f.lastTickWall.isValid() ? ticktiming::extraCountdownSteps(bootMs - f.lastTickBootMs,
                                                                      f.lastTickWall.time().msec())
                                    : 0);
    // Kept before any step can fail, so that the next tick does not make up for this one.
    f.lastTickWall = now;
    f.lastTickBootMs = bootMs;

    f.Text1->setText(timeText(now.time()));
    if (f.Option1->isChecked()) {
        for (const QTime &second : seconds) {
            f.strNow = timeText(second);
            if (f.strNow == f.Text2->text()) {
                soundAlarm(f);
                return;
            }
        }
    } else if (f.Option2->isChecked()) {
        for (qint64 step = 0; step < steps && countdownStep(f); ++step) { }
    }
}

void alarms::countdownFieldChanged(frmPlayer &f)
{
    f.blnAlarmEdited = true;
}

bool alarms::soundAlarm(frmPlayer &f)
{
    // A muted or quiet output would make a silent alarm that looks like a ringing one; with
    // nothing to play, the output is left alone.
    if (f.mpPlayer().PlayState() == MediaPlayer::Paused || f.colPlaylist().Count() > 0)
        f.soundOutput().makeAudible();
    if (!playback::StartAlarmPlayback(f))
        return false;
    f.alarmSetting().notePlaylistStarted();
    return true;
}
