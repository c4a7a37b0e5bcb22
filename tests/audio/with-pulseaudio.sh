#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command with a sound output but no sound hardware: a private sound server whose one
# sink, test_sink, plays into nothing. What was played can be recorded from test_sink.monitor
# (parec -d test_sink.monitor). The server is PulseAudio, or with --pipewire PipeWire as
# Debian's desktop runs it: pipewire, WirePlumber and pipewire-pulse, which speaks PulseAudio's
# protocol, with a D-Bus session bus of their own for WirePlumber. The server has its own
# runtime folder, and keeps its state and configuration there, so it neither meets nor
# disturbs a sound server of the user's nor remembers anything from one run to the next, needs
# no user session, and runs as root too. It is stopped when the command ends, also when this
# script is killed.
#
#   tests/audio/with-pulseaudio.sh [--pipewire] COMMAND [ARGUMENTS...]
#
# With PULSE_RECORD_TO naming a file, what the sink plays is recorded into it while the command
# runs, as raw samples: 16-bit little-endian, the left channel, 8000 per second. A program that
# cannot start parec itself (a Windows program under Wine) reads what it played there.
#
# Exits with the command's status, or 125 when the server could not be started.
set -euo pipefail

pipewire=false
if [ "${1:-}" = --pipewire ]; then
    pipewire=true
    shift
fi
if [ "$#" -eq 0 ]; then
    echo "usage: $0 [--pipewire] COMMAND [ARGUMENTS...]" >&2
    exit 2
fi

runtime=$(mktemp -d "${TMPDIR:-/tmp}/wakewell-pulse.XXXXXX")
servers=()
watchdog=""
recorder=""
stop_server() {
    [ -n "$watchdog" ] && kill "$watchdog" 2>/dev/null || true
    if [ -n "$recorder" ]; then
        kill -TERM "$recorder" 2>/dev/null || true
        wait "$recorder" 2>/dev/null || true
    fi
    # The server's programs in the reverse order of their start: the clients of the others
    # first.
    for ((i = ${#servers[@]} - 1; i >= 0; i--)); do
        kill "${servers[i]}" 2>/dev/null || true
        wait "${servers[i]}" 2>/dev/null || true
    done
    rm -rf "$runtime"
}
trap stop_server EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# serve LOG COMMAND...: starts a program of the server in the background, its output in
# LOG.log in the runtime folder.
serve() {
    local log=$runtime/$1.log
    shift
    "$@" </dev/null >"$log" 2>&1 &
    servers+=("$!")
}

# Clients find the server by this address alone and never start one of their own.
export XDG_RUNTIME_DIR=$runtime
if $pipewire; then
    export PULSE_SERVER=unix:$runtime/pulse/native
    # Configuration, WirePlumber's remembered volumes, the session bus and pipewire's socket,
    # all in the runtime folder, whatever a desktop session has set.
    home=(env -u PIPEWIRE_REMOTE -u PIPEWIRE_RUNTIME_DIR HOME="$runtime"
        XDG_CONFIG_HOME="$runtime" XDG_STATE_HOME="$runtime"
        DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime/bus")
    serve dbus dbus-daemon --session --address="unix:path=$runtime/bus" --nofork --nopidfile
    serve pipewire "${home[@]}" pipewire
    # The others connect to pipewire's socket at their start, and give up if it is not there.
    for _ in $(seq 100); do
        [ -S "$runtime/pipewire-0" ] && break
        sleep 0.1
    done
    serve wireplumber "${home[@]}" wireplumber
    serve pipewire-pulse "${home[@]}" pipewire-pulse
else
    export PULSE_SERVER=unix:$runtime/native
    # The server keeps its state and cookie in its own folder, not in the user's home.
    # Anonymous access: the socket lies in a folder that only this user can enter.
    serve pulseaudio env HOME="$runtime" pulseaudio -n --daemonize=no --exit-idle-time=-1 \
        --use-pid-file=no --log-target=stderr \
        -L "module-native-protocol-unix auth-anonymous=1 socket=$runtime/native" \
        -L "module-null-sink sink_name=test_sink"
fi

# Should this script die without running its trap (SIGKILL), the server must not outlive it.
parent=$$
(
    trap - EXIT INT TERM HUP
    while kill -0 "$parent" 2>/dev/null; do sleep 1; done
    kill "${servers[@]}" 2>/dev/null
    sleep 1
    rm -rf "$runtime"
) </dev/null >/dev/null 2>&1 &
watchdog=$!

# Ready once the sink is the default output: on PipeWire, once WirePlumber has made it so.
ready() {
    pactl info >/dev/null 2>&1 || return 1
    if $pipewire && ! pactl list short sinks | grep -q test_sink; then
        pactl load-module module-null-sink sink_name=test_sink >/dev/null || return 1
    fi
    pactl set-default-sink test_sink >/dev/null 2>&1 || return 1
    [ "$(pactl get-default-sink 2>/dev/null)" = test_sink ]
}
started=false
for _ in $(seq 100); do
    if ready; then
        started=true
        break
    fi
    kill -0 "${servers[@]}" 2>/dev/null || break
    sleep 0.1
done
if ! $started; then
    echo "$0: the sound server did not start:" >&2
    tail -n 20 "$runtime"/*.log >&2 2>/dev/null || true
    exit 125
fi

if [ -n "${PULSE_RECORD_TO:-}" ]; then
    # The sink's left channel alone: a one-channel recording of both would be their mean on
    # PulseAudio and their sum over the square root of 2 on PipeWire, 3 dB louder.
    # parec ends when the sink goes, as a test may take it away for a moment: it is started
    # again once the sink is back, and the recording goes on after the gap.
    : >"$PULSE_RECORD_TO"
    (
        stopping=false
        parec=""
        # Interrupted, parec writes out what it holds.
        trap 'stopping=true; [ -z "$parec" ] || kill -INT "$parec" 2>/dev/null' TERM
        until $stopping || ! kill -0 "$parent" 2>/dev/null; do
            parec -d test_sink.monitor --format=s16le --channels=1 --channel-map=front-left \
                --rate=8000 --raw --latency-msec=20 >>"$PULSE_RECORD_TO" 2>/dev/null &
            parec=$!
            # A wait cut short by the signal is made again, for parec to finish writing.
            wait "$parec" || wait "$parec" || true
            $stopping || sleep 0.2
        done
    ) &
    recorder=$!
fi

status=0
"$@" || status=$?
if [ "$status" -ne 0 ]; then
    # What the server said, should it be the reason the command failed.
    echo "$0: the command failed ($status); the sound server's messages:" >&2
    tail -n 20 "$runtime"/*.log >&2 2>/dev/null || true
fi
exit "$status"
