#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian 12 packages of the sets named, those not installed yet:
#   run      building Wakewell, running it, and making its Debian package
#   test     what the tests, the sanitizer and fuzzing builds and the measurements add
#   windows  what cross-building it for Windows, its tests under Wine and its installer add
#   night    what scripts/night-check.sh adds: a Debian 12 image, QEMU to run it, the songs
#   scripts/setup.sh run test
# Runs apt-get as root, or through sudo for a normal user. Safe to run again.
set -euo pipefail

usage() { echo "usage: $0 run|test|windows|night..." >&2; exit 2; }
[ "$#" -gt 0 ] || usage
packages=()
for set in "$@"; do
    case $set in
    run)
        packages+=(
            build-essential cmake ninja-build pkg-config
            qt6-base-dev qt6-qpa-plugins libgl-dev
            # GStreamer, which plays the songs and the tone: its library, its playbin, its MP3
            # decoder, and its way to the desktop's sound server
            libgstreamer1.0-dev
            gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-pulseaudio
            # the sound server's client library (PulseAudio's, which PipeWire serves too) with
            # its GLib main loop: the outputs, and an alarm's unmute and turning up
            libpulse-dev
            # fonts, so that text has metrics even on a bare machine
            fonts-liberation fontconfig
            # cpack -G DEB: dpkg-shlibdeps finds the libraries' packages, file finds binaries
            dpkg-dev file
        ) ;;
    test)
        packages+=(
            # real MP3 files, a private sound server, a real X server (xauth for xvfb-run)
            sox lame pulseaudio pulseaudio-utils
            # the same tests that hear levels on PipeWire, as Debian's desktop plays sound
            pipewire pipewire-pulse wireplumber
            # gst-launch-1.0: GStreamer's playbin alone, the yardstick of the songs heard whole
            gstreamer1.0-tools
            xvfb xauth xdotool x11-utils imagemagick libx11-dev tesseract-ocr
            # bench/windowstart: when the window is first drawn, with X's DAMAGE extension
            libxdamage-dev
            # a private D-Bus; playerctl and dbus-launch to try the media keys by hand
            dbus dbus-x11 playerctl
            # the accessibility bus that screen readers read, and a client of it in Python
            at-spi2-core python3-pyatspi
            # the installed desktop entry, metadata and Debian package; systemd-analyze for
            # the wake helper's unit
            desktop-file-utils appstream lintian systemd
            # sanitizer and fuzzing builds
            clang libclang-rt-14-dev
        ) ;;
    windows)
        packages+=(
            # MinGW-w64's C++ compiler with POSIX threads, as Qt for MinGW-w64 was built
            g++-mingw-w64-x86-64-posix mingw-w64-tools
            # Wine runs the tests; NSIS makes the installer, unzip opens the zip again
            wine nsis unzip
        ) ;;
    night)
        packages+=(
            # the Debian 12 root, made into an ext4 image without mounts, run under QEMU
            debootstrap e2fsprogs qemu-system-x86 qemu-utils
            # the songs, the host's side of the check, and the pictures of the window
            sox lame python3 imagemagick
        ) ;;
    *) usage ;;
    esac
done

if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
    "${sudo[@]}" apt-get update
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi
