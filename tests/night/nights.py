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
import json
import os
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

# How long after the alarm's second a sleeping machine is woken from outside, and how long
# the song may take to be heard.
WATCHDOG_SECONDS = 30
HEARD_WITHIN_SECONDS = 40
SILENCE = 300  # the loudest sample of silence, of 32767


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
            raise RuntimeError(f"the agent did not answer {request}")
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
            except RuntimeError:
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


class Recording:
    """The guest's sound card as QEMU writes it: the host times at which the file grew by
    sound that is not silence."""

    def __init__(self, path):
        self.path = path
        self.heard = []  # host times of chunks with sound
        self.lock = threading.Lock()
        threading.Thread(target=self._watch, daemon=True).start()

    def _watch(self):
        while not os.path.exists(self.path) or os.path.getsize(self.path) < 44:
            time.sleep(0.05)
        with open(self.path, "rb") as f:
            header = f.read(44)
            channels = int.from_bytes(header[22:24], "little")
            bits = int.from_bytes(header[34:36], "little")
            assert bits == 16, f"a {bits}-bit recording"
            frame = 2 * channels
            pending = b""
            while True:
                data = f.read()
                now = time.time()
                if data:
                    pending += data
                    usable = len(pending) - len(pending) % frame
                    samples = array.array("h", pending[:usable])
                    pending = pending[usable:]
                    if samples and max(max(samples), -min(samples)) > SILENCE:
                        with self.lock:
                            self.heard.append(now)
                time.sleep(0.05)

    def first_after(self, t):
        with self.lock:
            return next((h for h in self.heard if h >= t), None)


class Night:
    """One night's figures, in seconds relative to the alarm's second (the guest's clock)."""

    def __init__(self, name):
        self.name = name
        self.failures = []
        self.slept = self.woke = self.title = self.sound = None
        self.notes = []

    def fail(self, reason):
        self.failures.append(reason)

    def line(self):
        def at(value):
            return "-" if value is None else f"{value:+.1f}s"
        verdict = "pass" if not self.failures else f"FAIL ({'; '.join(self.failures)})"
        return (f"night {self.name}: {verdict}; slept at {at(self.slept)}, woke at "
                f"{at(self.woke)}, title at {at(self.title)}, sound at {at(self.sound)}")


class Check:
    def __init__(self, args):
        self.args = args
        self.work = args.work
        self.wav = os.path.join(self.work, "sound.wav")
        self.qemu = None
        self.window = None

    # -- the machine -----------------------------------------------------------------------

    def boot(self):
        kvm = os.path.exists("/dev/kvm")
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
        self.qmp = Qmp(f"{self.work}/qmp.sock")
        self.agent = Agent(f"{self.work}/agent.sock")
        self.recording = Recording(self.wav)
        self.agent.settle(600)

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

    def awake(self):
        """Wakes the machine from outside if it sleeps; True if it had to."""
        if self.qmp.status() != "suspended":
            return False
        since = time.time()
        self.qmp.command("system_wakeup")
        self.qmp.wait_event("WAKEUP", since - 1, time.time() + 30)
        self.agent.settle()
        return True

    # -- the seat user's session and the window --------------------------------------------

    def user(self, cmd, **more):
        return self.agent.sh(cmd, user="sleeper", **more)

    def xdotool(self, *actions, at=None):
        """One xdotool call over the window; returns the agent's answer."""
        more = {} if at is None else {"at": at}
        answer = self.user("xdotool " + " ".join(str(a) for a in actions), **more)
        if answer["rc"] != 0:
            raise RuntimeError(f"xdotool {actions}: {answer['out']}")
        return answer

    def click(self, point, *then, at=None):
        return self.xdotool("mousemove", "--window", self.window, point[0], point[1],
                            "click", "1", *then, at=at)

    def type_into(self, point, text):
        self.click(point, "key", "ctrl+a", "BackSpace", *(("type", f"'{text}'") if text else ()))

    def session(self):
        """The seat's session is logged in and active, with its X server, sound server and
        Wakewell's window; the songs of the music disk are in the playlist."""
        wait = 'for i in $(seq 600); do %s && exit 0; sleep 0.2; done; exit 1'
        answer = self.agent.sh(wait % "grep -q ready /home/sleeper/session.log 2>/dev/null",
                               timeout=180)
        if answer["rc"] != 0:
            raise RuntimeError("the seat user's session never started")
        seat = self.agent.sh("loginctl show-session $(loginctl show-user sleeper -p Sessions"
                             " --value | cut -d' ' -f1) -p Seat -p Active -p Class -p TTY")
        log("session: " + seat["out"].replace("\n", " "))
        # The sound card's output, not the server's stand-in while it has none (auto_null).
        self.user(wait % "pactl get-default-sink 2>/dev/null | grep -q '^alsa_output'",
                  timeout=120)
        sink = self.user("pactl get-default-sink")
        log(f"sound server up, default sink {sink['out'].strip()}")
        prefix = os.environ.get("NIGHT_WAKEWELL_PREFIX", "")
        self.agent.ask("session", cmd=f"{prefix} wakewell >$HOME/wakewell.log 2>&1")
        answer = self.user(wait % "xdotool search --name '^Wakewell of Your$' 2>/dev/null",
                           timeout=120)
        if answer["rc"] != 0:
            raise RuntimeError("no window titled \"Wakewell of Your\"")
        self.window = answer["out"].split()[0]
        # A message box of the program's (no sound output, say) is told and answered.
        time.sleep(2)
        boxes = self.user("xdotool search --onlyvisible --name '^Wakewell$' || true")["out"].split()
        if boxes:
            log(f"{len(boxes)} message box(es) open; Return pressed on each")
            for box in boxes:
                self.user(f"xdotool windowactivate --sync {box} key Return || "
                          f"xdotool mousemove --window {box} 10 10 key Return")
        self.agent.ask("watch_title", window=self.window)
        self.click(V_BUTTON)
        time.sleep(1)
        self.click(DRIVE_BOX, "key", "Down", "Down")
        time.sleep(2)
        # The three songs, the first to the last: the disk's lost+found follows them.
        self.click(FIRST_FILE, "key", "shift+Down", "shift+Down")
        self.click(ADD)
        time.sleep(1)

    # -- the alarm -------------------------------------------------------------------------

    def set_countdown(self, seconds):
        """Types a countdown with the mode off, then selects it early in a second: the alarm's
        second is the next whole second after that click plus the countdown. Returns it in
        the guest's clock. A click that may have fallen into the next second (a busy machine)
        is made again."""
        for _ in range(5):
            self.click(OPTION1)
            self.type_into(TEXT2, "")
            self.type_into(TEXT3, str(seconds // 3600))
            self.type_into(TEXT4, str(seconds // 60 % 60))
            self.type_into(TEXT5, str(seconds % 60))
            self.xdotool("mousemove", "--window", self.window, *OPTION2)
            # As root, which spares the user's login: the X server takes any local client.
            answer = self.agent.sh("xdotool click 1", at=0.1)
            if int(answer["started"]) == int(answer["ended"]):
                return int(answer["started"]) + seconds + 1
        raise RuntimeError("every click on the countdown's button crossed a second")

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

    # -- a night ---------------------------------------------------------------------------

    def wait_until_guest(self, t, offset):
        delay = t - offset - time.time()
        if delay > 0:
            time.sleep(delay)

    def ring(self, night, alarm, offset, lid_closed):
        """From the alarm's approach to the song heard: the machine's sleep, its wake (by
        itself, or from outside after the watchdog's margin), the title and the sound."""
        since = time.time()
        alarm_host = alarm - offset
        slept = self.qmp.wait_event("SUSPEND", since - 5, alarm_host)
        if slept:
            night.slept = slept["t"] + offset - alarm
            woke = self.qmp.wait_event("WAKEUP", slept["t"], alarm_host + WATCHDOG_SECONDS)
            if woke is None:
                night.fail("slept through the alarm")
                self.awake()
                woke = self.qmp.wait_event("WAKEUP", slept["t"], time.time() + 5)
                log(f"asleep at the alarm + {WATCHDOG_SECONDS} s, woken from outside; "
                    f"the helper: {self.waker()}")
            self.agent.settle()
            offset = self.agent.offset()
            night.woke = woke["t"] + offset - alarm
        else:
            night.fail("never slept")
        heard = None
        until = time.time() + max(0, alarm_host - time.time()) + HEARD_WITHIN_SECONDS
        while time.time() < until and heard is None:
            heard = self.recording.first_after(alarm_host - 2)
            again = slept and self.qmp.wait_event("SUSPEND", slept["t"] + 1, time.time())
            if again and heard is None:
                night.fail(f"asleep again at {again['t'] + offset - alarm:+.1f}s before the song")
                if lid_closed:
                    self.agent.ask("lid", closed=False)
                self.awake()
                break
            time.sleep(0.1)
        heard = heard or self.recording.first_after(alarm_host - 2)
        if heard is None:
            night.fail("no song heard")
        else:
            night.sound = heard + offset - alarm
        self.note_title(night, alarm)
        return offset

    def note_title(self, night, alarm):
        titles = [e for e in self.agent.titles_after(alarm - 5)
                  if e["title"].startswith("Player - ")]
        if titles:
            night.title = titles[0]["t"] - alarm
        else:
            night.fail("the title never named the song")

    def stop_song(self):
        self.awake()
        self.click(STOP_SONG)

    def lid_night(self, night, alarm, offset):
        """The lid closed 150 s before the alarm and left closed."""
        self.wait_until_guest(alarm - 150, offset)
        self.agent.ask("lid", closed=True)
        offset = self.ring(night, alarm, offset, lid_closed=True)
        if night.sound is not None:
            time.sleep(max(0, night.sound + alarm - offset - time.time()) + 2)
        since = time.time()
        self.stop_song()
        # logind leaves a closed lid alone for 30 s after a wake (HoldoffTimeoutSec).
        woke = night.woke + alarm - offset if night.woke is not None else since
        again = self.qmp.wait_event("SUSPEND", since, max(since + 20, woke + 40))
        if again:
            night.notes.append(f"asleep {again['t'] - since:.1f} s after Stop Song")
        else:
            night.fail("awake after Stop Song with the lid closed")
        self.awake()
        self.agent.ask("lid", closed=False)

    def night_lid(self, night):
        alarm = self.set_countdown(200)
        self.armed(night)
        self.lid_night(night, alarm, self.agent.offset())

    def night_lid_time_of_day(self, night):
        alarm = self.set_time_of_day(200)
        self.armed(night)
        self.lid_night(night, alarm, self.agent.offset())

    def suspend_night(self, night, alarm, before, prepare=None):
        """A suspend that ignores inhibitors, `before` seconds ahead of the alarm."""
        offset = self.agent.offset()
        if prepare:
            prepare(night)
        self.wait_until_guest(alarm - before, offset)
        self.agent.sh("systemctl suspend --ignore-inhibitors")
        self.ring(night, alarm, offset, lid_closed=False)
        self.stop_song()

    def night_late_suspend(self, night):
        self.suspend_night(night, self.set_countdown(70), 40)

    def night_helper_lost(self, night):
        def kill_helper(night):
            time.sleep(5)
            night.notes.append(f"helper before: {self.waker()}")
            self.agent.sh("kill -9 $(pidof wakewell-waker)")
        self.suspend_night(night, self.set_countdown(110), 90, kill_helper)

    def night_muted(self, night):
        self.user("pactl set-sink-mute @DEFAULT_SINK@ 1; pactl set-sink-volume @DEFAULT_SINK@ 10%")
        alarm = self.set_countdown(20)
        offset = self.agent.offset()
        heard_from = alarm - offset - 2
        self.wait_until_guest(alarm + HEARD_WITHIN_SECONDS / 2, offset)
        heard = self.recording.first_after(heard_from)
        if heard is None:
            night.fail("no song heard")
        else:
            night.sound = heard + offset - alarm
        self.note_title(night, alarm)
        night.notes.append("output after: " + self.user(
            "pactl get-sink-mute @DEFAULT_SINK@; pactl get-sink-volume @DEFAULT_SINK@ | head -1")["out"]
            .replace("\n", " "))
        self.stop_song()

    def night_someone_else(self, night):
        arm = ("busctl --system call io.github.wakewell.Waker /io/github/wakewell/Waker "
               "io.github.wakewell.Waker SetWake t $(( ($(date +%s) + 300) * 1000000 ))")
        refused = self.agent.sh(f"runuser -l stranger -c '{arm}' 2>&1")
        night.notes.append("stranger's Arm: " + refused["out"].strip())
        if refused["rc"] == 0:
            night.fail("the stranger's Arm was taken")
        # Calls in flight all along while the seat user's alarm is set, 40 at a time.
        self.agent.sh(
            "runuser -l stranger -c 'end=$((SECONDS + 30)); while [ $SECONDS -lt $end ]; do"
            f" for i in $(seq 40); do {arm} >/dev/null 2>&1 & done; wait; done'"
            " >/dev/null 2>&1 &")
        time.sleep(5)
        self.suspend_night(night, self.set_countdown(120), 90)

    NIGHTS = {
        "lid": night_lid,
        "lid-time-of-day": night_lid_time_of_day,
        "late-suspend": night_late_suspend,
        "helper-lost": night_helper_lost,
        "muted": night_muted,
        "someone-else": night_someone_else,
    }

    def run(self):
        lines = []
        start = time.time()
        self.boot()
        log(f"booted to the agent in {time.time() - start:.0f} s")
        step = time.time()
        self.session()
        log(f"session, Wakewell and its playlist in {time.time() - step:.0f} s; "
            f"the helper: {self.waker()}")
        for name in self.args.nights:
            night = Night(name)
            step = time.time()
            try:
                self.NIGHTS[name](self, night)
            except Exception as e:  # the night fails; the next one still runs
                night.fail(f"error: {e}")
                try:
                    self.awake()
                    self.agent.ask("lid", closed=False)
                except Exception:
                    pass
            lines.append(night.line())
            log(f"{night.line()}  [{time.time() - step:.0f} s]")
            for note in night.notes:
                log(f"  {note}")
        log(f"the machine ran {time.time() - start:.0f} s")
        self.keep_logs()
        return lines

    def keep_logs(self):
        """The guest's journal and the program's output, into the work folder."""
        for name, cmd in (("journal.txt", "journalctl -b -o short-precise --no-pager"),
                          ("wakewell.txt", "cat /home/sleeper/wakewell.log")):
            answer = self.agent.sh(cmd, limit=20_000_000, timeout=120)
            with open(os.path.join(self.work, name), "w") as f:
                f.write(answer["out"])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kernel", required=True)
    parser.add_argument("--initrd", required=True)
    parser.add_argument("--image", required=True)
    parser.add_argument("--songs", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--smp", type=int, default=2)
    parser.add_argument("--nights", default=",".join(Check.NIGHTS))
    args = parser.parse_args()
    args.nights = [n for n in args.nights.split(",") if n]
    unknown = [n for n in args.nights if n not in Check.NIGHTS]
    if unknown:
        sys.exit(f"unknown nights: {', '.join(unknown)}; known: {', '.join(Check.NIGHTS)}")
    check = Check(args)
    try:
        lines = check.run()
    finally:
        check.stop()
    print()
    print("\n".join(lines))
    return 0 if all(": pass;" in line for line in lines) else 1


if __name__ == "__main__":
    sys.exit(main())
