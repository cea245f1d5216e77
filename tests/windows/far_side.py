#!/usr/bin/env python3
"""The far end of the COM ports that Windows tests open under Wine.

Wine opens COMn through the symbolic link comn in the prefix's dosdevices
folder. This program serves a Windows test, started as
    far_side.py --dosdevices DIR -- COMMAND...
It runs COMMAND with TARNWICK_FAR_SIDE=127.0.0.1:PORT in its environment and
answers one-line commands on that loopback port, each with "ok ..." or
"error TEXT":
    pty                 a pseudo-terminal linked as a free COM number: "ok N"
    file                a regular file linked so: "ok N"
    missing             a link to a path that does not exist: "ok N"
    write N HEX         writes the bytes into the far side of port N
    read N COUNT MS     reads until COUNT bytes came or MS passed: "ok HEX"
    line N              the line as configured: "ok cstopb=0 parodd=0 ..."
    hangup N            closes the far side, as a pulled adapter
    renew N             links N to a fresh pseudo-terminal, as a plugged one
The links and pseudo-terminals of a connection go when it closes, and
everything goes when COMMAND ends; its exit status is this program's.
"""

import argparse
import fcntl
import os
import pty
import select
import socketserver
import struct
import subprocess
import sys
import tempfile
import termios
import threading
import time
import tty

# Numbers are taken from COM99 down: Wine links com1, com2 ... to the serial
# devices it finds whenever it starts its services, and two-digit numbers also
# prove the "\\.\COM%d" form that Windows needs above COM9.
FIRST_PORT, LAST_PORT = 10, 99

# struct termios2 of Linux on x86-64: four flag words, the line discipline,
# 19 control characters, then the input and output rates as numbers.
TERMIOS2 = struct.Struct("<4IB19s2I")
TCGETS2 = (2 << 30) | (TERMIOS2.size << 16) | (ord("T") << 8) | 0x2A
CMSPAR = getattr(termios, "CMSPAR", 0o10000000000)


class Port:
    """One linked COM number and the pseudo-terminal, if any, behind it."""

    def __init__(self):
        self.number = 0
        self.link = ""
        self.master = -1
        self.keeper = -1

    def open_pty(self):
        """A fresh pseudo-terminal; returns the path of its near side."""
        self.master, self.keeper = pty.openpty()
        # The keeper holds the near side open, so the far side never reads a
        # hang-up before the test has opened the port.
        tty.setraw(self.keeper)
        os.set_blocking(self.master, False)
        return os.ttyname(self.keeper)

    def link_to(self, dosdevices, target):
        """Links the highest free comN to target. symlink() refuses a taken
        name, so harnesses running side by side never share a number."""
        for number in range(LAST_PORT, FIRST_PORT - 1, -1):
            link = os.path.join(dosdevices, "com%d" % number)
            try:
                os.symlink(target, link)
            except FileExistsError:
                continue
            self.number, self.link = number, link
            return
        raise RuntimeError("no free COM number")

    def relink(self, target):
        fresh = self.link + ".new"
        os.symlink(target, fresh)
        os.replace(fresh, self.link)

    def close(self):
        for fd in (self.master, self.keeper):
            if fd >= 0:
                os.close(fd)
        self.master = self.keeper = -1

    def remove(self):
        self.close()
        if self.link:
            try:
                os.unlink(self.link)
            except FileNotFoundError:
                pass
        self.link = ""


def describe_line(fd):
    """The flags a pseudo-terminal keeps as they were set. It forces 8 data
    bits and clears PARENB whatever it is told, so parity shows only through
    PARODD and CMSPAR."""
    raw = fcntl.ioctl(fd, TCGETS2, bytes(TERMIOS2.size))
    iflag, oflag, cflag, lflag, _, _, ispeed, ospeed = TERMIOS2.unpack(raw)
    raw_mode = not (lflag & (termios.ICANON | termios.ECHO | termios.ISIG)) and not (
        oflag & termios.OPOST) and not (iflag & (termios.ICRNL | termios.IXON))
    fields = {
        "cstopb": cflag & termios.CSTOPB,
        "parodd": cflag & termios.PARODD,
        "cmspar": cflag & CMSPAR,
        "crtscts": cflag & termios.CRTSCTS,
        "clocal": cflag & termios.CLOCAL,
        "cread": cflag & termios.CREAD,
        "raw": raw_mode,
    }
    words = ["%s=%d" % (name, 1 if value else 0) for name, value in fields.items()]
    return " ".join(words + ["ispeed=%d" % ispeed, "ospeed=%d" % ospeed])


def read_far_side(fd, count, timeout_ms):
    got = bytearray()
    deadline = time.monotonic() + timeout_ms / 1000.0
    while len(got) < count:
        left = deadline - time.monotonic()
        if left <= 0:
            break
        ready, _, _ = select.select([fd], [], [], left)
        if not ready:
            continue
        try:
            chunk = os.read(fd, 65536)
        except BlockingIOError:
            continue
        except OSError:  # EIO: nobody holds the near side open
            time.sleep(0.001)
            continue
        got += chunk
    return bytes(got)


def write_far_side(fd, data):
    done = 0
    while done < len(data):
        _, ready, _ = select.select([], [fd], [], 2.0)
        if not ready:
            raise RuntimeError("far side takes no more bytes")
        done += os.write(fd, data[done:])


class Session(socketserver.StreamRequestHandler):
    def setup(self):
        super().setup()
        self.ports = {}
        self.scratch = tempfile.TemporaryDirectory(prefix="tarnwick-far-side-")
        with self.server.lock:
            self.server.sessions.add(self)

    def finish(self):
        self.server.forget(self)
        super().finish()

    def remove_all(self):
        for port in self.ports.values():
            port.remove()
        self.scratch.cleanup()

    def handle(self):
        for raw in self.rfile:
            words = raw.decode("ascii", "replace").split()
            if not words:
                continue
            try:
                reply = "ok " + self.run(words[0], words[1:])
            except Exception as error:  # the test reads the reason
                reply = "error %s: %s" % (type(error).__name__, error)
            self.wfile.write((reply.rstrip() + "\n").encode("ascii"))
            self.wfile.flush()

    def add(self, port, target):
        try:
            port.link_to(self.server.dosdevices, target)
        except Exception:
            port.remove()
            raise
        self.ports[port.number] = port
        return str(port.number)

    def run(self, command, args):
        if command == "pty":
            port = Port()
            return self.add(port, port.open_pty())
        if command == "file":
            path = os.path.join(self.scratch.name, "file")
            with open(path, "wb") as out:
                out.write(b"not a serial line")
            return self.add(Port(), path)
        if command == "missing":
            return self.add(Port(), os.path.join(self.scratch.name, "absent"))

        port = self.ports[int(args[0])]
        if command == "write":
            write_far_side(port.master, bytes.fromhex(args[1] if len(args) > 1 else ""))
            return ""
        if command == "read":
            return read_far_side(port.master, int(args[1]), int(args[2])).hex()
        if command == "line":
            return describe_line(port.master)
        if command == "hangup":
            port.close()
            return ""
        if command == "renew":
            port.close()
            port.relink(port.open_pty())
            return ""
        raise ValueError("unknown command " + command)


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True

    def __init__(self, dosdevices):
        super().__init__(("127.0.0.1", 0), Session)
        self.dosdevices = dosdevices
        self.lock = threading.Lock()
        self.sessions = set()

    def forget(self, session):
        with self.lock:
            if session in self.sessions:
                self.sessions.discard(session)
                session.remove_all()

    def forget_all(self):
        """What a test that ended without closing its connection left."""
        with self.lock:
            for session in self.sessions:
                session.remove_all()
            self.sessions.clear()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--dosdevices", required=True)
    parser.add_argument("command", nargs=argparse.REMAINDER)
    options = parser.parse_args()
    command = options.command[1:] if options.command[:1] == ["--"] else options.command
    if not command:
        parser.error("no command to run")

    with Server(options.dosdevices) as server:
        threading.Thread(target=server.serve_forever, daemon=True).start()
        env = dict(os.environ, TARNWICK_FAR_SIDE="127.0.0.1:%d" % server.server_address[1])
        try:
            status = subprocess.call(command, env=env)
        finally:
            server.shutdown()
            server.forget_all()
    return status


if __name__ == "__main__":
    sys.exit(main())
