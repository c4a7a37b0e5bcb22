#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs Wakewell in an X server of its own with the accessibility bus (AT-SPI) that screen
# readers read, on a D-Bus session bus of its own, and has read_aloud.py read the window from
# that bus while it presses keys and clicks: the names of the controls, the Tab order, the
# clock's ticks, the notification of a missing output and the announcement of a song (see
# read_aloud.py). No sound server runs, so that Wakewell says that it found no sound output
# once an alarm is set, to the desktop's notifications (notifications.py stands in for them); a
# song is made for it to start.
# Usage: read_aloud.sh <program>
set -euo pipefail
program=$1
for tool in sox lame dbus-daemon /usr/libexec/at-spi-bus-launcher; do
    command -v "$tool" >/dev/null ||
        { echo "FAIL: no $tool (scripts/setup.sh installs it)" >&2; exit 1; }
done

work=$(mktemp -d)
xvfb= bus= app= notifications=
finish() {
    for pid in $app $notifications $bus $xvfb; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap finish EXIT
. "$(dirname "$0")/xserver.sh"

start_xvfb
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY PULSE_SERVER
# The session bus starts the accessibility bus when it is first asked for it.
dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$work/bus" >/dev/null 2>&1 &
bus=$!
wait_for test -s "$work/bus" || fail "the session bus did not start"
export DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/bus")
/usr/bin/python3 "$(dirname "$0")/notifications.py" "$work/notes" "$work/notifying" &
notifications=$!
wait_for test -e "$work/notifying" || fail "the notification service did not start"

mkdir "$work/songs"
sox -n -r 44100 -c 2 "$work/tone.wav" synth 2 sine 440 2>/dev/null
lame --quiet "$work/tone.wav" "$work/songs/Morning Song.mp3"

# Qt speaks to the accessibility bus without a desktop that asks it to.
QT_QPA_PLATFORM=xcb QT_ACCESSIBILITY=1 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
    "$program" >"$work/wakewell.log" 2>&1 &
app=$!
wait_for find_window || fail "no window titled \"Wakewell of Your\""
/usr/bin/python3 "$(dirname "$0")/read_aloud.py" "$window" "$work/songs" "$work/notes" ||
    fail "read aloud: $(cat "$work/wakewell.log")"
echo "read aloud: every control named, the Tab order followed, the clock quiet, the missing output and the song announced, no box over the window"
