#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Wakewell for Windows as a user meets it, tried under Wine in a prefix of its own, as on a
# new machine: the zip and the installer that cpack makes hold every DLL the program needs;
# the installer installs silently into Program Files with a Start-menu entry; the installed
# program opens its window "Wakewell of Your" in an X server of its own (Xvfb: Wine's windows
# are X windows) and ends with status 0 when the window is closed; the uninstaller takes it
# all away again. Run it under tests/audio/with-pulseaudio.sh, so that Wine finds a sound
# output, as on a desktop.
# Usage: installer_check.sh <build folder> <closewindow.cpp>
# With SCREENSHOT_DIR set, the window is kept there as windows.png.
set -euo pipefail
build=$1 closewindow_source=$2

work=$(mktemp -d)
xvfb= app=
export WINEPREFIX=$work/prefix WINEDEBUG=-all
finish() {
    for pid in $app $xvfb; do kill "$pid" 2>/dev/null || true; done
    wineserver -k 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap finish EXIT
. "$(dirname "$0")/../desktop/xserver.sh"
# Wine is slower to start than a program of the host.
WAIT_SECONDS=60
# The program finds its DLLs beside itself, or not at all; Qt's settings of the tests stay out.
unset WINEPATH QT_QPA_PLATFORM
for name in $(env | grep -o '^WINEQT_[A-Za-z0-9_]*' || true); do unset "$name"; done

cpack --config "$build/CPackConfig.cmake" -B "$work/package" >/dev/null
zip=$(ls "$work"/package/wakewell-*-windows-x86_64.zip)
installer=$(ls "$work"/package/wakewell-*-windows-x86_64.exe)

unzip -q "$zip" -d "$work/zip"
folder=$(ls -d "$work"/zip/wakewell-*)
for file in wakewell.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll Qt6Multimedia.dll \
    libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll platforms/qwindows.dll \
    imageformats/qjpeg.dll imageformats/qico.dll multimedia/windowsmediaplugin.dll; do
    [ -f "$folder/$file" ] || fail "the zip lacks $file"
done
# Without Wine's Mono and Gecko, which a new prefix would offer to install.
WINEDLLOVERRIDES="mscoree=;mshtml=" wineboot --init >/dev/null 2>&1
# Every DLL that the program or a DLL of the zip imports is in the zip, or is Windows' own:
# in its system folder, or an API set, which Windows' loader resolves by name.
system32=$WINEPREFIX/drive_c/windows/system32
while IFS= read -r file; do
    for dll in $(x86_64-w64-mingw32-objdump -p "$file" | awk '/DLL Name:/ {print $3}' \
        | grep -vi '^api-ms-win-'); do
        find "$folder" "$system32" -maxdepth 2 -iname "$dll" | grep -q . \
            || fail "${file#"$folder"/} needs $dll, which is neither in the zip nor Windows' own"
    done
done < <(find "$folder" -name '*.dll' -o -name '*.exe')

wine "$installer" /S
wineserver -w
programs="$WINEPREFIX/drive_c/Program Files/Wakewell"
for file in wakewell.exe Uninstall.exe Qt6Core.dll platforms/qwindows.dll; do
    [ -f "$programs/$file" ] || fail "the installer did not install $file"
done
menu_entry() { find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/Wakewell/Wakewell.lnk'; }
[ -n "$(menu_entry)" ] || fail "no Start-menu entry Wakewell"

start_xvfb
c++ -o "$work/closewindow" "$closewindow_source" -lX11

wine "C:\\Program Files\\Wakewell\\wakewell.exe" >"$work/wakewell.log" 2>&1 &
app=$!
wait_for find_window || fail "no window titled \"Wakewell of Your\": $(cat "$work/wakewell.log")"
if [ -n "${SCREENSHOT_DIR:-}" ]; then
    # The window is there; give it a moment to paint.
    sleep 2
    import -window "$window" "$SCREENSHOT_DIR/windows.png"
fi
close_window "$work/closewindow"

wine "$programs/Uninstall.exe" /S
wineserver -w
[ ! -e "$programs" ] || fail "the uninstaller left $(cd "$programs" && find . -type f)"
[ -z "$(menu_entry)" ] || fail "the uninstaller left the Start-menu entry"
if wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Wakewell' >/dev/null 2>&1; then
    fail "the uninstaller left its registry key"
fi
echo "installed $(basename "$installer") ($(du -k "$installer" | cut -f1) KB), opened" \
    "\"Wakewell of Your\", closed with status 0, uninstalled; zip $(du -k "$zip" | cut -f1) KB"
