// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/keepawake.h"

// Windows keeps the computer awake through the execution state of a thread: the system is
// required while held; the display never is, so that the screen may still turn off and lock.
// The state belongs to the thread that set it: hold and let go on the same thread. Several
// may hold it on one thread: it is let go when the last lets go.
class ExecutionStateKeepAwake final : public KeepAwake
{
public:
    ExecutionStateKeepAwake() = default;
    // Lets go of what it holds.
    ~ExecutionStateKeepAwake() override;
    ExecutionStateKeepAwake(const ExecutionStateKeepAwake &) = delete;
    ExecutionStateKeepAwake &operator=(const ExecutionStateKeepAwake &) = delete;

    void setHeld(bool held) override;

private:
    bool m_held = false;
};
