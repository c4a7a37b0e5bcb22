// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/startup.h"

#include "main/frmplayer.h"
#include "platform/int16.h"
#include "playback/playback.h"

void mainwindow::Form_Load(frmPlayer &f)
{
    f.setOuterHeight(2910);
    f.setOuterWidth(4500);
    f.intVolume = toInt16(f.mpPlayer().Volume());
    playback::slVolumeChanged(f);
    std::int16_t i = 0;
    for (const QString &drive : f.fso().Drives()) {
        f.cmbDrives->insertItem(i, drive);
        increment(i);
    }
    // Inserting into an empty box makes the first item current; nothing is chosen yet.
    f.cmbDrives->setCurrentIndex(-1);
    f.cmbDrives->setEditText(QString());
    f.blnAlarmEdited = false;
    f.intClicks = 0;
}

void mainwindow::Form_Unload(frmPlayer &f)
{
    // First, so that no tick between the close and the end of the process makes a component
    // anew, whatever the steps after do.
    f.Timer1->stop();
    f.Timer2->stop();
    f.mpPlayer().Stop();
    f.releaseComponents();
}
