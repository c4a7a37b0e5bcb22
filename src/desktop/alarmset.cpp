#include "desktop/alarmset.h"

#include "main/frmplayer.h"

bool desktop::alarmIsSet(const frmPlayer &f)
{
    if (f.Option1->isChecked())
        return !f.Text2->text().isEmpty();
    if (!f.Option2->isChecked() || !f.blnAlarmEdited)
        return false;
    for (const QLineEdit *field : {f.Text3, f.Text4, f.Text5})
        if (field->text().isEmpty())
            return false;
    return true;
}
