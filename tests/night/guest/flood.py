# SPDX-License-Identifier: GPL-3.0-or-later
"""Floods the wake helper with calls from the user who runs it, as a local user with no seat
might: CONNECTIONS connections to the system bus, each keeping IN_FLIGHT calls of METHOD in
flight (a new call as each answer comes) until SECONDS have passed, or until CALLS calls were
made on each when that is given. Speaks D-Bus on the socket itself, so that nothing but the bus
limits how many calls are in flight. Prints, as JSON, how many connections were made and how
many calls were answered, by reply or by each error's name.

  flood.py METHOD [--connections N] [--in-flight N] [--seconds S] [--calls N]
"""

import argparse
import collections
import json
import os
import selectors
import socket
import struct
import sys
import time

HELPER = ("io.github.wakewell.Waker", "/io/github/wakewell/Waker", "io.github.wakewell.Waker")
DBUS = ("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus")
METHOD_CALL, METHOD_RETURN, ERROR = 1, 2, 3
FIELD_PATH, FIELD_INTERFACE, FIELD_MEMBER, FIELD_ERROR_NAME = 1, 2, 3, 4
FIELD_REPLY_SERIAL, FIELD_DESTINATION, FIELD_SIGNATURE = 5, 6, 8


def pad(data, alignment):
    return data + b"\0" * (-len(data) % alignment)


def string(value):
    encoded = value.encode()
    return struct.pack("<I", len(encoded)) + encoded + b"\0"


def signature(value):
    return bytes([len(value)]) + value.encode() + b"\0"


def call(serial, target, member, body_signature="", body=b""):
    """A method call, little-endian."""
    destination, path, interface = target
    fields = [(FIELD_PATH, "o", string(path)), (FIELD_INTERFACE, "s", string(interface)),
              (FIELD_MEMBER, "s", string(member)), (FIELD_DESTINATION, "s", string(destination))]
    if body_signature:
        fields.append((FIELD_SIGNATURE, "g", signature(body_signature)))
    array = b""
    for code, kind, value in fields:
        # Each field is a struct (8-aligned) of its code and a variant; every value here is
        # 4-aligned or a signature, which is not aligned.
        array = pad(array, 8)
        array += bytes([code]) + signature(kind)
        array = pad(array, 4) if kind != "g" else array
        array += value
    header = b"l" + bytes([METHOD_CALL, 0, 1]) + struct.pack("<III", len(body), serial, len(array))
    return pad(header + array, 8) + body


def fields_of(header):
    """The reply serial and the error name of a message's header fields."""
    endian = "<" if header[0:1] == b"l" else ">"
    length = struct.unpack_from(endian + "I", header, 12)[0]
    at, end = 16, 16 + length
    reply_serial = error = None
    while at < end:
        at += -at % 8
        code = header[at]
        kind = header[at + 2:at + 2 + header[at + 1]].decode()
        at += 3 + header[at + 1]
        if kind in ("s", "o"):
            at += -at % 4
            size = struct.unpack_from(endian + "I", header, at)[0]
            value = header[at + 4:at + 4 + size].decode()
            at += 5 + size
        elif kind == "g":
            value = header[at + 1:at + 1 + header[at]].decode()
            at += 2 + header[at]
        else:  # u
            at += -at % 4
            value = struct.unpack_from(endian + "I", header, at)[0]
            at += 4
        if code == FIELD_REPLY_SERIAL:
            reply_serial = value
        elif code == FIELD_ERROR_NAME:
            error = value
    return reply_serial, error


class Connection:
    def __init__(self):
        self.sock = socket.socket(socket.AF_UNIX)
        address = os.environ.get("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/run/dbus/system_bus_socket")
        self.sock.connect(address.split("unix:path=", 1)[1].split(",")[0])
        self.sock.sendall(b"\0AUTH EXTERNAL " + str(os.getuid()).encode().hex().encode() + b"\r\n")
        reply = b""
        while b"\r\n" not in reply:
            chunk = self.sock.recv(256)
            if not chunk:
                raise OSError("the bus closed the connection")
            reply += chunk
        if not reply.startswith(b"OK"):
            raise OSError(f"the bus refused: {reply!r}")
        self.sock.sendall(b"BEGIN\r\n")
        self.serial = 0
        self.pending = set()
        self.hello = self.send(DBUS, "Hello")
        self.buffer = b""
        self.calls = 0

    def send(self, target, member, body_signature="", body=b""):
        self.serial += 1
        self.sock.sendall(call(self.serial, target, member, body_signature, body))
        return self.serial

    def messages(self):
        """The (type, reply serial, error name) of each whole message received so far."""
        chunk = self.sock.recv(65536)
        if not chunk:
            raise OSError("the bus closed the connection")
        self.buffer += chunk
        while len(self.buffer) >= 16:
            endian = "<" if self.buffer[0:1] == b"l" else ">"
            body, _, fields = struct.unpack_from(endian + "III", self.buffer, 4)
            size = 16 + fields + (-(16 + fields) % 8) + body
            if len(self.buffer) < size:
                return
            message, self.buffer = self.buffer[:size], self.buffer[size:]
            yield (message[1],) + fields_of(message)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("method")
    parser.add_argument("--connections", type=int, default=250)
    parser.add_argument("--in-flight", type=int, default=4)
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--calls", type=int, default=0)
    args = parser.parse_args()

    # A deadline the helper would take from someone allowed: five minutes ahead.
    def wake_call(connection):
        deadline = int((time.time() + 300) * 1e6)
        body = struct.pack("<Q", deadline)
        connection.pending.add(connection.send(HELPER, args.method, "t", body))
        connection.calls += 1

    answers = collections.Counter()
    selector = selectors.DefaultSelector()
    made, refused = [], []
    for _ in range(args.connections):
        try:
            connection = Connection()
        except OSError as e:  # the bus's own limit on one user's connections, say
            refused.append(str(e))
            continue
        made.append(connection)
        selector.register(connection.sock, selectors.EVENT_READ, connection)
    end = time.time() + args.seconds
    while time.time() < end and selector.get_map():
        for key, _ in selector.select(timeout=1):
            connection = key.data
            try:
                received = list(connection.messages())
            except OSError as e:
                answers[f"connection lost: {e}"] += 1
                selector.unregister(connection.sock)
                continue
            for _, reply_serial, error in received:
                if reply_serial == connection.hello:
                    for _ in range(args.in_flight):
                        wake_call(connection)
                elif reply_serial in connection.pending:
                    connection.pending.discard(reply_serial)
                    answers[error or "reply"] += 1
                    if not args.calls or connection.calls < args.calls:
                        wake_call(connection)
        if args.calls and all(c.calls >= args.calls and not c.pending for c in made):
            break
    print(json.dumps({"connections": len(made), "refused": len(refused),
                      "why refused": sorted(set(refused)), "calls": sum(c.calls for c in made),
                      "answers": dict(answers), "unanswered": sum(len(c.pending) for c in made)}))


if __name__ == "__main__":
    sys.exit(main())
