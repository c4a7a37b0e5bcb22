#include "browser/browser.h"

#include "main/frmplayer.h"

void browser::cmbDrivesActivated(frmPlayer &) { }
void browser::lstFilesClicked(frmPlayer &) { }
void browser::cmdUpClicked(frmPlayer &) { }
