# SPDX-License-Identifier: GPL-3.0-or-later
# What the tests that run Wakewell in an X server of their own share; sourced by them. They
# keep their files in the folder $work, the window's id in $window, the program's process id in
# $app and its output in $work/wakewell.log.

fail() { echo "FAIL: $*" >&2; exit 1; }

# Runs a command every 0.1 s until it succeeds, for up to WAIT_SECONDS (default 20): machines
# are shared and slow at times, and only the outcome counts, not how long it took.
wait_for() {
    local i
    for ((i = 0; i < ${WAIT_SECONDS:-20} * 10; i++)); do
        if "$@"; then return 0; fi
        sleep 0.1
    done
    return 1
}

# Starts Xvfb on a free display, which it chooses itself, with a screen of the size given
# (default 1280x1024), and exports DISPLAY; its process id is left in $xvfb.
start_xvfb() {
    Xvfb -displayfd 3 -screen 0 "${1:-1280x1024}x24" -nolisten tcp \
        3>"$work/display" 2>"$work/xvfb.log" &
    xvfb=$!
    wait_for test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
    export DISPLAY=:$(cat "$work/display")
}

find_window() {
    window=$(xdotool search --name '^Wakewell of Your$' 2>/dev/null | head -n 1)
    [ -n "$window" ]
}

# Closes the window as a window manager's close box does, with the closewindow helper given,
# and fails unless the program then ends, with status 0.
close_window() {
    "$1" "$window"
    ended() { ! kill -0 "$app" 2>/dev/null; }
    wait_for ended || fail "the program did not end when its window was closed"
    local status=0
    wait "$app" || status=$?
    app=
    [ "$status" -eq 0 ] || fail "the program ended with status $status: $(cat "$work/wakewell.log")"
}
