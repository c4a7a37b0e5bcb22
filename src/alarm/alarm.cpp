#include "alarm/alarm.h"

#include "main/frmplayer.h"

void alarms::Timer2Timeout(frmPlayer &) { }
void alarms::countdownFieldChanged(frmPlayer &f)
{
    f.blnAlarmEdited = true;
}
