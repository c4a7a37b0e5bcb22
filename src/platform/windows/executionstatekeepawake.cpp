// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/windows/executionstatekeepawake.h"

#include <windows.h>

#include <cstdio>

namespace {
// The execution states held on this thread: the thread's state is one for all of them.
thread_local int holders = 0;
} // namespace

ExecutionStateKeepAwake::~ExecutionStateKeepAwake()
{
    setHeld(false);
}

void ExecutionStateKeepAwake::setHeld(bool held)
{
    if (held == m_held)
        return;
    m_held = held;
    holders += held ? 1 : -1;
    if (holders != (held ? 1 : 0))
        return;
    // ES_CONTINUOUS keeps the state until the next call; given alone, it clears it.
    const EXECUTION_STATE state = held ? ES_CONTINUOUS | ES_SYSTEM_REQUIRED : ES_CONTINUOUS;
    if (SetThreadExecutionState(state) == 0 && held)
        std::fputs("Wakewell: the computer may sleep while an alarm is set: the system refused "
                   "to stay awake\n",
                   stderr);
}
