// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class frmPlayer;

// The window's fixed sizes and the hidden panel's label.
namespace windowsizes {
void Command2Clicked(frmPlayer &f);
void Picture1Clicked(frmPlayer &f);
// A click and a double click on lblHide do the same.
void lblHideClicked(frmPlayer &f);
void lblHideMouseMoved(frmPlayer &f);
// A mouse move over the window's own surface, not over a control.
void formMouseMoved(frmPlayer &f);
} // namespace windowsizes
