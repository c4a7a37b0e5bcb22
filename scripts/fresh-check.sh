#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Tries the README's commands as a new user meets them: on a fresh, minimal Debian 12 (made
# with debootstrap --variant=minbase in a chroot) holding a clone of this checkout's last
# commit, it
#   1. runs scripts/run.sh, which installs the run set, builds Wakewell and starts it (on Qt's
#      offscreen platform here, stopped once it runs), and lists the packages that it
#      installed: no sound server and no test tool may be among them;
#   2. runs scripts/test.sh, which adds the test set and runs every test;
#   3. builds the Debian package as the README says, installs it with apt-get, starts a
#      system bus there and calls the installed wake helper on it with busctl, and starts the
#      installed program by its desktop entry's Exec line in an X server of its own, where
#      tests/desktop/seen_on_screen.sh finds its window by its title, clicks it and closes it.
# Prints the time of each phase. Needs root, debootstrap, git and about 5 GB of disk.
#
#   scripts/fresh-check.sh [--keep] [FOLDER]
#
# FOLDER is the chroot, made anew (default: a new folder in ${TMPDIR:-/tmp}); it is removed at
# the end unless --keep is given. MIRROR names the Debian mirror (default: the one this
# machine's apt uses).
set -euo pipefail

fail() { echo "FAIL: $*" >&2; exit 1; }

if [ "${1:-}" != --inside ]; then
    keep=
    if [ "${1:-}" = --keep ]; then keep=1; shift; fi
    [ "$(id -u)" -eq 0 ] || fail "run as root: debootstrap and chroot need it"
    command -v debootstrap >/dev/null || fail "debootstrap is missing: apt-get install debootstrap"
    checkout=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
    if [ -n "$(git -C "$checkout" status --porcelain --untracked-files=no)" ]; then
        echo "note: uncommitted changes are not part of the check, only the last commit" >&2
    fi
    if [ -n "${1:-}" ]; then
        mkdir "$1"
        root=$(realpath "$1")
    else
        root=$(mktemp -d "${TMPDIR:-/tmp}/wakewell-fresh.XXXXXX")
    fi
    # The mounts live in a mount namespace of their own, so that they all go when the check
    # ends, however it ends, and none reaches this machine's own /dev or /sys.
    finish() {
        if [ -n "$keep" ]; then echo "kept: $root"; else rm -rf --one-file-system "$root"; fi
    }
    trap finish EXIT
    unshare --mount --propagation private "$0" --inside "$root" "$checkout"
    exit
fi

root=$2 checkout=$3
. "$checkout/scripts/newdebian.sh"

# Whatever this check started in the chroot and left running (a failed test's X server, say).
stop_leftovers() {
    local process
    for process in /proc/[0-9]*; do
        if [ "$(readlink "$process/root" 2>/dev/null)" = "$root" ]; then
            kill "${process#/proc/}" 2>/dev/null || true
        fi
    done
}
trap stop_leftovers EXIT

# Runs a command line in the clone, as root with a clean environment, as a login would.
in_root() {
    chroot "$root" /usr/bin/env -i HOME=/root TERM="${TERM:-dumb}" \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        bash -ec "cd /root/wakewell; $1"
}
installed() {
    chroot "$root" dpkg-query -W -f='${db:Status-Status} ${Package}\n' \
        | awk '$1 == "installed" { print $2 }' | sort
}

make_chroot() {
    new_debian "$root"
    mount --rbind /sys "$root/sys"
    git clone --quiet --no-hardlinks "$checkout" "$root/root/wakewell"
    echo "commit: $(git -C "$root/root/wakewell" log --oneline -1)"
}

# scripts/run.sh ends by starting Wakewell: it is stopped once it has run for 5 seconds.
run_command() {
    local before runner program='' i
    before=$(installed)
    in_root 'QT_QPA_PLATFORM=offscreen scripts/run.sh' &
    runner=$!
    while [ -z "$program" ]; do
        kill -0 "$runner" 2>/dev/null || { wait "$runner" || true; fail "scripts/run.sh ended"; }
        sleep 1
        for i in /proc/[0-9]*; do
            if [ "$(readlink "$i/exe" 2>/dev/null)" = "$root/root/wakewell/build/wakewell" ]; then
                program=${i#/proc/}
            fi
        done
    done
    sleep 5
    kill -0 "$program" 2>/dev/null || fail "wakewell ended by itself"
    kill "$program"
    wait "$runner" || true
    echo "wakewell started and ran; stopped"

    local added unwanted
    added=$(comm -13 <(echo "$before") <(installed))
    echo "scripts/run.sh installed $(wc -l <<<"$added") packages:"
    fmt -w 100 <<<"$added"
    # A sound server beside the desktop's own, or a tool that only the tests use.
    unwanted=$(grep -xE 'pulseaudio|pipewire|pipewire-(bin|pulse|alsa|jack)|wireplumber|jackd2?|sox|lame|xvfb|xdotool|x11-utils|imagemagick.*|clang.*|lintian|appstream|desktop-file-utils|playerctl|pulseaudio-utils' <<<"$added" || true)
    [ -z "$unwanted" ] || fail "scripts/run.sh installed $(tr '\n' ' ' <<<"$unwanted")"
}

# The README's way to install: a release without the tests, its package, apt-get.
install_package() {
    in_root 'cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
        cmake --build build
        (cd build && cpack -G DEB)
        apt-get install -y ./build/wakewell_*.deb
        echo "Depends: $(dpkg-query -W -f="\${Depends}" wakewell)"
        # GStreamer plays the songs: no Qt Multimedia, nor the Qt Network that it brings.
        ! dpkg-query -W -f="\${Depends}" wakewell | grep -E "libqt6(multimedia|network)6" || exit 1
        ! ldd /usr/bin/wakewell | grep -E "libQt6(Multimedia|Network)" || exit 1'
}

# The installed wake helper on a system bus started in the chroot. Without systemd there, the
# bus starts the helper through its own setuid launch helper as the user _wakewell, without
# CAP_WAKE_ALARM (which only systemd's unit gives it): the kernel's refusal is then the answer
# to a SetWake that polkit allowed, and the timer itself is seen only where the helper got the
# capability. Either way, the helper must run as its own user, refuse a user that polkit does
# not allow, and leave once it holds nothing.
waker_activation() {
    in_root 'mkdir -p /run/dbus
        dbus-uuidgen --ensure
        dbus-daemon --system --fork
        call() { busctl --system call io.github.wakewell.Waker /io/github/wakewell/Waker \
            io.github.wakewell.Waker "$@" 2>&1 || true; }
        deadline=$(( ($(date +%s) + 300) * 1000000 ))
        reply=$(call SetWake t "$deadline")
        echo "SetWake as root: $reply"
        pid=$(busctl --system status --no-pager io.github.wakewell.Waker | sed -n "s/^PID=//p")
        user=$(stat -c %U "/proc/$pid")
        echo "the helper: pid $pid, user $user"
        [ "$user" = _wakewell ]
        case $reply in
        "") echo "the kernel holds: $(grep -h "^it_value" /proc/"$pid"/fdinfo/* || true)" ;;
        *Operation\ not\ permitted*) echo "(no CAP_WAKE_ALARM without systemd, as expected here)" ;;
        esac
        # Another user, at no seat: polkit says no, or does not answer where it is missing.
        reply=$(setpriv --reuid=nobody --regid=nogroup --clear-groups busctl --system call \
            io.github.wakewell.Waker /io/github/wakewell/Waker io.github.wakewell.Waker \
            SetWake t "$deadline" 2>&1 || true)
        echo "SetWake as nobody: $reply"
        grep -Eq "not allowed|polkit did not answer" <<<"$reply"
        echo "ClearWake of a caller that holds nothing: $(call ClearWake)"
        for wait in $(seq 20); do
            busctl --system status io.github.wakewell.Waker >/dev/null 2>&1 || break
            sleep 1
        done
        if busctl --system status io.github.wakewell.Waker >/dev/null 2>&1; then
            echo "the helper still runs, holding nothing"; exit 1
        fi
        echo "the helper left after $wait s holding nothing"
        kill "$(cat /run/dbus/pid)"'
}

start_installed() {
    in_root 'exec=$(sed -n "s/^Exec=//p" /usr/share/applications/io.github.wakewell.Wakewell.desktop)
        echo "Exec=$exec: $(command -v "$exec")"
        [ "$(command -v "$exec")" = /usr/bin/wakewell ]
        tests/desktop/seen_on_screen.sh "$exec" build-test/tests/closewindow'
}

start=$SECONDS
step "debootstrap --variant=minbase bookworm" make_chroot
step "scripts/run.sh (run set, build, start)" run_command
step "scripts/test.sh (test set, build, all tests)" in_root scripts/test.sh
step "the Debian package built and installed" install_package
step "the installed wake helper started by the system bus" waker_activation
step "the installed wakewell from its desktop entry" start_installed
echo
echo "== passed, on a fresh Debian 12 in $root"
printf '%s\n' "${figures[@]}"
printf '%6d s  in all\n' $((SECONDS - start))
