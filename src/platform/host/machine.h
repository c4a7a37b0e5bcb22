// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/desktop.h"
#include "platform/host/hostfilesystem.h"
#include "platform/host/hostsoundoutput.h"
#include "platform/host/systemclock.h"
#include "platform/platform.h"

#include <memory>
#include <optional>

class TransportCommands;
class TransportStatus;

// The machine the program runs on, whole: what the window is given of it, and the desktop's
// side beside the window. Each system's folder of src/platform defines what differs
// (linux/desktopintegration.cpp, windows/windowsdesktop.cpp).
class Machine
{
public:
    // What Qt needs to be told on this system before the application is made.
    static void prepareApplication();

    Machine();
    Machine(const Machine &) = delete;
    Machine &operator=(const Machine &) = delete;

    // The player and the file system on the machine's drives, its clocks, its sound output;
    // the machine must outlive what it gives.
    Platform windowPlatform();
    // The drive-form path of a file of the host, for the players it gives; none where no
    // drive holds it.
    std::optional<QString> drivePath(const QString &hostPath) const;
    // The desktop's side: keeping the computer awake and waking it for the alarm, word of its
    // sleep, and where the desktop has them, the media keys. Made once the window is on
    // screen; it follows what the window tells of its transport, changes it only through its
    // commands, and is destroyed before the window.
    std::unique_ptr<Desktop> startDesktop(const TransportStatus &transport,
                                          TransportCommands &commands);

private:
    const DriveTable m_drives = DriveTable::machine();
    const SystemClock m_clock {};
    HostSoundOutput m_soundOutput;
};
