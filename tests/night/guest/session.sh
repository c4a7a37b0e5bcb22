#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The seat user's session, which their login on tty1 runs: an X server on :0, then every
# command line that the night check's agent writes into the session's fifo, each started in
# the background, in this session, as the user would start a program.
export DISPLAY=:0 LANG=C.UTF-8
Xvfb :0 -screen 0 1280x1024x24 -nolisten tcp -ac >"$HOME/xvfb.log" 2>&1 &
fifo=/run/night/session.fifo
while [ ! -p "$fifo" ]; do sleep 0.2; done
echo "session $XDG_SESSION_ID ready" >"$HOME/session.log"
while true; do
    while read -r line; do
        bash -c "$line" >>"$HOME/session.log" 2>&1 &
    done <"$fifo"
done
