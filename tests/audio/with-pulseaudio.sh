#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command with a sound output but no sound hardware: a private PulseAudio whose one
# sink, test_sink, plays into nothing. What was played can be recorded from test_sink.monitor
# (parec -d test_sink.monitor). The server has its own runtime folder, so it neither meets nor
# disturbs a sound server of the user's, needs no D-Bus session, and runs as root too. It is
# stopped when the command ends, also when this script is killed.
#
#   tests/audio/with-pulseaudio.sh COMMAND [ARGUMENTS...]
#
# With PULSE_RECORD_TO naming a file, what the sink plays is recorded into it while the command
# runs, as raw samples: 16-bit little-endian, one channel, 8000 per second. A program that
# cannot start parec itself (a Windows program under Wine) reads what it played there.
#
# Exits with the command's status, or 125 when the server could not be started.
set -euo pipefail

if [ "$#" -eq 0 ]; then
    echo "usage: $0 COMMAND [ARGUMENTS...]" >&2
    exit 2
fi

runtime=$(mktemp -d "${TMPDIR:-/tmp}/wakewell-pulse.XXXXXX")
server=""
watchdog=""
recorder=""
stop_server() {
    [ -n "$watchdog" ] && kill "$watchdog" 2>/dev/null || true
    if [ -n "$recorder" ]; then
        # Interrupted, parec writes out what it holds.
        kill -INT "$recorder" 2>/dev/null || true
        wait "$recorder" 2>/dev/null || true
    fi
    if [ -n "$server" ]; then
        kill "$server" 2>/dev/null || true
        wait "$server" 2>/dev/null || true
    fi
    rm -rf "$runtime"
}
trap stop_server EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# Clients find the server by this address alone and never start one of their own.
export XDG_RUNTIME_DIR=$runtime
export PULSE_SERVER=unix:$runtime/native
# The server keeps its state and cookie in its own folder, not in the user's home. Anonymous
# access: the socket lies in a folder that only this user can enter.
HOME=$runtime pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
    --log-target=file:"$runtime/pulseaudio.log" \
    -L "module-native-protocol-unix auth-anonymous=1 socket=$runtime/native" \
    -L "module-null-sink sink_name=test_sink" </dev/null &
server=$!

# Should this script die without running its trap (SIGKILL), the server must not outlive it.
parent=$$
(
    trap - EXIT INT TERM HUP
    while kill -0 "$parent" 2>/dev/null; do sleep 1; done
    kill "$server" 2>/dev/null
    sleep 1
    rm -rf "$runtime"
) </dev/null >/dev/null 2>&1 &
watchdog=$!

for _ in $(seq 100); do
    pactl info >/dev/null 2>&1 && break
    if ! kill -0 "$server" 2>/dev/null; then break; fi
    sleep 0.1
done
if ! pactl set-default-sink test_sink >/dev/null 2>&1; then
    echo "$0: PulseAudio did not start:" >&2
    cat "$runtime/pulseaudio.log" >&2 2>/dev/null || true
    exit 125
fi

if [ -n "${PULSE_RECORD_TO:-}" ]; then
    parec -d test_sink.monitor --format=s16le --channels=1 --rate=8000 --raw --latency-msec=20 \
        >"$PULSE_RECORD_TO" &
    recorder=$!
fi

status=0
"$@" || status=$?
exit "$status"
