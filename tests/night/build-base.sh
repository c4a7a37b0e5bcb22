#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the root file system of the night check's virtual machine in the folder ROOT: a
# Debian 12 from debootstrap with systemd, udev, D-Bus, polkit, logind, a kernel, PipeWire with
# its pulse server and WirePlumber, an X server and the tools that drive the window and
# photograph it, and the packages named after ROOT (the Depends of Wakewell's package, so that
# installing the package later needs no download). The seat's user "sleeper" logs in on tty1
# by itself; the user "stranger" has no seat. Runs as root in a mount namespace of its own.
#   build-base.sh ROOT [PACKAGE...]
set -euo pipefail
root=$1
shift
here=$(dirname "$(realpath "$0")")
. "$here/../../scripts/newdebian.sh"

new_debian "$root"
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive "$@"; }
in_root apt-get update
in_root apt-get install -y --no-install-recommends \
    systemd-sysv udev dbus dbus-user-session polkitd libpam-systemd linux-image-amd64 \
    pipewire pipewire-pulse wireplumber pulseaudio-utils \
    xvfb x11-utils x11-apps xdotool python3 python3-evdev strace procps "$@"
in_root apt-get clean
rm "$root/usr/sbin/policy-rc.d"

echo wakewell-night >"$root/etc/hostname"
echo "/dev/vda / ext4 rw 0 1" >"$root/etc/fstab"
# The songs' disk is mounted in the seat user's home: the window shows it as drive D:.
echo "/dev/vdb /home/sleeper/Music ext4 ro,nofail 0 2" >>"$root/etc/fstab"
in_root useradd -m -s /bin/bash sleeper
in_root useradd -m -s /bin/bash stranger
in_root passwd -d root
mkdir -p "$root/home/sleeper/Music"
# The seat's user is logged in on tty1 at boot, as a display manager would log them in.
mkdir -p "$root/etc/systemd/system/getty@tty1.service.d"
cat >"$root/etc/systemd/system/getty@tty1.service.d/autologin.conf" <<'UNIT'
[Service]
ExecStart=
ExecStart=-/sbin/agetty --autologin sleeper --noclear %I $TERM
UNIT
# The check's agent answers the host on the second serial port.
cat >"$root/etc/systemd/system/night-agent.service" <<'UNIT'
[Unit]
Description=The night check's agent on /dev/ttyS1
After=systemd-udevd.service
[Service]
ExecStart=/usr/bin/python3 /usr/local/lib/night/agent.py
[Install]
WantedBy=multi-user.target
UNIT
in_root systemctl enable night-agent.service
# A login on the serial console would only write over the kernel's lines.
in_root systemctl mask serial-getty@ttyS0.service
