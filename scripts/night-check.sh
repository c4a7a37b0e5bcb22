#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Nights on a real Debian 12 in a virtual machine: the machine sleeps, wakes for the alarm by
# itself, stays awake and rings. It makes Wakewell's Debian package from the build folder,
# installs it with apt-get into a Debian 12 made with debootstrap (systemd, logind, polkit,
# PipeWire; tests/night/build-base.sh, cached by what went into it), boots that under QEMU with
# S3 sleep and a sound card recorded on the host, logs the seat's user in, starts Wakewell in
# an X server and drives it as a person would (tests/night/nights.py). Each night prints one
# line: pass, or FAIL with the reason, and when the machine slept and woke, the window's title
# changed and the song was heard, relative to the alarm's second (tests/night/nights.py says
# how each is judged):
#   lid               a countdown, the lid closed 150 s before the alarm and left closed; it
#                     must wake by itself, stay awake and ring, and sleep again after Stop Song
#   lid-time-of-day   the same with an alarm at a time of day
#   late-suspend      a suspend that ignores inhibitors 40 s before the alarm
#   helper-lost       the wake helper killed after it armed the wake, then a suspend
#   muted             the output muted and at 10% beforehand: the alarm is still heard
#   someone-else      a user with no session is refused, and their flood of calls (250
#                     connections, 4 calls in flight on each) does not stop the seat user's wake
#   idle              a suspend asked as the desktop's idle policy asks it, 4 minutes before
#                     the alarm: the machine sleeps, and wakes by itself for the alarm
#   no-wake           the same with the wake denied by polkit: the suspend is refused
#   stalled-polkit    polkitd stopped for 40 s as the alarm is set: once it goes on, the wake
#                     and Wakewell's locks are had again, and nothing says the wake is denied
#
#   scripts/night-check.sh [--nights NAME,...] [--build DIR] [--smp N]
#
# NIGHTS names the nights too (default: all); the build folder defaults to build-test and is
# built when missing. NIGHT_CACHE holds the cached root file system (default
# /var/cache/wakewell-night); NIGHT_WORK keeps the run's files (image, recording, pictures of
# the window, logs) in that folder instead of a temporary one. Needs root and the night set of
# scripts/setup.sh. Exits 0 when every night passed, 1 when one failed, and 75 when the check
# itself broke (the root could not be made, the machine did not boot, its agent did not
# answer) with no night failed: no verdict, worth trying again.
set -euo pipefail
cd "$(dirname "$0")/.."

nights=${NIGHTS:-} build=build-test smp=2
while [ "$#" -gt 0 ]; do
    case $1 in
    --nights) nights=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --smp) smp=$2; shift 2 ;;
    *) echo "usage: $0 [--nights NAME,...] [--build DIR] [--smp N]" >&2; exit 2 ;;
    esac
done
[ "$(id -u)" -eq 0 ] || { echo "FAIL: run as root: debootstrap and chroot need it" >&2; exit 1; }
bash scripts/setup.sh night

cache=${NIGHT_CACHE:-/var/cache/wakewell-night}
if [ -n "${NIGHT_WORK:-}" ]; then
    mkdir -p "$NIGHT_WORK"
    work=$(realpath "$NIGHT_WORK")
else
    work=$(mktemp -d "${TMPDIR:-/tmp}/wakewell-night.XXXXXX")
    trap 'rm -rf --one-file-system "$work"' EXIT
fi

. scripts/newdebian.sh

package() {
    if [ ! -f "$build/CPackConfig.cmake" ]; then
        cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    fi
    cmake --build "$build"
    rm -rf "$work/package"
    cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >/dev/null
    deb=$(ls "$work"/package/wakewell_*.deb)
    echo "$(basename "$deb"), from $(git log --oneline -1)"
}

# The packages that Wakewell's package depends on, the first of each choice, without versions.
depends() {
    dpkg-deb --field "$deb" Depends | tr ',' '\n' | sed -E 's/\|.*//; s/\(.*\)//; s/ //g' | sort -u
}

base_root() {
    local key
    key=$( (cat tests/night/build-base.sh scripts/newdebian.sh; depends) | sha256sum | cut -c1-16)
    base=$cache/base-$key
    if [ -f "$base/complete" ]; then
        echo "cached: $base"
        return
    fi
    mkdir -p "$cache"
    # Only the newest base is kept: each is some 1.5 GB.
    rm -rf --one-file-system "$cache"/base-*
    mkdir -p "$base/root"
    # shellcheck disable=SC2046 # one package a word
    unshare --mount --propagation private tests/night/build-base.sh "$base/root" $(depends) ||
        { echo "BROKEN: the Debian 12 root could not be made" >&2; exit 75; }
    touch "$base/complete"
}

# A copy of the cached root with the package installed by apt-get, as a user installs it, and
# the guest's side of the check; made into an ext4 image with the kernel and initrd beside it.
image() {
    rm -rf --one-file-system "$work/root"
    cp -a --reflink=auto "$base/root" "$work/root"
    cp "$deb" "$work/root/tmp/"
    unshare --mount --propagation private bash -ec '
        root=$1
        mount -t proc proc "$root/proc"
        mount --rbind /dev "$root/dev"
        chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin \
            DEBIAN_FRONTEND=noninteractive apt-get install -y /tmp/"${2##*/}"' \
        - "$work/root" "$deb"
    rm "$work/root/tmp/"*.deb
    install -D -m 644 tests/night/guest/agent.py "$work/root/usr/local/lib/night/agent.py"
    install -D -m 755 tests/night/guest/session.sh "$work/root/usr/local/lib/night/session.sh"
    install -D -m 644 tests/night/guest/flood.py "$work/root/usr/local/lib/night/flood.py"
    # The seat's login on tty1 runs the session.
    echo '[ "$(tty)" != /dev/tty1 ] || exec /usr/local/lib/night/session.sh' \
        >>"$work/root/home/sleeper/.profile"
    cp "$work"/root/boot/vmlinuz-* "$work/vmlinuz"
    cp "$work"/root/boot/initrd.img-* "$work/initrd.img"
    local size
    size=$(du -sm "$work/root" | cut -f1)
    rm -f "$work/disk.img"
    mkfs.ext4 -q -d "$work/root" "$work/disk.img" "$((size + 512))M"
    rm -rf --one-file-system "$work/root"
}

# Three songs on a disk of their own, which the guest mounts in the user's home: a steady
# tone each, at a pitch of its own by which the check knows which one it hears, and a minute
# long, so that Stop Song falls well inside the first.
pitches=(440 587 784)
songs() {
    rm -rf "$work/songs" "$work/songs.img"
    mkdir -p "$work/songs"
    local n
    for n in 1 2 3; do
        sox -n -r 44100 -c 2 -b 16 "$work/songs/song$n.wav" \
            synth 60 sine "${pitches[n - 1]}" vol 0.8
        lame --quiet "$work/songs/song$n.wav" "$work/songs/song$n.mp3"
        rm "$work/songs/song$n.wav"
    done
    mkfs.ext4 -q -d "$work/songs" "$work/songs.img" 16M
}

# Its status is kept for the end, after the times of the steps.
status=0
nights_run() {
    python3 tests/night/nights.py --kernel "$work/vmlinuz" --initrd "$work/initrd.img" \
        --image "$work/disk.img" --songs "$work/songs.img" --work "$work" --smp "$smp" \
        --pitches "$(IFS=,; echo "${pitches[*]}")" \
        ${nights:+--nights "$nights"} || status=$?
}

start=$SECONDS
step "the Debian package from $build" package
step "the cached Debian 12 root (debootstrap when missing)" base_root
step "the image: the package installed with apt-get" image
step "the songs" songs
step "the machine booted and the nights run" nights_run
# A night that failed leaves in the log what the program said, and what logind and the
# kernel did about sleep.
if [ "$status" -ne 0 ]; then
    echo "== Wakewell's output"
    cat "$work/wakewell.txt" 2>/dev/null || true
    echo "== the guest's journal: logind, sleep and the wake helper"
    grep -E 'systemd-logind|PM: suspend|wakewell' "$work/journal.txt" 2>/dev/null || true
fi
echo
printf '%s\n' "${figures[@]}"
printf '%6d s  in all\n' $((SECONDS - start))
exit "$status"
