#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds Wakewell and runs its measurements, printing one table of
# figures and their goals, headed by the machine it ran on. The figures decide nothing. The
# real program runs in an X server of its own (Xvfb) with a private PulseAudio; the browse
# figures on Qt's offscreen platform; the wake helper on a system bus of its own, as root.
# Takes about three minutes.
# BUILD_DIR names the build folder (default build-test), IDLE_SECONDS the idle time (60).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh run test >/dev/null
dir=${BUILD_DIR:-build-test}
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" --target wakewell barewindow windowstart blocking_bench night_bench sound_bench \
    browse_bench waker_bench >/dev/null
log=$(mktemp "${TMPDIR:-/tmp}/wakewell-bench.XXXXXX.log")

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | xargs)"
echo
echo "| figure | value | goal |"
echo "| --- | --- | --- |"
# Wakewell and a bare Qt window that shows the time from its first frame, each started three
# times in turn in one X server, with a session bus as on a desktop: spawn to the window mapped,
# the processor time used until then, memory after 10 idle seconds, the processor time used in
# the last 5 of them, the threads it has then, and spawn to the window's first drawing (mapped,
# it is still blank until the program draws it). Wakewell also with a countdown of 10 hours set
# as soon as its window is drawn, by clicks and keys as a person sets it.
set_alarm='xdotool mousemove --window $WINDOW 240 89 click 1 key ctrl+a type 10 &&
    xdotool mousemove --window $WINDOW 16 88 click 1'
runs=$(dbus-run-session -- xvfb-run -a tests/audio/with-pulseaudio.sh bash -c "for i in 1 2 3; do
    echo wakewell \$('$dir/bench/windowstart' 'Wakewell of Your' 10 '$dir/wakewell')
    echo bare \$('$dir/bench/windowstart' 'bare window' 10 '$dir/bench/barewindow')
    echo alarm \$('$dir/bench/windowstart' --then '$set_alarm' 'Wakewell of Your' 10 '$dir/wakewell')
done" 2>>"$log")
median() { awk -v program="$1" -v field="$2" '$1 == program { print $field }' <<<"$runs" | sort -n | sed -n 2p; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
read -r ms bare_ms cpu bare_cpu kb bare_kb idle bare_idle <<<"$(median wakewell 2) $(median bare 2) \
    $(median wakewell 3) $(median bare 3) $(median wakewell 4) $(median bare 4) \
    $(median wakewell 5) $(median bare 5)"
read -r threads bare_threads drawn_ms bare_drawn_ms <<<"$(median wakewell 6) $(median bare 6) \
    $(median wakewell 7) $(median bare 7)"
read -r alarm_kb alarm_threads <<<"$(median alarm 4) $(median alarm 6)"
echo "| spawn to the window mapped, median of 3: Wakewell, a bare window | $ms ms, $bare_ms ms: $(ratio "$ms" "$bare_ms") times | |"
echo "| spawn to the window drawn, median of 3: Wakewell, a bare window | $drawn_ms ms, $bare_drawn_ms ms: $(ratio "$drawn_ms" "$bare_drawn_ms") times | within 1.3 times |"
echo "| processor time used by the map, median of 3: Wakewell, a bare window | $cpu ms, $bare_cpu ms: $(ratio "$cpu" "$bare_cpu") times | |"
echo "| resident memory after 10 s idle, median of 3: Wakewell, a bare window | $kb kB, $bare_kb kB: $(ratio "$kb" "$bare_kb") times | within 1.15 times |"
echo "| processor time in the last 5 of those idle seconds, median of 3: Wakewell, a bare window | $idle ms, $bare_idle ms | no more than the bare window's |"
echo "| threads after 10 s idle, median of 3: Wakewell, a bare window | $threads, $bare_threads | |"
echo "| resident memory and threads 10 s after a countdown is set, median of 3 | $alarm_kb kB ($(ratio "$alarm_kb" "$bare_kb") times the bare window's), $alarm_threads threads | |"
xvfb-run -a tests/audio/with-pulseaudio.sh "$dir/bench/blocking_bench" 2>>"$log"
xvfb-run -a tests/audio/with-pulseaudio.sh "$dir/bench/night_bench" "${IDLE_SECONDS:-60}" 2>>"$log"
tests/audio/with-pulseaudio.sh "$dir/bench/sound_bench" 2>>"$log"
# The wake helper under a flood, as test_waker runs it: started as nobody, which needs root.
if [ "$(id -u)" = 0 ]; then "$dir/bench/waker_bench" 2>>"$log"; fi
# browse_bench prints a table of its own, one line per folder size: its rows, turned into ours.
QT_QPA_PLATFORM=offscreen "$dir/bench/browse_bench" 3 2>>"$log" | awk 'NR > 1 {
    printf "| list %s files, CPU of the handler and layout (bare folder read %s ms) | %s ms | |\n", $1, $2, $3
    printf "| Add %s songs, CPU | %s ms | |\n", $1, $6
    printf "| Clear %s songs, CPU | %s ms | |\n", $1, $7 }'
echo
echo "(messages of the programs: $log)"
