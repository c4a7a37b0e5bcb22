# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash
# What the checks on a new Debian 12 share; sourced.
#
# The Debian mirror that this machine's apt uses: sets $mirror (MIRROR overrides it; Debian's
# own when apt names none) and $security (the security mirror, empty when apt names none).
urls=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources \
    2>/dev/null | grep -oE 'https?://[^[:space:]]+' || true)
mirror=${MIRROR:-$(grep -m1 -E '/debian/?$' <<<"$urls" || echo http://deb.debian.org/debian)}
security=$(grep -m1 -E '/debian-security/?$' <<<"$urls" || true)
unset urls

# new_debian ROOT: a minimal Debian 12 made with debootstrap in the folder ROOT, as on an
# installed system: the point release's updates and the security updates in its sources.
# Packages start no services in it. Its /proc, /dev and a /tmp of its own are mounted, in the
# caller's mount namespace.
new_debian() {
    local root=$1
    chmod 755 "$root"
    debootstrap --variant=minbase bookworm "$root" "$mirror"
    echo "deb $mirror bookworm-updates main" >>"$root/etc/apt/sources.list"
    [ -z "$security" ] || echo "deb $security bookworm-security main" >>"$root/etc/apt/sources.list"
    printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
    chmod +x "$root/usr/sbin/policy-rc.d"
    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    mount -t tmpfs tmpfs "$root/tmp"
}

# step NAME COMMAND...: runs the command under a heading, and keeps its time in $figures for
# the table at the end.
figures=()
step() {
    local name=$1 start=$SECONDS
    shift
    echo "== $name"
    "$@"
    figures+=("$(printf '%6d s  %s' $((SECONDS - start)) "$name")")
}
