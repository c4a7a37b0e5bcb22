#include "desktop/alarmset.h"

#include "alarm/countdown.h"
#include "main/frmplayer.h"

bool desktop::alarmIsSet(const frmPlayer &f)
{
    if (f.Option1->isChecked())
        return !f.Text2->text().isEmpty();
    if (!f.Option2->isChecked() || !f.blnAlarmEdited)
        return false;
    // An armed countdown will sound unless it rests (a field empty or no number) or is stuck
    // (none above zero, yet not all zero).
    bool allZero = true;
    bool anyAboveZero = false;
    for (const QLineEdit *field : {f.Text3, f.Text4, f.Text5}) {
        const auto number = countdown::fieldNumber(field->text());
        if (!number)
            return false;
        allZero = allZero && *number == 0;
        anyAboveZero = anyAboveZero || *number > 0;
    }
    return allZero || anyAboveZero;
}
