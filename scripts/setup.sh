#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build, run and test Wakewell.
# Runs apt-get as root, or through sudo for a normal user. Safe to run again.
set -euo pipefail

packages=(
    # build
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-multimedia-dev qt6-qpa-plugins libgl-dev
    # playing MP3: Qt Multimedia's GStreamer backend and its decoders
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-pulseaudio
    # fonts, so that text has metrics even on a bare machine
    fonts-liberation fontconfig
    # tests: real MP3 files, a real sound server, a real X server, D-Bus
    sox lame pulseaudio pulseaudio-utils
    xvfb xdotool x11-utils imagemagick libx11-dev
    dbus dbus-x11 playerctl
    desktop-file-utils appstream
    # sanitizer and fuzzing builds
    clang libclang-rt-14-dev
)

if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
    "${sudo[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
