#!/usr/bin/env bash
# Installs what is missing, builds Wakewell and runs its measurements, printing one table of
# figures and their goals, headed by the machine it ran on. The figures decide nothing. The
# real program runs in an X server of its own (Xvfb) with a private PulseAudio; the browse
# figures on Qt's offscreen platform. Takes about three minutes.
# BUILD_DIR names the build folder (default build-test), IDLE_SECONDS the idle time (60).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >/dev/null
dir=${BUILD_DIR:-build-test}
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" --target startup_bench night_bench browse_bench >/dev/null
log=$(mktemp "${TMPDIR:-/tmp}/wakewell-bench.XXXXXX.log")
export QT_MEDIA_BACKEND=gstreamer

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | xargs)"
echo
echo "| figure | value | goal |"
echo "| --- | --- | --- |"
xvfb-run -a tests/audio/with-pulseaudio.sh "$dir/bench/startup_bench" 2>>"$log"
xvfb-run -a tests/audio/with-pulseaudio.sh "$dir/bench/night_bench" "${IDLE_SECONDS:-60}" 2>>"$log"
# browse_bench prints a table of its own, one line per folder size: its rows, turned into ours.
QT_QPA_PLATFORM=offscreen "$dir/bench/browse_bench" 3 2>>"$log" | awk 'NR > 1 {
    printf "| list %s files, CPU of the handler and layout (bare folder read %s ms) | %s ms | |\n", $1, $2, $3
    printf "| Add %s songs, CPU | %s ms | |\n", $1, $6
    printf "| Clear %s songs, CPU | %s ms | |\n", $1, $7 }'
echo
echo "(messages of the programs: $log)"
