#!/usr/bin/env bash
# Runs Wakewell in an X server of its own, as a person would see it: finds its window by its
# title, reads the client size, clicks through the three sizes that the clicks reach (normal,
# enlarged by the "V" button, full by the hundredth click on the alarm clock picture), takes a
# screenshot of each, closes the window and checks that the program ends with status 0.
# Usage: seen_on_screen.sh <program> <closewindow helper>
# With SCREENSHOT_DIR set, the screenshots are kept there as normal.png, enlarged.png and
# full.png.
set -euo pipefail
program=$1 closewindow=$2

work=$(mktemp -d)
xvfb= pulse= app=
finish() {
    for pid in $app $pulse $xvfb; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap finish EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Waits up to 20 s, a check every 0.1 s: machines are shared and slow at times, and only
# the outcome counts, not how long it took.
wait_for() {
    local i
    for ((i = 0; i < 200; i++)); do
        if "$@"; then return 0; fi
        sleep 0.1
    done
    return 1
}

# A free display number, chosen by Xvfb itself.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
wait_for test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=:$(cat "$work/display")
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY

# A sound server with a null sink, so that the program finds a sound output as on a desktop.
if command -v pulseaudio >/dev/null; then
    pulseaudio -n --daemonize=no --exit-idle-time=-1 -L module-native-protocol-unix \
        -L "module-null-sink sink_name=test_sink" >"$work/pulse.log" 2>&1 &
    pulse=$!
    wait_for test -S "$XDG_RUNTIME_DIR/pulse/native" || fail "PulseAudio did not start"
fi

"$program" >"$work/wakewell.log" 2>&1 &
app=$!
find_window() { window=$(xdotool search --name '^Wakewell of Your$' 2>/dev/null | head -n 1); [ -n "$window" ]; }
wait_for find_window || fail "no window titled \"Wakewell of Your\""

client_size() { xwininfo -id "$window" | awk '/^  Width:/ {w = $2} /^  Height:/ {h = $2} END {print w "x" h}'; }
expect_size() {
    is_size() { [ "$(client_size)" = "$1" ]; }
    wait_for is_size "$1" || fail "client size $(client_size), expected $1 ($2)"
}
expect_title() {
    local title
    title=$(xdotool getwindowname "$window")
    [ "$title" = "$1" ] || fail "title \"$title\", expected \"$1\""
}
screenshot() {
    # The size is there; give the window a moment to paint it.
    sleep 0.5
    import -window "$window" "${SCREENSHOT_DIR:-$work}/$1.png"
}
# Client pixels: Command2 at (256, 8) 25 x 17, Picture1 at (40, 96) 81 x 65.
click_at() { xdotool mousemove --window "$window" "$1" "$2" click 1; }
click_command2() { click_at 268 16; }

expect_size 294x172 "normal"
expect_title "Wakewell of Your"
screenshot normal

click_command2
expect_size 441x350 "enlarged"
expect_title "up"
screenshot enlarged

# The first click on the picture gives the normal size back; the hundredth, at the normal
# size, the full one. Clicks alternate between two points far apart, so that no two make a
# double click.
click_at 55 128
expect_size 294x172 "normal after a click on the picture"
expect_title "up"
clicks=()
for ((i = 2; i <= 100; i++)); do
    clicks+=(mousemove --window "$window" $((i % 2 ? 55 : 105)) 128 click --delay 1 1)
done
xdotool "${clicks[@]}"
expect_size 841x253 "full"
screenshot full

"$closewindow" "$window"
ended() { ! kill -0 "$app" 2>/dev/null; }
wait_for ended || fail "the program did not end when its window was closed"
status=0
wait "$app" || status=$?
app=
[ "$status" -eq 0 ] || fail "the program ended with status $status: $(cat "$work/wakewell.log")"
echo "seen on screen: 294x172, 441x350, 841x253; closed with status 0"
