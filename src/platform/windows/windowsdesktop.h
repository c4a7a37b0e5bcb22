// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/desktop.h"
#include "platform/windows/executionstatekeepawake.h"
#include "platform/windows/waitablewaketimer.h"

// Wakewell on Windows, beside the window: the execution state of the window's thread as the
// way to keep the computer awake, and a waitable timer to wake it. Windows tells no program of
// a sleep in time to hold it back, so nothing else is held; the timer's wake is never
// confirmed, so the execution state is held for as long as an alarm is set.
class WindowsDesktop : public Desktop
{
    Q_OBJECT

public:
    using Desktop::Desktop;

    MachinePower power() override;
    // Media Foundation starts with the first song.
    void prepareToPlay() override { }

private:
    struct NoHold final : KeepAwake
    {
        void setHeld(bool) override { }
    };

    ExecutionStateKeepAwake m_withoutWake;
    NoHold m_whileSet;
    ExecutionStateKeepAwake m_whileDue;
    WaitableWakeTimer m_wakeTimer;
};
