// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class frmPlayer;

// Editing the playlist: colPlaylist and lstSelected, always in step.
namespace playlist {
void cmdAddClicked(frmPlayer &f);
void cmdRemoveClicked(frmPlayer &f);
void cmdClearClicked(frmPlayer &f);
} // namespace playlist
