// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Keeps the computer from going to sleep while it is held: the platform's own way, behind
// one interface, so that what decides when an alarm is set is written once (AlarmWatch).
class KeepAwake
{
public:
    virtual ~KeepAwake() = default;
    // Harmless when repeated; never waits.
    virtual void setHeld(bool held) = 0;
};
