// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/waketimer.h"

// Wakes Windows through a waitable timer that resumes the computer from sleep (fResume), at
// an absolute UTC time: a relative one would not count the time asleep. No administrator
// rights are needed; whether the computer wakes is up to its power settings ("Allow wake
// timers", often off on battery), which nothing here can prove: so its wake is never
// confirmed, and the computer is kept awake while an alarm is set. Where the system cannot
// resume for it, one line on standard error says so, once for the life of the timer.
class WaitableWakeTimer final : public WakeTimer
{
public:
    WaitableWakeTimer();
    // Cancels the wake and closes the timer.
    ~WaitableWakeTimer() override;
    WaitableWakeTimer(const WaitableWakeTimer &) = delete;
    WaitableWakeTimer &operator=(const WaitableWakeTimer &) = delete;

    void arm(const QDateTime &when, const QDateTime &alarm) override;
    void cancel() override;
    // The timer's handle (a HANDLE), signalled when the wake time comes.
    void *handle() const { return m_timer; }

private:
    void cannotWake(const char *why);

    void *m_timer;
    bool m_warned = false;
};
