# SPDX-License-Identifier: GPL-3.0-or-later
"""The night check's agent in the virtual machine, run as root by systemd.

It answers the host on the second serial port (/dev/ttyS1), one JSON request a line; each
answer, and each event it reports unasked, is a line "NIGHT " followed by JSON. It holds the
lid, a uinput switch that logind takes for the laptop's lid, and it watches the window's
title. Times are the guest's clock, in seconds since the epoch.
"""

import json
import os
import subprocess
import termios
import threading
import time
import tty

import evdev
from evdev import ecodes

SESSION_FIFO = "/run/night/session.fifo"
USER = "sleeper"

port = os.open("/dev/ttyS1", os.O_RDWR | os.O_NOCTTY)
tty.setraw(port)
attributes = termios.tcgetattr(port)
attributes[3] &= ~termios.ECHO
termios.tcsetattr(port, termios.TCSANOW, attributes)
write_lock = threading.Lock()


def send(message):
    line = ("NIGHT " + json.dumps(message) + "\n").encode()
    with write_lock:
        while line:
            line = line[os.write(port, line):]


lid = evdev.UInput({ecodes.EV_SW: [ecodes.SW_LID]}, name="Night check lid")


def set_lid(closed):
    lid.write(ecodes.EV_SW, ecodes.SW_LID, 1 if closed else 0)
    lid.syn()


def user_environment():
    uid = int(subprocess.run(["id", "-u", USER], capture_output=True, text=True).stdout)
    runtime = f"/run/user/{uid}"
    return {"DISPLAY": ":0", "XDG_RUNTIME_DIR": runtime, "LANG": "C.UTF-8",
            "DBUS_SESSION_BUS_ADDRESS": f"unix:path={runtime}/bus",
            "PATH": "/usr/local/bin:/usr/bin:/bin", "HOME": f"/home/{USER}"}


def shell(request):
    """Runs a bash command line as root, or as the seat's user with the session's display,
    runtime folder and bus; with "at" (a fraction of a second) it starts at that point of a
    second, so that what it does falls well inside the second."""
    command = ["bash", "-c", request["cmd"]]
    env = dict(os.environ, DISPLAY=":0")
    if request.get("user"):
        env = user_environment()
        command = ["/usr/sbin/runuser", "-u", request["user"], "--"] + command
    if "at" in request:
        now = time.time()
        time.sleep((request["at"] - now % 1) % 1)
    started = time.time()
    try:
        done = subprocess.run(command, env=env, capture_output=True, text=True,
                              timeout=request.get("timeout", 60))
        rc, out = done.returncode, done.stdout + done.stderr
    except subprocess.TimeoutExpired as e:
        rc, out = "timeout", (e.stdout or b"").decode(errors="replace")
    return {"rc": rc, "out": out[-request.get("limit", 20000):], "started": started,
            "ended": time.time()}


def in_session(request):
    """Starts a command line in the seat user's logged-in session, whose login shell reads
    the session's fifo, so that it runs in the session as a program started there would."""
    with open(SESSION_FIFO, "w") as fifo:
        fifo.write(request["cmd"].replace("\n", " ") + "\n")
    return {"rc": 0}


watching = set()


def watch_title(request):
    """Reports every title that the window takes, with the time it was seen."""
    window = request["window"]
    if window in watching:
        return {"rc": 0}
    watching.add(window)

    def watch():
        spy = subprocess.Popen(["xprop", "-spy", "-id", window, "_NET_WM_NAME"],
                               env=dict(os.environ, DISPLAY=":0"), stdout=subprocess.PIPE,
                               text=True)
        for line in spy.stdout:
            seen = time.time()
            title = line.split(" = ", 1)[-1].strip().strip('"')
            send({"event": "title", "t": seen, "title": title})
        watching.discard(window)

    threading.Thread(target=watch, daemon=True).start()
    return {"rc": 0}


def answer(request):
    op = request.get("op")
    if op == "ping":
        return {"t": time.time()}
    if op == "lid":
        set_lid(request["closed"])
        return {"t": time.time()}
    if op == "sh":
        return shell(request)
    if op == "session":
        return in_session(request)
    if op == "watch_title":
        return watch_title(request)
    return {"error": f"unknown op {op}"}


def serve(request):
    try:
        reply = answer(request)
    except Exception as e:  # the host reads the failure instead of waiting for an answer
        reply = {"error": repr(e)}
    reply["id"] = request.get("id")
    send(reply)


os.makedirs(os.path.dirname(SESSION_FIFO), exist_ok=True)
if not os.path.exists(SESSION_FIFO):
    os.mkfifo(SESSION_FIFO)
# The seat user's login shell reads it.
os.chown(SESSION_FIFO, int(subprocess.run(["id", "-u", USER], capture_output=True).stdout),
         int(subprocess.run(["id", "-g", USER], capture_output=True).stdout))
os.chmod(SESSION_FIFO, 0o600)
send({"event": "ready", "t": time.time()})
pending = b""
while True:
    chunk = os.read(port, 4096)
    pending += chunk
    while b"\n" in pending:
        line, pending = pending.split(b"\n", 1)
        line = line.strip()
        if not line.startswith(b"{"):
            continue
        try:
            request = json.loads(line)
        except ValueError:
            continue
        threading.Thread(target=serve, args=(request,), daemon=True).start()
