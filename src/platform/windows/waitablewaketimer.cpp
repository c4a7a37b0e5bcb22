// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/windows/waitablewaketimer.h"

#include <windows.h>

#include <cstdio>

namespace {
// FILETIME counts 100 ns from 1601-01-01 UTC; the Unix epoch is 11644473600 s later.
constexpr qint64 epochFrom1601Ms = 11'644'473'600'000;
} // namespace

WaitableWakeTimer::WaitableWakeTimer() : m_timer(CreateWaitableTimerW(nullptr, TRUE, nullptr))
{
    if (!m_timer)
        cannotWake("no waitable timer could be made");
}

WaitableWakeTimer::~WaitableWakeTimer()
{
    if (!m_timer)
        return;
    cancel();
    CloseHandle(m_timer);
}

void WaitableWakeTimer::arm(const QDateTime &when, const QDateTime & /*alarm*/)
{
    if (!m_timer)
        return;
    // A positive due time is absolute, in FILETIME's units.
    LARGE_INTEGER due;
    due.QuadPart = (when.toMSecsSinceEpoch() + epochFrom1601Ms) * 10'000;
    SetLastError(ERROR_SUCCESS);
    if (!SetWaitableTimer(m_timer, &due, 0, nullptr, nullptr, TRUE))
        cannotWake("the system refused the wake timer");
    // Set all the same, yet it will not resume the computer.
    else if (GetLastError() == ERROR_NOT_SUPPORTED)
        cannotWake("this computer cannot resume from sleep for a timer");
}

void WaitableWakeTimer::cancel()
{
    if (m_timer)
        CancelWaitableTimer(m_timer);
}

void WaitableWakeTimer::cannotWake(const char *why)
{
    if (m_warned)
        return;
    m_warned = true;
    std::fprintf(stderr,
                 "Wakewell: the computer cannot be woken for an alarm: %s. Keep it from "
                 "sleeping until the alarm.\n",
                 why);
}
