// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/host/machine.h"

#include "platform/host/hostmediaplayer.h"

Machine::Machine() = default;

Platform Machine::windowPlatform()
{
    return {[this] { return std::make_unique<HostMediaPlayer>(m_drives); },
            [this] { return std::make_unique<HostFileSystem>(m_drives); }, &m_clock,
            &m_soundOutput};
}

std::optional<QString> Machine::drivePath(const QString &hostPath) const
{
    return m_drives.toDrive(hostPath);
}
