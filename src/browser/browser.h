#pragma once

class frmPlayer;

// The drive and folder browser.
namespace browser {
// A drive picked from the list of cmbDrives.
void cmbDrivesActivated(frmPlayer &f);
void lstFilesClicked(frmPlayer &f);
void cmdUpClicked(frmPlayer &f);
} // namespace browser
