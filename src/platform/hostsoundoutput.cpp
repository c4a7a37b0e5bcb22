// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/hostsoundoutput.h"

#include <thread>

void HostSoundOutput::makeAudible()
{
    if (!m_request.valid()
        || m_request.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
        std::promise<void> done;
        m_request = done.get_future();
        // Detached: a thread stuck in the sound server must hold up neither the window nor
        // the program's end.
        std::thread([done = std::move(done)]() mutable {
            raiseDefaultOutput();
            done.set_value();
        }).detach();
    }
    m_request.wait_for(waitLimit);
}
