#include "playlist/playlist.h"

#include "main/frmplayer.h"

void playlist::cmdAddClicked(frmPlayer &) { }
void playlist::cmdRemoveClicked(frmPlayer &) { }
void playlist::cmdClearClicked(frmPlayer &) { }
