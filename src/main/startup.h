// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class frmPlayer;

namespace mainwindow {
// The window's load event: runs once, before the window is first shown.
void Form_Load(frmPlayer &f);
// The window's unload event: stops both timers and the player, and releases the components.
// Never cancels the closing.
void Form_Unload(frmPlayer &f);
} // namespace mainwindow
