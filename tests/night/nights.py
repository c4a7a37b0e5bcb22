# SPDX-License-Identifier: GPL-3.0-or-later
"""Boots the night check's virtual machine and runs the nights in it, one line each.

The host follows the machine over QMP (SUSPEND and WAKEUP, with QEMU's own timestamps), hears
its sound card in the WAV file that QEMU writes (watched as it grows), and asks the agent in
the guest (tests/night/guest/agent.py, on the second serial port) to drive the window as a
person would, close and open the lid, and report the window's titles. It is the watchdog too:
a machine that sleeps past its alarm is woken from outside, and that night fails.
"""

import argparse
import array
import base64
import collections
import gzip
import json
import math
import operator
import os
import re
import socket
import subprocess
import sys
import threading
import time
import wave

# Client pixels of the window's controls: twips / 15, at their middle.
V_BUTTON = (268, 16)
OPTION1 = (20, 56)
OPTION2 = (16, 88)
TEXT2 = (240, 57)
TEXT3 = (240, 89)
TEXT4 = (240, 113)
TEXT5 = (240, 137)
STOP_SONG = (240, 184)
DRIVE_BOX = (72, 186)
FIRST_FILE = (60, 207)
ADD = (56, 308)

# How long after the alarm's second a sleeping machine is woken from outside.
WATCHDOG_SECONDS = 30
# The song as a person hears it: it starts within SONG_WITHIN seconds of the alarm's second
# (never before it), and of its first SONG_SPAN seconds, SONG_HELD have the first song's own
# pitch and at most ODD_SOUND anything else (the guest's sound stutters under emulation, and a
# jump in the wave is no pitch); Stop Song silences it within STOP_WITHIN seconds of the click.
SONG_WITHIN = 5
SONG_SPAN = 5
SONG_HELD = 3
ODD_SOUND = 0.5
STOP_WITHIN = 1
# The machine wakes by its armed timer WAKE_AHEAD seconds before the alarm, give or take
# WAKE_SLACK (the real-time clock counts whole seconds); put to sleep later than that, within
# SOON_AFTER_SUSPEND seconds of the suspend.
WAKE_AHEAD = 60
WAKE_SLACK = 3
SOON_AFTER_SUSPEND = 10
SILENCE = 300  # the loudest sample of silence, of 32767
BLOCK = 0.1  # seconds of the recording judged at once, in parts of PART seconds
PART = 0.02
# The wake helper's call that arms a wake, with a deadline in microseconds since the epoch;
# the polkit action that it asks for, and its refusal.
WAKE_CALL = "SetWake"
WAKE_ACTION = "io.github.wakewell.Waker.wake"
NOT_AUTHORIZED = "io.github.wakewell.Waker.Error.NotAuthorized"
# The guest's user at the seat, and a user with no session at all.
SEAT_USER = "sleeper"
STRANGER = "stranger"
# An exit status of its own when the check itself broke (the machine did not boot, its agent
# did not answer): no verdict on Wakewell, and worth trying again.
BROKEN = 75


class Broken(Exception):
    """The check itself could not go on: no verdict on the nights."""


class Unanswered(RuntimeError):
    """The guest's agent did not answer."""


def log(text):
    print(f"[{time.strftime('%H:%M:%S')}] {text}", flush=True)


def lines_of(file):
    """The lines read from a socket's file until the other side goes away."""
    try:
        yield from file
    except OSError:
        return


def connected(path):
    """A socket connected to QEMU's Unix socket at path, which QEMU makes as it starts."""
    sock = socket.socket(socket.AF_UNIX)
    for _ in range(100):
        try:
            sock.connect(path)
            break
        except OSError:
            time.sleep(0.1)
    return sock


class Qmp:
    """QEMU's monitor: commands, and the events with the host's time of each."""

    def __init__(self, path):
        self.sock = connected(path)
        self.file = self.sock.makefile("rw")
        self.events = []
        self.replies = []
        self.cond = threading.Condition()
        json.loads(self.file.readline())
        threading.Thread(target=self._read, daemon=True).start()
        self.command("qmp_capabilities")

    def _read(self):
        for line in lines_of(self.file):
            message = json.loads(line)
            with self.cond:
                if "event" in message:
                    stamp = message["timestamp"]
                    message["t"] = stamp["seconds"] + stamp["microseconds"] / 1e6
                    self.events.append(message)
                else:
                    self.replies.append(message)
                self.cond.notify_all()

    def command(self, name, **arguments):
        with self.cond:
            self.file.write(json.dumps({"execute": name, "arguments": arguments}) + "\n")
            self.file.flush()
            self.cond.wait_for(lambda: self.replies, timeout=30)
            return self.replies.pop(0) if self.replies else None

    def status(self):
        return self.command("query-status")["return"]["status"]

    def wait_event(self, name, since, until):
        """The first event of that name at or after the host time since, waiting until the
        host time until; None if none came."""
        def found():
            return next((e for e in self.events if e["event"] == name and e["t"] >= since), None)
        with self.cond:
            self.cond.wait_for(lambda: found() or time.time() >= until,
                               timeout=max(0, until - time.time()) + 0.1)
            return found()


class Agent:
    """The guest's agent, over the second serial port."""

    def __init__(self, path):
        self.sock = connected(path)
        self.file = self.sock.makefile("rwb")
        self.cond = threading.Condition()
        self.answers = {}
        self.events = []
        self.next_id = 0
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in lines_of(self.file):
            received = time.time()
            start = line.find(b"NIGHT {")
            if start < 0:
                continue
            try:
                message = json.loads(line[start + 6:])
            except ValueError:
                continue
            message["host_t"] = received
            with self.cond:
                if "event" in message:
                    self.events.append(message)
                else:
                    self.answers[message["id"]] = message
                self.cond.notify_all()

    def ask(self, op, wait=90, **request):
        with self.cond:
            self.next_id += 1
            ident = self.next_id
        request.update(op=op, id=ident)
        self.file.write(json.dumps(request).encode() + b"\n")
        self.file.flush()
        with self.cond:
            self.cond.wait_for(lambda: ident in self.answers, timeout=wait)
            answer = self.answers.pop(ident, None)
        if answer is None:
            raise Unanswered(f"the agent did not answer {request}")
        if "error" in answer:
            raise RuntimeError(f"the agent failed {request}: {answer['error']}")
        return answer

    def settle(self, seconds=60):
        """Waits for the agent to answer after a boot or a wake: what the host sends while
        the guest's serial port resumes is lost."""
        deadline = time.time() + seconds
        while True:
            try:
                return self.ask("ping", wait=2)
            except Unanswered:
                if time.time() > deadline:
                    raise

    def sh(self, cmd, user=None, **more):
        return self.ask("sh", wait=more.get("timeout", 60) + 30, cmd=cmd, user=user, **more)

    def offset(self):
        """The guest's clock less the host's, from a ping's middle."""
        sent = time.time()
        answer = self.ask("ping", wait=20)
        return answer["t"] - (sent + answer["host_t"]) / 2

    def titles_after(self, t):
        with self.cond:
            return [e for e in self.events if e["event"] == "title" and e["t"] >= t]


class Block:
    """BLOCK seconds of the recording: when the host saw it written, how loud it was, and
    which song's pitch it holds (an index into the songs' pitches; None when silent, "other"
    for a sound that is no song's, with its pitch counted from its zero crossings)."""

    def __init__(self, host_t, peak, pitch, hertz):
        self.host_t, self.peak, self.pitch, self.hertz = host_t, peak, pitch, hertz

    def loud(self):
        return self.pitch is not None


class Recording:
    """The guest's sound card as QEMU writes it, watched as the file grows, in blocks."""

    def __init__(self, path, pitches):
        self.path = path
        self.pitches = pitches
        self.blocks = []
        self.lock = threading.Lock()
        threading.Thread(target=self._watch, daemon=True).start()

    def _watch(self):
        while not os.path.exists(self.path) or os.path.getsize(self.path) < 44:
            time.sleep(0.05)
        with open(self.path, "rb") as f:
            header = f.read(44)
            channels = int.from_bytes(header[22:24], "little")
            self.rate = int.from_bytes(header[24:28], "little")
            bits = int.from_bytes(header[34:36], "little")
            assert bits == 16, f"a {bits}-bit recording"
            size = round(self.rate * BLOCK) * 2 * channels
            part = round(self.rate * PART)
            # Each pitch's sine and cosine over a part, to weigh the part's first channel
            # against (one bin of a discrete Fourier transform).
            self.waves = [([math.sin(2 * math.pi * hz * i / self.rate) for i in range(part)],
                           [math.cos(2 * math.pi * hz * i / self.rate) for i in range(part)])
                          for hz in self.pitches]
            pending = b""
            while True:
                data = f.read()
                now = time.time()
                pending += data
                while len(pending) >= size:
                    samples = array.array("h", pending[:size])
                    pending = pending[size:]
                    mono = samples[::channels]
                    pitch = self._pitch(mono)
                    hertz = None
                    if pitch == "other":
                        crossings = sum(1 for a, b in zip(mono, mono[1:]) if (a < 0) != (b < 0))
                        hertz = crossings * self.rate / (2 * len(mono))
                    with self.lock:
                        self.blocks.append(Block(now, max(max(samples), -min(samples)), pitch,
                                                 hertz))
                time.sleep(0.05)

    def _pitch(self, mono):
        """The pitch that most of a block's sounding parts hold: a song's (of 3 parts in 5,
        at least), "other", or None when all are silent."""
        votes = collections.Counter()
        part = len(self.waves[0][0])
        for start in range(0, len(mono) - part + 1, part):
            x = mono[start:start + part]
            if max(max(x), -min(x)) <= SILENCE:
                continue
            energy = sum(map(operator.mul, x, x))
            votes["other"] += 1
            for index, (sine, cosine) in enumerate(self.waves):
                s = sum(map(operator.mul, x, sine))
                c = sum(map(operator.mul, x, cosine))
                # 1 for a pure tone of that pitch, near 0 for any other sound.
                if 2 * (s * s + c * c) / (part * energy) > 0.6:
                    votes["other"] -= 1
                    votes[index] += 1
                    break
        if not sum(votes.values()):
            return None
        pitch, count = votes.most_common(1)[0]
        return pitch if count >= 0.6 * sum(votes.values()) else "other"

    def after(self, t):
        """The blocks that the host saw written at or after host time t."""
        with self.lock:
            return [b for b in self.blocks if b.host_t >= t]


class Night:
    """One night's figures, in seconds relative to the alarm's second (the guest's clock)."""

    def __init__(self, name):
        self.name = name
        self.failures = []
        self.broken = None
        self.slept = self.woke = self.title = self.sound = self.silent = None
        self.notes = []

    def fail(self, reason):
        self.failures.append(reason)

    def line(self):
        def at(value):
            return "-" if value is None else f"{value:+.1f}s"
        if self.broken:
            seen = "".join(f"; seen before: {failure}" for failure in self.failures)
            verdict = f"BROKEN, no verdict ({self.broken}{seen})"
        else:
            verdict = "pass" if not self.failures else f"FAIL ({'; '.join(self.failures)})"
        silent = "" if self.silent is None else f", silent {self.silent:.1f}s after Stop Song"
        return (f"night {self.name}: {verdict}; slept at {at(self.slept)}, woke at "
                f"{at(self.woke)}, title at {at(self.title)}, sound at {at(self.sound)}{silent}")


class Check:
    def __init__(self, args):
        self.args = args
        self.work = args.work
        self.wav = os.path.join(self.work, "sound.wav")
        self.qemu = None
        self.window = None
        # Host times at which the machine slept when it had to be awake, and was woken from
        # outside: each fails the night it falls in.
        self.host_wakes = []

    # -- the machine -----------------------------------------------------------------------

    def boot(self):
        kvm = os.path.exists("/dev/kvm") and hardware_virtualization()
        command = [
            "qemu-system-x86_64", "-machine", "pc", "-accel", "kvm" if kvm else "tcg",
            "-m", "2048", "-smp", str(self.args.smp), "-nographic", "-no-reboot",
            "-kernel", self.args.kernel, "-initrd", self.args.initrd,
            "-append", "root=/dev/vda rw console=ttyS0",
            "-drive", f"file={self.args.image},if=virtio,format=raw,snapshot=on",
            "-drive", f"file={self.args.songs},if=virtio,format=raw,snapshot=on",
            "-serial", f"file:{self.work}/console.log",
            "-chardev", f"socket,id=agent,path={self.work}/agent.sock,server=on,wait=off",
            "-device", "isa-serial,chardev=agent",
            "-qmp", f"unix:{self.work}/qmp.sock,server=on,wait=off",
            "-audiodev", f"wav,id=snd0,path={self.wav}",
            "-device", "intel-hda", "-device", "hda-duplex,audiodev=snd0",
            "-rtc", "base=utc,clock=host", "-nic", "none",
        ]
        self.qemu = subprocess.Popen(command, stdin=subprocess.DEVNULL,
                                     stdout=open(f"{self.work}/qemu.log", "w"),
                                     stderr=subprocess.STDOUT)
        time.sleep(0.5)
        try:
            self.qmp = Qmp(f"{self.work}/qmp.sock")
            self.agent = Agent(f"{self.work}/agent.sock")
            self.recording = Recording(self.wav, self.args.pitches)
            self.agent.settle(600)
        except (OSError, ValueError, Unanswered) as e:
            raise Broken(f"the machine did not boot to its agent: {e}") from e

    def stop(self):
        if self.qemu and self.qemu.poll() is None:
            try:
                self.qmp.command("quit")
            except Exception:
                pass
            try:
                self.qemu.wait(10)
            except subprocess.TimeoutExpired:
                self.qemu.kill()

    def awake(self, expected=False):
        """Wakes the machine from outside if it sleeps; True if it had to. Unless the night
        left it asleep on purpose (expected), that fails the night."""
        if self.qmp.status() != "suspended":
            return False
        since = time.time()
        if not expected:
            self.host_wakes.append(since)
        self.qmp.command("system_wakeup")
        self.qmp.wait_event("WAKEUP", since - 1, time.time() + 30)
        self.agent.settle()
        return True

    # -- the seat user's session and the window --------------------------------------------

    def user(self, cmd, **more):
        return self.agent.sh(cmd, user=SEAT_USER, **more)

    def xdotool(self, *actions, at=None, wait=None):
        """One xdotool call over the window; returns the agent's answer."""
        more = {} if at is None else {"at": at}
        if wait is not None:
            more["timeout"] = wait
        answer = self.user("xdotool " + " ".join(str(a) for a in actions), **more)
        if answer["rc"] != 0:
            raise RuntimeError(f"xdotool {actions}: {answer['out']}")
        return answer

    def click(self, point, *then, at=None, wait=None):
        return self.xdotool("mousemove", "--window", self.window, point[0], point[1],
                            "click", "1", *then, at=at, wait=wait)

    def type_into(self, point, text):
        self.click(point, "key", "ctrl+a", "BackSpace", *(("type", f"'{text}'") if text else ()))

    def session(self):
        """The seat's session is logged in and active, with its X server, sound server and
        Wakewell's window; the songs of the music disk are in the playlist."""
        wait = 'for i in $(seq 600); do %s && exit 0; sleep 0.2; done; exit 1'
        answer = self.agent.sh(wait % "grep -q ready /home/sleeper/session.log 2>/dev/null",
                               timeout=180)
        if answer["rc"] != 0:
            raise Broken("the seat user's session never started")
        seat = self.agent.sh("loginctl show-session $(loginctl show-user sleeper -p Sessions"
                             " --value | cut -d' ' -f1) -p Seat -p Active -p Class -p TTY")
        log("session: " + seat["out"].replace("\n", " "))
        # The sound card's output, not the server's stand-in while it has none (auto_null).
        answer = self.user(wait % "pactl get-default-sink 2>/dev/null | grep -q '^alsa_output'",
                           timeout=120)
        if answer["rc"] != 0:
            raise Broken("the guest's sound server never offered the sound card")
        sink = self.user("pactl get-default-sink")
        log(f"sound server up, default sink {sink['out'].strip()}")
        prefix = os.environ.get("NIGHT_WAKEWELL_PREFIX", "")
        self.agent.ask("session", cmd=f"{prefix} wakewell >$HOME/wakewell.log 2>&1")
        answer = self.user(wait % "xdotool search --name '^Wakewell of Your$' 2>/dev/null",
                           timeout=120)
        if answer["rc"] != 0:
            raise RuntimeError("no window titled \"Wakewell of Your\"")
        self.window = answer["out"].split()[0]
        # A window of the program's over its own at the start is told and answered.
        time.sleep(2)
        covering = self.covering()
        if covering:
            log(f"at the start, over the window: {', '.join(covering.values())}; "
                "Return pressed on each")
            self.answer(covering)
        self.agent.ask("watch_title", window=self.window)
        self.click(V_BUTTON)
        time.sleep(1)
        self.click(DRIVE_BOX, "key", "Down", "Down")
        time.sleep(2)
        # The three songs, the first to the last: the disk's lost+found follows them.
        self.click(FIRST_FILE, "key", "shift+Down", "shift+Down")
        self.click(ADD)
        time.sleep(1)

    # -- what covers the window ------------------------------------------------------------

    def covering(self, picture=None):
        """Wakewell's windows that lie over its main window, by id: mapped top-level windows
        of the program's, above it in the stacking order (no window manager runs), that
        overlap it. With picture, the screen's part where the window is is photographed into
        that file too."""
        answer = self.agent.sh(
            "xwininfo -root -children 2>&1; echo '=='; "
            "xdotool search --onlyvisible --class wakewell 2>&1; echo '=='; "
            + ("xwd -root -silent | gzip -1 | base64 -w0" if picture else "true"),
            limit=20_000_000, timeout=120)
        tree, visible, photo = answer["out"].split("==\n", 2)
        mapped = {int(w) for w in visible.split()}
        # xwininfo lists the root's children from the top of the stack down:
        #   0x200010 "Wakewell": ("wakewell" "Wakewell")  409x72+0+10  +0+10
        windows = []
        for line in tree.splitlines():
            found = re.match(r"\s*(0x[0-9a-f]+) (.*?)\s+(\d+)x(\d+)\S*\s+\+?(-?\d+)\+?(-?\d+)$",
                             line)
            if found:
                ident, name, *box = found.groups()
                windows.append((int(ident, 16), name.split(":")[0], tuple(map(int, box))))
        main = int(self.window)
        above = []
        for ident, name, box in windows:
            if ident == main:
                if picture:
                    self.photo(photo, box, picture)
                return {ident: name for ident, name, other in above
                        if ident in mapped and overlap(box, other)}
            above.append((ident, name, box))
        raise RuntimeError(f"the window {self.window} is not on the screen")

    def photo(self, data, box, path):
        """Saves the part box (width, height, x, y) of a screenshot in X's own format (xwd,
        gzipped, base64) as a PNG."""
        width, height, x, y = box
        try:
            screen = gzip.decompress(base64.b64decode(data))
        except (ValueError, OSError) as e:
            log(f"no picture for {path}: {e}")
            return
        subprocess.run(["convert", "xwd:-", "-crop", f"{width}x{height}+{x}+{y}", "+repage",
                        f"png:{path}"], input=screen, check=True)

    def answer(self, windows):
        """Presses Return on each of the program's windows given (message boxes), as a person
        would to be rid of them."""
        for ident in windows:
            # No window manager runs: the box is given the focus itself.
            self.user(f"xdotool windowfocus {ident} sleep 0.3 key Return")

    def photograph(self, night, moment):
        """Photographs the window into NIGHT-MOMENT.png in the work folder, and fails the
        night when anything of Wakewell's covers it."""
        picture = os.path.join(self.work, f"{night.name}-{moment}.png")
        covering = self.covering(picture)
        if covering:
            night.fail(f"{moment}, over the window: {', '.join(covering.values())}")
        return covering

    # -- the alarm -------------------------------------------------------------------------

    def set_countdown(self, seconds):
        """Types a countdown with the mode off, then selects it early in a second: the alarm's
        second is the next whole second after that click plus the countdown. Returns it in
        the guest's clock. A click that may have fallen into the next second (a busy machine)
        is made again."""
        for _ in range(5):
            self.clear_alarm()
            self.type_into(TEXT3, str(seconds // 3600))
            self.type_into(TEXT4, str(seconds // 60 % 60))
            self.type_into(TEXT5, str(seconds % 60))
            self.xdotool("mousemove", "--window", self.window, *OPTION2)
            # As root, which spares the user's login: the X server takes any local client.
            answer = self.agent.sh("xdotool click 1", at=0.1)
            if int(answer["started"]) == int(answer["ended"]):
                return int(answer["started"]) + seconds + 1
        raise RuntimeError("every click on the countdown's button crossed a second")

    def clear_alarm(self):
        """No alarm: the time of day chosen, with no time in its field."""
        self.click(OPTION1)
        self.type_into(TEXT2, "")

    def set_time_of_day(self, seconds):
        """An alarm at a time of day, the given seconds ahead, typed as the clock shows it
        (the C locale's 24-hour time, UTC in the guest); returns its second."""
        alarm = int(self.agent.ask("ping")["t"]) + seconds
        self.type_into(TEXT2, time.strftime("%H:%M:%S", time.gmtime(alarm)))
        self.click(OPTION1)
        return alarm

    def armed(self, night):
        """Notes the wake helper as the alarm is set: its capabilities and timers, read while
        it runs (it leaves when it holds nothing)."""
        self.agent.sh("for i in $(seq 50); do pidof wakewell-waker && exit; sleep 0.2; done")
        time.sleep(1)
        night.notes.append(f"the helper as the alarm was set: {self.waker()}")

    def waker(self):
        """The wake helper's process: its effective capabilities and its armed timers."""
        answer = self.agent.sh(
            "pid=$(pidof wakewell-waker) || { echo 'no helper'; exit; };"
            " echo \"pid $pid $(grep CapEff /proc/$pid/status)\";"
            " grep -h '^it_value' /proc/$pid/fdinfo/* 2>/dev/null | tr '\\n' ' ' || true")
        return answer["out"].strip().replace("\n", " ")

    def wake_armed(self):
        """Whether the wake helper holds a running timer on the clock that wakes the machine
        (CLOCK_REALTIME_ALARM, 8)."""
        answer = self.agent.sh("pid=$(pidof wakewell-waker) || exit 0;"
                               " grep -h -A3 '^clockid: 8' /proc/$pid/fdinfo/* 2>/dev/null")
        return any(re.match(r"it_value: \((\d+), (\d+)\)", line) and
                   line != "it_value: (0, 0)" for line in answer["out"].splitlines())

    def locks(self):
        """The locks that logind holds for Wakewell: (what, mode) of each."""
        answer = self.agent.sh(
            "busctl --system --json=short call org.freedesktop.login1 /org/freedesktop/login1"
            " org.freedesktop.login1.Manager ListInhibitors; echo; pidof wakewell")
        listing, pid = answer["out"].strip().rsplit("\n", 1)
        return sorted({(what, mode) for what, _, _, mode, _, holder
                       in json.loads(listing)["data"][0] if str(holder) == pid.strip()})

    def said(self, since_line):
        """What Wakewell has written on standard error from the line since_line (from 1)."""
        return self.user(f"tail -n +{since_line} $HOME/wakewell.log")["out"]

    def log_lines(self):
        return int(self.user("wc -l <$HOME/wakewell.log")["out"].split()[0])

    # -- a night ---------------------------------------------------------------------------

    def wait_until_guest(self, t, offset):
        delay = t - offset - time.time()
        if delay > 0:
            time.sleep(delay)

    def ring(self, night, alarm, offset, since, sleeps=True, asleep_by=None, lid_closed=False):
        """From the alarm's approach to the song held: the machine's sleep after the host time
        since (by the host time asleep_by, or the alarm) and its wake, then the song, the
        title and the window; or, where it must not sleep, that it stayed awake. Returns the
        guest's clock less the host's."""
        alarm_host = alarm - offset
        if sleeps:
            offset = self.judge_wake(night, alarm, offset, since, asleep_by or alarm_host)
            alarm_host = alarm - offset
        # The song: started and held, or not at all; a sleep meanwhile fails the night.
        wakes = [e["t"] for e in self.qmp.events if e["event"] == "WAKEUP" and e["t"] >= since]
        awake_from = max(wakes, default=since)
        # A machine woken late (from outside) rings late: what it plays then is heard too.
        until = max(alarm_host, awake_from) + SONG_WITHIN + SONG_SPAN + 1
        while time.time() < until:
            again = self.qmp.wait_event("SUSPEND", awake_from, time.time())
            if again:
                night.fail(f"asleep at {again['t'] + offset - alarm:+.1f}s, before the song"
                           " was heard")
                if lid_closed:
                    self.agent.ask("lid", closed=False)
                self.awake()
                break
            time.sleep(0.2)
        self.judge_song(night, alarm, offset, since)
        self.note_title(night, alarm)
        self.photograph(night, "alarm")
        return offset

    def judge_wake(self, night, alarm, offset, since, asleep_by):
        """The machine slept after the host time since and woke by its own timer: about
        WAKE_AHEAD s before the alarm, or, put to sleep later than that, soon after."""
        slept = self.qmp.wait_event("SUSPEND", since, asleep_by)
        if slept is None:
            night.fail("never slept")
            return offset
        night.slept = slept["t"] + offset - alarm
        woke = self.qmp.wait_event("WAKEUP", slept["t"], alarm - offset + WATCHDOG_SECONDS)
        if woke is None:
            night.fail("slept through the alarm")
            self.awake()
            woke = self.qmp.wait_event("WAKEUP", slept["t"], time.time() + 5)
            log(f"asleep at the alarm + {WATCHDOG_SECONDS} s, woken from outside; "
                f"the helper: {self.waker()}")
        self.agent.settle()
        offset = self.agent.offset()
        night.woke = woke["t"] + offset - alarm
        if self.host_wakes and self.host_wakes[-1] >= slept["t"]:
            return offset
        if night.slept < -WAKE_AHEAD - SOON_AFTER_SUSPEND:
            if abs(night.woke + WAKE_AHEAD) > WAKE_SLACK:
                night.fail(f"woke at {night.woke:+.1f}s, not about {WAKE_AHEAD} s before the"
                           " alarm")
        elif night.woke - night.slept > SOON_AFTER_SUSPEND:
            night.fail(f"woke {night.woke - night.slept:.1f} s after the suspend, not within"
                       f" {SOON_AFTER_SUSPEND} s")
        return offset

    def judge_song(self, night, alarm, offset, since):
        """The song as a person hears it: nothing from the host time since until it starts,
        SONG_WITHIN s after the alarm's second at the latest; of its first SONG_SPAN s,
        SONG_HELD with the first song's pitch and at most ODD_SOUND of any other sound."""
        blocks = self.recording.after(since)
        loud = next((i for i, b in enumerate(blocks) if b.loud()), None)
        if loud is None:
            night.fail("no song heard")
            return
        night.sound = blocks[loud].host_t + offset - alarm
        if night.sound < -BLOCK - 0.5:
            night.fail(f"{self.heard(blocks[loud])} heard before the alarm")
        elif night.sound > SONG_WITHIN:
            night.fail(f"the sound came {night.sound:.1f} s after the alarm, not within"
                       f" {SONG_WITHIN} s")
        span = blocks[loud:loud + round(SONG_SPAN / BLOCK)]
        held = sum(BLOCK for b in span if b.pitch == 0)
        odd = collections.Counter(self.heard(b) for b in span if b.loud() and b.pitch != 0)
        if held < SONG_HELD or sum(odd.values()) * BLOCK > ODD_SOUND:
            night.fail(f"of the first {len(span) * BLOCK:.1f} s of sound, {held:.1f} s had the"
                       f" first song's {self.args.pitches[0]} Hz, and "
                       + (", ".join(f"{n * BLOCK:.1f} s {what}" for what, n in odd.most_common(3))
                          or "the rest was silent"))

    def heard(self, block):
        if block.pitch == "other":
            return f"a sound of about {round(block.hertz, -1):.0f} Hz, no song's"
        return f"song {block.pitch + 1}'s {self.args.pitches[block.pitch]} Hz"

    def note_title(self, night, alarm):
        titles = [e for e in self.agent.titles_after(alarm - 5)
                  if e["title"].startswith("Player - ")]
        if titles:
            night.title = titles[0]["t"] - alarm
        else:
            night.fail("the title never named the song")

    def stop_song(self, night, offset):
        """Clicks Stop Song while the first song still has most of its length to play, and
        judges that the recording falls silent within STOP_WITHIN s of the click. Returns the
        click's host time."""
        self.awake()
        sent = time.time()
        try:
            clicked = self.click(STOP_SONG, wait=20)["ended"] - offset
        except Unanswered:
            # The click went, and the machine slept before the agent could answer (a lid
            # closed): what was heard is judged from when it was asked.
            if self.qmp.status() != "suspended":
                raise
            clicked = sent
        if not [b for b in self.recording.after(clicked - 1) if b.loud() and b.host_t <= clicked]:
            night.fail("no music playing as Stop Song was clicked")
        time.sleep(max(0, clicked + STOP_WITHIN + 2 - time.time()))
        loud = [b for b in self.recording.after(clicked) if b.loud()]
        late = [b for b in loud if b.host_t > clicked + STOP_WITHIN]
        if late:
            night.fail(f"still heard {late[-1].host_t - clicked:.1f} s after Stop Song")
            # Rid of what is in the way, and silent, for the next night.
            if self.qmp.status() != "suspended":
                self.answer(self.covering())
                self.click(STOP_SONG)
        else:
            night.silent = max([0] + [b.host_t - clicked for b in loud])
        return clicked

    def lid_night(self, night, alarm, offset, since):
        """The lid closed 150 s before the alarm and left closed."""
        self.wait_until_guest(alarm - 150, offset)
        self.agent.ask("lid", closed=True)
        offset = self.ring(night, alarm, offset, since, lid_closed=True)
        clicked = self.stop_song(night, offset)
        # logind leaves a closed lid alone for 30 s after a wake (HoldoffTimeoutSec).
        woke = night.woke + alarm - offset if night.woke is not None else clicked
        again = self.qmp.wait_event("SUSPEND", clicked - 1, max(clicked + 20, woke + 40))
        if again:
            night.notes.append(f"asleep {again['t'] - clicked:.1f} s after Stop Song")
        else:
            night.fail("awake after Stop Song with the lid closed")
        self.awake(expected=True)
        self.agent.ask("lid", closed=False)
        self.photograph(night, "stopped")

    def night_lid(self, night):
        since = time.time()
        alarm = self.set_countdown(200)
        self.armed(night)
        self.lid_night(night, alarm, self.agent.offset(), since)

    def night_lid_time_of_day(self, night):
        since = time.time()
        alarm = self.set_time_of_day(200)
        self.armed(night)
        self.lid_night(night, alarm, self.agent.offset(), since)

    def suspend_night(self, night, alarm, before, since, prepare=None):
        """A suspend that ignores inhibitors, `before` seconds ahead of the alarm."""
        offset = self.agent.offset()
        if prepare:
            prepare(night, alarm, offset)
        self.wait_until_guest(alarm - before, offset)
        self.agent.sh("systemctl suspend --ignore-inhibitors")
        offset = self.ring(night, alarm, offset, since)
        self.stop_song(night, offset)
        self.photograph(night, "stopped")

    def night_late_suspend(self, night):
        since = time.time()
        self.suspend_night(night, self.set_countdown(70), 40, since)

    def night_helper_lost(self, night):
        def kill_helper(night, alarm, offset):
            time.sleep(5)
            night.notes.append(f"helper before: {self.waker()}")
            self.agent.sh("kill -9 $(pidof wakewell-waker)")
        since = time.time()
        self.suspend_night(night, self.set_countdown(110), 90, since, kill_helper)

    def night_muted(self, night):
        self.user("pactl set-sink-mute @DEFAULT_SINK@ 1; pactl set-sink-volume @DEFAULT_SINK@ 10%")
        since = time.time()
        alarm = self.set_countdown(20)
        offset = self.ring(night, alarm, self.agent.offset(), since, sleeps=False)
        output = self.user("pactl get-sink-mute @DEFAULT_SINK@;"
                           " pactl get-sink-volume @DEFAULT_SINK@ | head -1")["out"]
        night.notes.append("output after: " + output.replace("\n", " "))
        self.stop_song(night, offset)
        self.photograph(night, "stopped")

    def idle_suspend(self):
        """Asks for a suspend as the desktop's idle policy would: honouring the locks, from
        inside the seat user's session. Its answer is read with idle_answer()."""
        self.user("rm -f $HOME/idle-suspend.txt")
        self.agent.ask("session", cmd="systemctl --check-inhibitors=yes suspend"
                       " >$HOME/idle-suspend.txt.new 2>&1; echo \"exit status $?\""
                       " >>$HOME/idle-suspend.txt.new; mv $HOME/idle-suspend.txt.new"
                       " $HOME/idle-suspend.txt")

    def idle_answer(self):
        answer = self.user("for i in $(seq 100); do cat $HOME/idle-suspend.txt 2>/dev/null"
                           " && exit; sleep 0.2; done; echo no answer")
        return answer["out"].strip().replace("\n", " ")

    def idle_night(self, night, sleeps):
        """A countdown, and 4 minutes before the alarm a suspend asked as the desktop's idle
        policy would. With sleeps, the machine must sleep at once and wake by itself; else
        the suspend must be refused and the machine stay awake. Either way the song rings."""
        since = time.time()
        alarm = self.set_countdown(300)
        self.armed(night)
        offset = self.agent.offset()
        self.wait_until_guest(alarm - 240, offset)
        asked = time.time()
        self.idle_suspend()
        offset = self.ring(night, alarm, offset, since, sleeps=sleeps, asleep_by=asked + 30)
        answer = self.idle_answer()
        night.notes.append(f"the suspend asked: {answer}")
        if sleeps and night.slept is None:
            night.fail(f"the suspend was refused: {answer.split('. ')[0]}")
        if sleeps and night.woke is not None:
            asleep = sum(w["t"] - s["t"] for s, w in self.sleeps(asked, alarm - offset))
            span = night.woke - (asked + offset - alarm)
            night.notes.append(f"asleep {asleep:.1f} of the {span:.1f} s from the suspend asked"
                               f" to the wake: {100 * asleep / span:.1f}%")
        if not sleeps and "exit status 0" in answer:
            night.fail("the suspend was not refused")
        self.stop_song(night, offset)
        self.photograph(night, "stopped")

    def sleeps(self, since, until):
        """The (SUSPEND, WAKEUP) events of each sleep between the host times since and until."""
        events = [e for e in self.qmp.events if since <= e["t"] <= until]
        return [(s, w) for s, w in zip(events, events[1:])
                if s["event"] == "SUSPEND" and w["event"] == "WAKEUP"]

    def night_idle(self, night):
        self.idle_night(night, sleeps=True)

    def night_no_wake(self, night):
        rule = "/etc/polkit-1/rules.d/00-night-no-wake.rules"
        self.agent.sh(f"cat >{rule} <<'RULE'\npolkit.addRule(function(action, subject) {{\n"
                      f"    if (action.id == '{WAKE_ACTION}') return polkit.Result.NO;\n}});\n"
                      "RULE\nsleep 3")
        try:
            first = self.log_lines() + 1
            self.idle_night(night, sleeps=False)
            said = [line for line in self.said(first).splitlines() if "cannot be woken" in line]
            night.notes.append(f"Wakewell said: {' / '.join(said) or 'nothing'}")
        finally:
            self.agent.sh(f"rm -f {rule}; sleep 3")

    def flood(self, connections, in_flight, seconds, calls=0, background=False):
        """The stranger's calls to the wake helper (tests/night/guest/flood.py): their
        tally, or with background, started and read later from /tmp/flood.json."""
        cmd = (f"runuser -u {STRANGER} -- python3 /usr/local/lib/night/flood.py {WAKE_CALL}"
               f" --connections {connections} --in-flight {in_flight} --seconds {seconds}"
               f" --calls {calls}")
        if background:
            self.agent.sh(f"{cmd} >/tmp/flood.json 2>&1 &")
            return None
        answer = self.agent.sh(cmd, timeout=seconds + 30)
        return json.loads(answer["out"])

    def night_someone_else(self, night):
        """A user with no session is refused, and their flood of calls at the bus's limits
        (250 connections, 4 calls in flight on each) does not keep the seat user's machine
        from waking for the alarm: the lid night under the flood."""
        refused = self.flood(1, 1, 60, calls=1)["answers"]
        night.notes.append(f"the stranger's {WAKE_CALL}: {refused}")
        if refused != {NOT_AUTHORIZED: 1}:
            night.fail(f"the stranger's {WAKE_CALL} was answered {refused}, not {NOT_AUTHORIZED}")
        self.flood(250, 4, 150, background=True)
        time.sleep(10)
        since = time.time()
        alarm = self.set_countdown(200)
        self.armed(night)
        self.lid_night(night, alarm, self.agent.offset(), since)
        answer = self.agent.sh("for i in $(seq 150); do grep -q '^{' /tmp/flood.json && break;"
                               " sleep 1; done; cat /tmp/flood.json", timeout=180)
        night.notes.append(f"the flood: {answer['out'].strip()}")
        try:
            taken = json.loads(answer["out"])["answers"].get("reply", 0)
        except ValueError:
            raise RuntimeError(f"the flood did not say what it met: {answer['out']}") from None
        if taken:
            night.fail(f"{taken} of the stranger's calls were taken")

    def night_stalled_polkit(self, night):
        """polkitd stopped for 40 s as an alarm is set, then continued: once it goes on, the
        wake is armed, Wakewell holds every lock it holds with polkit answering, and it never
        says the system does not allow the wake. Then a suspend, and the wake for the alarm."""
        self.set_countdown(900)
        time.sleep(10)
        wanted = self.locks()
        night.notes.append(f"the locks with an alarm set and polkit answering: {wanted}")
        self.clear_alarm()
        time.sleep(5)
        first = self.log_lines() + 1

        def stall(night, alarm, offset):
            time.sleep(40)
            self.agent.sh("kill -CONT $(pidof polkitd)")
            went_on = time.time()
            held = armed = None
            while time.time() < went_on + 60 and not (held == wanted and armed):
                time.sleep(2)
                held, armed = self.locks(), self.wake_armed()
            night.notes.append(f"{time.time() - went_on:.0f} s after polkitd went on: the"
                               f" locks {held}, the wake {'armed' if armed else 'not armed'}")
            if held != wanted:
                night.fail(f"the locks {held} once polkitd went on, not {wanted}")
            if not armed:
                night.fail("no wake armed once polkitd went on")
            said = self.said(first)
            night.notes.append("Wakewell said: " + " / ".join(said.splitlines()))
            if "does not allow" in said:
                night.fail("Wakewell said the system does not allow the wake")

        self.agent.sh("kill -STOP $(pidof polkitd)")
        try:
            since = time.time()
            self.suspend_night(night, self.set_countdown(260), 100, since, stall)
        finally:
            self.agent.sh("kill -CONT $(pidof polkitd)")

    NIGHTS = {
        "lid": night_lid,
        "lid-time-of-day": night_lid_time_of_day,
        "late-suspend": night_late_suspend,
        "helper-lost": night_helper_lost,
        "muted": night_muted,
        "someone-else": night_someone_else,
        "idle": night_idle,
        "no-wake": night_no_wake,
        "stalled-polkit": night_stalled_polkit,
    }

    def run(self):
        nights = [Night(name) for name in self.args.nights]
        start = time.time()
        try:
            self.boot()
            log(f"booted to the agent in {time.time() - start:.0f} s")
            step = time.time()
            self.session()
            log(f"session, Wakewell and its playlist in {time.time() - step:.0f} s; "
                f"the helper: {self.waker()}")
        except Broken as e:
            for night in nights:
                night.broken = str(e)
        except Exception as e:  # no night can run without the window
            for night in nights:
                night.fail(f"error: {e}")
        for night in nights:
            if night.broken or night.failures:
                log(night.line())
                continue
            self.run_night(night)
            if night.broken:
                for later in nights[nights.index(night) + 1:]:
                    later.broken = "not run"
        log(f"the machine ran {time.time() - start:.0f} s")
        if not any(night.broken for night in nights):
            self.keep_logs()
        return nights

    def run_night(self, night):
        step = time.time()
        host_wakes = len(self.host_wakes)
        try:
            self.NIGHTS[night.name](self, night)
        except Exception as e:  # the night fails; the next one still runs
            if isinstance(e, Unanswered) and self.qmp.status() != "suspended":
                night.broken = str(e)
            else:
                night.fail(f"error: {e}")
            try:
                self.awake()
                self.agent.ask("lid", closed=False)
            except Unanswered as again:
                night.broken = str(again)
        if len(self.host_wakes) > host_wakes:
            night.fail(f"woken from outside {len(self.host_wakes) - host_wakes} time(s)")
        log(f"{night.line()}  [{time.time() - step:.0f} s]")
        for note in night.notes:
            log(f"  {note}")

    def keep_logs(self):
        """The guest's journal and the program's output, into the work folder."""
        for name, cmd in (("journal.txt", "journalctl -b -o short-precise --no-pager"),
                          ("wakewell.txt", "cat /home/sleeper/wakewell.log")):
            answer = self.agent.sh(cmd, limit=20_000_000, timeout=120)
            with open(os.path.join(self.work, name), "w") as f:
                f.write(answer["out"])


def hardware_virtualization():
    """Whether the processor offers what KVM needs: a /dev/kvm without it (in a virtual
    machine that does not pass it on) starts QEMU, whose guest then hangs at its boot."""
    with open("/proc/cpuinfo") as f:
        return bool(re.search(r"^flags\s*:.*\b(vmx|svm)\b", f.read(), re.M))


def overlap(a, b):
    """Whether two boxes (width, height, x, y) share any pixel."""
    return (a[2] < b[2] + b[0] and b[2] < a[2] + a[0] and
            a[3] < b[3] + b[1] and b[3] < a[3] + a[1])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kernel", required=True)
    parser.add_argument("--initrd", required=True)
    parser.add_argument("--image", required=True)
    parser.add_argument("--songs", required=True)
    parser.add_argument("--pitches", required=True,
                        help="the songs' pitches in Hz, in the playlist's order: 440,587,784")
    parser.add_argument("--work", required=True)
    parser.add_argument("--smp", type=int, default=2)
    parser.add_argument("--nights", default=",".join(Check.NIGHTS))
    args = parser.parse_args()
    args.pitches = [int(p) for p in args.pitches.split(",")]
    args.nights = [n for n in args.nights.split(",") if n]
    unknown = [n for n in args.nights if n not in Check.NIGHTS]
    if unknown:
        sys.exit(f"unknown nights: {', '.join(unknown)}; known: {', '.join(Check.NIGHTS)}")
    check = Check(args)
    try:
        nights = check.run()
    finally:
        check.stop()
    print()
    print("\n".join(night.line() for night in nights))
    # A night whose check broke has no verdict: what it saw may be the broken machine's.
    if any(night.failures and not night.broken for night in nights):
        return 1
    if any(night.broken for night in nights):
        log(f"the check itself broke: exit status {BROKEN}, worth trying again")
        return BROKEN
    return 0


if __name__ == "__main__":
    sys.exit(main())
