#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs a built Wakewell into a temporary prefix as `cmake --install` does, checks that a
# desktop finds everything where it looks and that the desktop entry and the AppStream
# metadata validate, that the wake helper's D-Bus, polkit, systemd and sysusers files are
# where those look and the unit passes systemd-analyze verify, then makes the Debian package
# and checks what it holds and needs, and that Debian's lintian finds no error in it.
# Usage: install_check.sh <build folder> <application id> <icon sizes...>
set -euo pipefail
build=$1 id=$2
shift 2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "FAIL: $*" >&2; exit 1; }
desktop=$prefix/share/applications/$id.desktop
metainfo=$prefix/share/metainfo/$id.metainfo.xml
[ -x "$prefix/bin/wakewell" ] || fail "no bin/wakewell"
for size in "$@"; do
    icon=$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png
    [ -f "$icon" ] || fail "no icon $icon"
done
desktop-file-validate "$desktop"
appstreamcli validate --no-net "$metainfo"
# The entry starts the installed program by name and shows the installed icon.
grep -qx "Exec=wakewell" "$desktop" || fail "Exec is not wakewell"
grep -qx "Icon=$id" "$desktop" || fail "Icon is not $id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" \
    || fail "the metadata does not launch $id.desktop"

# The wake helper, and the files that let D-Bus start it through systemd as its own user.
waker=$prefix/libexec/wakewell/wakewell-waker
busservice=$prefix/share/dbus-1/system-services/io.github.wakewell.Waker.service
unit=$prefix/lib/systemd/system/wakewell-waker.service
[ -x "$waker" ] || fail "no libexec/wakewell/wakewell-waker"
for file in share/dbus-1/system.d/io.github.wakewell.Waker.conf \
    share/polkit-1/actions/io.github.wakewell.Waker.policy lib/sysusers.d/wakewell.conf; do
    [ -f "$prefix/$file" ] || fail "no $file"
done
grep -qx "Exec=$waker" "$busservice" || fail "the D-Bus service does not start $waker"
grep -qx "SystemdService=wakewell-waker.service" "$busservice" || fail "the D-Bus service names no unit"
grep -qx "ExecStart=$waker" "$unit" || fail "the unit does not start $waker"
! ldd "$waker" | grep -q Widgets || fail "the helper links Qt Widgets"
# The sound module where the program looks for it: the path it holds, from its own folder. The
# program itself links neither GStreamer nor libpulse.
module=$(strings "$prefix/bin/wakewell" | grep -om1 '\.\./.*/libwakewell-sound\.so$' || true)
[ -n "$module" ] && [ -f "$prefix/bin/$module" ] \
    || fail "the program looks for its sound module at '$module', where none is installed"
! ldd "$prefix/bin/wakewell" | grep -E 'libgst|libpulse' || fail "the program links GStreamer or libpulse"
systemd-analyze verify --man=no "$unit"
security=$(systemd-analyze security --offline=true "$unit")
tail -1 <<<"$security"
# Marked ✓ (or + outside UTF-8), this line means that the unit takes CAP_WAKE_ALARM away: the
# helper could then arm nothing. Its words are the same in every locale.
! grep -q "CAP_WAKE_ALARM .*Service cannot program timers that wake up the system" <<<"$security" \
    || fail "systemd-analyze security: the unit cannot program timers that wake the system"

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >/dev/null
deb=$(ls "$work"/package/*.deb)
contents=$(dpkg-deb --contents "$deb")
for file in usr/bin/wakewell usr/share/applications/$id.desktop \
    usr/share/metainfo/$id.metainfo.xml usr/share/icons/hicolor/256x256/apps/$id.png \
    usr/libexec/wakewell/wakewell-waker usr/libexec/wakewell/libwakewell-sound.so \
    usr/share/dbus-1/system-services/io.github.wakewell.Waker.service \
    usr/share/dbus-1/system.d/io.github.wakewell.Waker.conf \
    usr/share/polkit-1/actions/io.github.wakewell.Waker.policy \
    usr/lib/systemd/system/wakewell-waker.service usr/lib/sysusers.d/wakewell.conf; do
    grep -q " \./$file\$" <<<"$contents" || fail "the package lacks $file"
done
depends=$(dpkg-deb --field "$deb" Depends)
for package in libqt6widgets6 libgstreamer1.0-0 libpulse0 gstreamer1.0-plugins-good \
    gstreamer1.0-pulseaudio fonts-liberation; do
    grep -Eq "(^|, )$package( |,|\$)" <<<"$depends" || fail "the package does not depend on $package"
done
# GStreamer plays the songs: Qt Multimedia, and the Qt Network that it brings, stay out.
! grep -Eq "(^|, )libqt6(multimedia|network)6" <<<"$depends" \
    || fail "the package depends on Qt Multimedia or Qt Network: $depends"
! ldd "$prefix/bin/wakewell" | grep -E 'libQt6(Multimedia|Network)' \
    || fail "the installed program links Qt Multimedia or Qt Network"
# The newest entries of the changelog and of the metadata name the version being packaged.
version=$(dpkg-deb --field "$deb" Version)
changelog=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/wakewell/changelog.gz | zcat)
[[ $changelog == "wakewell ($version) "* ]] || fail "the changelog's latest entry is not $version"
grep -m1 '<release ' "$metainfo" | grep -q "version=\"$version\"" \
    || fail "the metadata's latest release is not $version"
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/dbus-1/system-services/io.github.wakewell.Waker.service \
    | grep -qx "Exec=/usr/libexec/wakewell/wakewell-waker" || fail "the package's D-Bus service starts no /usr/libexec/wakewell/wakewell-waker"
# Listed whole first: grep -q stops reading at its match, and tar's next line would then fail
# the pipe.
scripts=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t)
for script in postinst prerm; do
    grep -qx "\./$script" <<<"$scripts" || fail "the package has no $script"
done
# Debian's own checks of a package: any error or warning fails.
lintian --info --fail-on error,warning "$deb" || fail "lintian found errors or warnings in the package"
echo "installed and packaged: $(basename "$deb")"
