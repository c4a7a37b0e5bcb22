// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QString;
class frmPlayer;

// The drive and folder browser.
namespace browser {
// An entry of lstFiles is a folder entry exactly when it holds ":\", which a file name never
// does: folder entries are full paths (C:\Music), file entries bare names (Song.mp3).
bool isFolderEntry(const QString &text);
// A drive picked from the list of cmbDrives.
void cmbDrivesActivated(frmPlayer &f);
void lstFilesClicked(frmPlayer &f);
void cmdUpClicked(frmPlayer &f);
} // namespace browser
