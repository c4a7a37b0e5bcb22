#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads Wakewell's window through the AT-SPI bus, as a screen reader (Orca) reads it, while
xdotool presses the keys and clicks a person would. Run by read_aloud.sh.

Usage: read_aloud.py <window id> <folder holding one song> <file of the notifications>

What a reader speaks without being asked: a focus that moves, a change of the text or name of
the focused object (not of a label's), a window that appears (an alert is read whole), and a
notification that shows. The checks, in the order a person meets them:
  1. Every control that takes the focus has a name; each field and option button is named by
     the words of the label beside it.
  2. Tab walks the window in an order a person can follow, each stop named (printed).
  3. The focused clock sends nothing a reader speaks at its ticks (its events are counted).
  4. Wakewell found no sound output once an alarm is set (the outputs are asked from the first
     alarm on): it says so in a notification of the desktop, which the desktop reads out
     (notifications.py records it), and opens no box in front of the window.
  5. A song that starts is announced as a notification, with the title that names it.
"""
import os
import re
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

window, song_folder, notes = sys.argv[1], sys.argv[2], sys.argv[3]
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print('FAIL:', what, file=sys.stderr)


# Every event of the application, as (time, type, role, name, detail1), gathered while the
# main loop runs.
events = []


def listen(event):
    try:
        role, name = event.source.getRoleName(), event.source.name
    except Exception:
        role, name = '?', '?'
    events.append((time.monotonic(), event.type, role, name, event.detail1))


pyatspi.Registry.registerEventListener(listen, 'object:', 'window:', 'focus:')


def run_for(seconds):
    loop = GLib.MainLoop()
    GLib.timeout_add(int(seconds * 1000), loop.quit)
    loop.run()


def wait_until(found, seconds=20):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        result = found()
        if result:
            return result
        run_for(0.2)
    return None


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == 'Wakewell':
            return app
    return None


def descendants(obj):
    for child in obj:
        if child is not None:
            yield child
            yield from descendants(child)


def xdotool(*args):
    subprocess.run(['xdotool', *args], check=True)
    run_for(0.3)


def focus_stops(since):
    return [(e[2], e[3]) for e in events[since:]
            if e[1] == 'object:state-changed:focused' and e[4] == 1]


app = wait_until(application)
check(app is not None, 'Wakewell is not on the AT-SPI bus')
if app is None:
    sys.exit(1)
# A click on the window's own surface gives it the keyboard, as a window manager would.
xdotool('mousemove', '--window', window, '5', '150', 'click', '1')

# 1. Names. The focusable objects of the frame, leaving out the parts of the drive box (its
# text field and its drop-down list) and the lists' rows, which are read by their text.
frame = next(w for w in app if w.name == 'Wakewell of Your')
check(frame.getRoleName() == 'frame', f'the window is a {frame.getRoleName()}, not a frame')
controls = [o for o in descendants(frame)
            if o.getState().contains(pyatspi.STATE_FOCUSABLE)
            and o.parent.getRoleName() not in ('combo box', 'list')
            and o.getRoleName() != 'list item']
unnamed = [o.getRoleName() for o in controls if not o.name.strip()]
check(len(controls) == 26 and not unnamed,
      f'{len(controls)} focusable controls, unnamed: {unnamed}')
fields = {(o.getRoleName(), o.name) for o in controls}
captions = [o for o in frame if o.getRoleName() == 'label'
            and not o.getState().contains(pyatspi.STATE_FOCUSABLE)]
check(len(captions) == 4, f'{len(captions)} labels')
for label in captions:
    for words in re.split(r' {2,}', label.name.strip()):
        check(any(role in ('text', 'radio button') and name == words for role, name in fields),
              f'no field or option button named "{words}" beside its label "{label.name}"')

# 2. The Tab order, from the drive box where the focus starts, round to it again. The two
# option buttons are one stop (the arrow keys move between them, as in any group of them).
expected = [
    ('combo box', 'drives'), ('list', 'folder'), ('push button', 'Up'), ('push button', 'Add'),
    ('list', 'playlist'), ('push button', 'Clear'), ('push button', 'Remove'),
    ('text', 'current song'), ('push button', 'Play'), ('push button', 'Pause'),
    ('push button', 'Stop'), ('push button', 'Back'), ('push button', 'Next'),
    ('slider', 'volume'), ('text', 'seconds:'), ('radio button', 'sound alarm in...'),
    ('text', 'minutes:'), ('text', 'hours:'), ('text', 'sound alarm at: (ex. 3:34:00 PM)'),
    ('label', 'clock'), ('push button', 'Stop Song'), ('push button', 'V'),
    ('image', 'alarm clock'), ('image', 'small sunrise'), ('image', 'sunrise'),
    ('combo box', 'drives')]
drives = next(o for o in controls if o.getRoleName() == 'combo box')
drives.queryComponent().grabFocus()
run_for(0.5)
start = len(events)
for _ in expected[1:]:
    xdotool('key', 'Tab')
    if focus_stops(start)[-1:] == [('label', 'clock')]:
        # 3. On the clock for three seconds: what it sends at its ticks.
        since, began = len(events), time.monotonic()
        run_for(3.2)
        ticks = [e for e in events[since:] if e[3] == 'clock']
        spoken = [e for e in ticks if e[2] != 'label' or not e[1].startswith(
            ('object:text-changed', 'object:text-caret-moved', 'object:text-selection'))]
        print(f'clock focused for {time.monotonic() - began:.1f} s: {len(ticks)} events,',
              sorted({f'{e[1]} from a {e[2]}' for e in ticks}))
        check(ticks and not spoken, f'the focused clock sent {spoken or "nothing"}')
walked = focus_stops(start)
print('Tab order:', ' | '.join(f'{name} ({role})' for role, name in walked))
check(walked == expected[1:], f'Tab walked {walked}')

# 4. A machine without sound output: said in a notification once a countdown of 10 hours is
# set (in the hours field, then its option button), with no box over the window.
xdotool('mousemove', '--window', window, '240', '89', 'click', '1', 'key', 'ctrl+a', 'type', '10')
xdotool('mousemove', '--window', window, '16', '88', 'click', '1')


def notified():
    return os.path.exists(notes) and open(notes).read()


said = wait_until(notified)
print('notified:', repr(said))
check(said and said.startswith('No sound output device was found: alarms will not be heard.|'),
      'no notification of the missing sound output (where the machine has a sound card of its '
      'own, Wakewell finds an output without a sound server)')
# A box would have opened by now, as the notification was sent.
run_for(1)
boxes = [f'{w.getRoleName()} "{w.name}"' for w in app if w.name != 'Wakewell of Your']
check(not boxes, f'in front of the window: {boxes}')

# 5. A song started: the drive box's C:, the song's folder clicked down the list, the song
# selected and added, then Play. Rows out of sight are scrolled to with the mouse wheel.
def files():
    return next(o for o in descendants(frame) if o.getRoleName() == 'list' and o.name == 'folder')


def click(obj):
    x, y, w, h = obj.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    xdotool('mousemove', str(x + 10), str(y + h // 2), 'click', '1')
    run_for(0.7)


def click_row(text):
    listed = files()
    row = wait_until(lambda: next((r for r in files() if r.name == text), None), 5)
    check(row is not None, f'no row "{text}" in {[r.name for r in listed][:50]}')
    box = listed.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    for _ in range(200):
        top, height = row.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)[1::2]
        if box.y <= top and top + height <= box.y + box.height:
            break
        xdotool('mousemove', str(box.x + 50), str(box.y + 20), 'click',
                '5' if top > box.y else '4')
    click(row)


def start_song():
    xdotool('mousemove', '--window', window, '268', '16', 'click', '1')  # V: the browser shows
    click(drives)
    xdotool('key', 'alt+Down')
    xdotool('key', 'Return')
    path = 'C:'
    for part in os.path.realpath(song_folder).strip('/').split('/'):
        path += '\\' + part
        click_row(path)
    song = next(name for name in os.listdir(song_folder) if name.endswith('.mp3'))
    click_row(song)
    click(next(o for o in controls if o.name == 'Add'))
    since = len(events)
    next(o for o in controls if o.name == 'Play').queryAction().doAction(0)
    wanted = ('notification', f'Player - {song}')
    check(wait_until(lambda: [e for e in events[since:] if e[1] == 'object:state-changed:showing'
                              and e[4] == 1 and (e[2], e[3]) == wanted], 5) is not None,
          f'no notification "{wanted[1]}" when the song started')
    print('announced:', [f'{e[3]} ({e[2]})' for e in events[since:]
                         if e[1] == 'object:state-changed:showing'])


try:
    start_song()
except Exception as error:  # a control missing or unnamed: said, not thrown
    check(False, f'starting a song: {error!r}')

sys.exit(1 if failures else 0)
