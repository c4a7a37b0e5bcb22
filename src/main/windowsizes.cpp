#include "main/windowsizes.h"

#include "main/frmplayer.h"

void windowsizes::Command2Clicked(frmPlayer &) { }
void windowsizes::Picture1Clicked(frmPlayer &) { }
void windowsizes::lblHideClicked(frmPlayer &) { }
void windowsizes::lblHideMouseMoved(frmPlayer &) { }
void windowsizes::formMouseMoved(frmPlayer &) { }
