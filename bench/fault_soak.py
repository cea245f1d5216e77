#!/usr/bin/env python3
"""Fault soak of the real Tarnwick program.

Tarnwick runs (offscreen) on a pseudo-terminal that is flooded at full speed,
with the raw log and the HEX text log on. In every cycle the device disappears
(the pseudo-terminal's other side is closed) and a new pseudo-terminal is
linked at the same path; Tarnwick has to find it again by itself. Meanwhile
both logs are renamed away every few seconds, as logrotate does, and the text
log's file system (a small tmpfs, or without the right to mount one a
file-size limit on the process) is filled and freed again. At the end Tarnwick
gets SIGTERM.

Reported: cycles survived; bytes sent while connected against bytes in the raw
log, per connected stretch (nothing may be lost) and byte for byte over the
whole run; the time to reconnect; peak memory after the first stretch and at
the end; the exit status; whether Tarnwick.cfg is intact.

Usage: bench/fault_soak.py PROGRAM [--cycles N] [--stretch-bytes N]
                           [--rotate-every SECONDS] [--work DIR]
Exit status 0 when every check passed, 1 otherwise.
"""

import argparse
import errno
import os
import random
import select
import shutil
import signal
import statistics
import struct
import subprocess
import sys
import tempfile
import termios
import threading
import time
import tty

RECORD_SIZE = 2192
PATH_SIZE = 1024


def settings_record(raw_path, text_path):
    """The configuration record: COM1, HEX, 1-byte units, 16 columns, 25 rows,
    both logs on."""
    record = bytearray(RECORD_SIZE)
    for offset, value in ((4, 6), (8, 3), (40, 1), (44, 20), (112, 0xFFFFFF), (116, 16),
                          (120, 25), (132, 1), (140, 1)):
        struct.pack_into("<i", record, offset, value)
    record[136] = 0x20
    for offset, path in ((144, text_path), (1168, raw_path)):
        encoded = os.fsencode(path)
        assert len(encoded) < PATH_SIZE
        record[offset:offset + len(encoded)] = encoded
    return bytes(record)


def stretch_bytes(index, size):
    """What connected stretch `index` sends: a marker, then bytes of its own seed."""
    body = random.Random(index).randbytes(size)
    return struct.pack("<4sI", b"STR\xA5", index) + body[8:]


class Device:
    """One pseudo-terminal: the test holds the master, Tarnwick opens the slave."""

    def __init__(self):
        self.master, slave = os.openpty()
        self.slave_path = os.ttyname(slave)
        # Raw before Tarnwick opens it, so nothing is translated or echoed
        # between its open and its own line settings.
        tty.setraw(self.master)
        os.close(slave)
        os.set_blocking(self.master, False)

    def flood(self, data):
        """Writes all of data as fast as the other side takes it; the bytes written."""
        sent = 0
        view = memoryview(data)
        while sent < len(data):
            select.select([], [self.master], [], 1.0)
            try:
                sent += os.write(self.master, view[sent:sent + 65536])
            except BlockingIOError:
                continue
            except OSError as error:
                if error.errno == errno.EIO:
                    break
                raise
        return sent

    def drain_input(self):
        """Discards whatever Tarnwick wrote back (it sends nothing here)."""
        try:
            while os.read(self.master, 65536):
                pass
        except (BlockingIOError, OSError):
            pass

    def close(self):
        os.close(self.master)


def relink(link, target):
    temp = link + ".new"
    if os.path.lexists(temp):
        os.unlink(temp)
    os.symlink(target, temp)
    os.replace(temp, link)


def holds_open(pid, path):
    try:
        for fd in os.listdir(f"/proc/{pid}/fd"):
            try:
                if os.readlink(f"/proc/{pid}/fd/{fd}") == path:
                    return True
            except OSError:
                continue
    except OSError:
        pass
    return False


def memory_kib(pid):
    values = {}
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith(("VmRSS:", "VmHWM:")):
                key, value = line.split(":")
                values[key] = int(value.split()[0])
    return values.get("VmRSS", 0), values.get("VmHWM", 0)


class Logs:
    """The two logs, renamed away on a timer as logrotate would; rotated raw
    logs are kept (in order) for the final comparison, rotated text logs are
    deleted so the small file system fills only when the test says so."""

    def __init__(self, raw_path, text_path):
        self.raw_path = raw_path
        self.text_path = text_path
        self.lock = threading.Lock()
        self.rotations = 0
        self.raw_parts = []
        self.keep_text = False  # while the text disk is full: deleting would free it
        self.text_parts = []
        self.pid = None  # Tarnwick's

    def rotate(self):
        with self.lock:
            self.rotations += 1
            if os.path.exists(self.raw_path):
                part = f"{self.raw_path}.{self.rotations}"
                os.rename(self.raw_path, part)
                self.raw_parts.append(part)
            if os.path.exists(self.text_path):
                part = f"{self.text_path}.{self.rotations}"
                os.rename(self.text_path, part)
                self.text_parts.append(part)
            if not self.keep_text:
                self.drop_text_parts()

    def drop_text_parts(self):
        # A part that Tarnwick still holds (it looks at the path at its next
        # write) would free its space only when Tarnwick lets go, perhaps
        # while the disk is meant to be full: it waits for a later rotation.
        held = [part for part in self.text_parts if holds_open(self.pid, part)]
        for part in self.text_parts:
            if part not in held:
                os.unlink(part)
        self.text_parts = held

    def raw_size(self):
        with self.lock:
            total = 0
            for path in self.raw_parts + [self.raw_path]:
                try:
                    total += os.path.getsize(path)
                except OSError:
                    pass
            return total

    def text_size(self):
        try:
            return os.path.getsize(self.text_path)
        except OSError:
            return 0

    def raw_stream(self):
        with self.lock:
            parts = list(self.raw_parts)
        for path in parts + [self.raw_path]:
            if os.path.exists(path):
                with open(path, "rb") as part:
                    while True:
                        chunk = part.read(1 << 20)
                        if not chunk:
                            break
                        yield chunk


class TextDisk:
    """A small tmpfs for the text log, made full and free again."""

    def __init__(self, work):
        self.dir = os.path.join(work, "textdisk")
        os.makedirs(self.dir)
        result = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64m", "tmpfs", self.dir],
                                capture_output=True, text=True)
        if result.returncode != 0:
            raise SystemExit("fault_soak: cannot mount a tmpfs for the text log "
                             f"(run as root or under unshare -rm): {result.stderr.strip()}")
        self.filler = os.path.join(self.dir, "filler")

    def fill(self, logs):
        logs.keep_text = True
        with open(self.filler, "wb", buffering=0) as filler:
            chunk = b"\0" * (1 << 20)
            while chunk:
                try:
                    filler.write(chunk)
                except OSError as error:
                    if error.errno != errno.ENOSPC:
                        raise
                    chunk = chunk[:len(chunk) // 2]

    def free(self, logs):
        os.unlink(self.filler)
        with logs.lock:
            logs.keep_text = False
            logs.drop_text_parts()

    def close(self):
        subprocess.run(["umount", self.dir], capture_output=True)


def first_difference(expected_chunks, got_chunks):
    """Offset of the first byte where the two streams differ (None when they
    are equal) and the length of the second."""
    got = iter(got_chunks)
    pending = memoryview(b"")
    offset = 0
    for want in expected_chunks:
        want = memoryview(want)
        while want:
            if not pending:
                pending = memoryview(next(got, b""))
                if not pending:
                    return offset, offset
            n = min(len(pending), len(want))
            if pending[:n] != want[:n]:
                differs = next(i for i in range(n) if pending[i] != want[i])
                rest = len(pending) - differs + sum(len(chunk) for chunk in got)
                return offset + differs, offset + differs + rest
            pending, want, offset = pending[n:], want[n:], offset + n
    rest = len(pending) + sum(len(chunk) for chunk in got)
    return (None if rest == 0 else offset), offset + rest


def wait_for(predicate, timeout):
    deadline = time.monotonic() + timeout
    while not predicate():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.002)
    return True


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("program", help="the tarnwick executable")
    parser.add_argument("--cycles", type=int, default=100)
    parser.add_argument("--stretch-bytes", type=int, default=2 << 20)
    parser.add_argument("--rotate-every", type=float, default=3.0)
    parser.add_argument("--work", help="working directory (default: a new temporary one)")
    args = parser.parse_args()

    work = args.work or tempfile.mkdtemp(prefix="tarnwick-soak-")
    os.makedirs(work, exist_ok=True)
    run_dir = os.path.join(work, "run")
    os.makedirs(run_dir)
    disk = TextDisk(work)
    try:
        return soak(args, work, run_dir, disk)
    finally:
        disk.close()
        if not args.work:
            shutil.rmtree(work, ignore_errors=True)


def soak(args, work, run_dir, disk):
    link = os.path.join(work, "com1")
    logs = Logs(os.path.join(run_dir, "raw.log"), os.path.join(disk.dir, "text.log"))
    record = settings_record(logs.raw_path, logs.text_path)
    config = os.path.join(run_dir, "Tarnwick.cfg")
    with open(config, "wb") as out:
        out.write(record)

    device = Device()
    relink(link, device.slave_path)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", TARNWICK_COM1=link)
    stderr = open(os.path.join(work, "tarnwick.stderr"), "wb")
    started = time.monotonic()
    program = subprocess.Popen([os.path.abspath(args.program)], cwd=run_dir, env=env,
                               stderr=stderr, stdout=subprocess.DEVNULL)
    try:
        return drive(args, run_dir, link, disk, logs, record, config, device, program, started)
    finally:
        if program.poll() is None:
            program.kill()
            program.wait()


def drive(args, run_dir, link, disk, logs, record, config, device, program, started):
    fill_at = {args.cycles * 1 // 4, args.cycles * 3 // 4}
    free_at = {c + max(1, args.cycles // 10) for c in fill_at}

    logs.pid = program.pid
    stop_rotation = threading.Event()

    def rotate_logs():
        while not stop_rotation.wait(args.rotate_every):
            logs.rotate()

    rotation = threading.Thread(target=rotate_logs, daemon=True)

    reconnects = []
    stretches = []  # (sent, arrived) per connected stretch
    text_grew = {True: [0, 0], False: [0, 0]}  # disk full?: [stretches it grew in, stretches]
    memory_start = memory_end = (0, 0)
    survived = 0
    failure = None
    full = False
    for cycle in range(args.cycles):
        if program.poll() is not None:
            failure = f"Tarnwick ended during cycle {cycle} with status {program.returncode}"
            break
        t0 = time.monotonic()
        if not wait_for(lambda: holds_open(program.pid, device.slave_path), 15):
            failure = f"cycle {cycle}: the port was not opened again within 15 s"
            break
        if cycle > 0:
            reconnects.append(time.monotonic() - t0)
        else:
            rotation.start()
        if cycle in fill_at:
            disk.fill(logs)
            # A fresh text log has no partly used page left to write into.
            logs.rotate()
            full = True
        if cycle in free_at:
            disk.free(logs)
            full = False
        rotations_before, text_before, raw_before = logs.rotations, logs.text_size(), logs.raw_size()
        sent = device.flood(stretch_bytes(cycle, args.stretch_bytes))
        wait_for(lambda: logs.raw_size() - raw_before >= sent, 30)
        stretches.append((sent, logs.raw_size() - raw_before))
        if logs.rotations == rotations_before:  # else the text log's size says nothing
            text_grew[full][0] += logs.text_size() > text_before
            text_grew[full][1] += 1
        device.drain_input()
        if cycle == 0:
            memory_start = memory_kib(program.pid)
        survived += 1
        if cycle == args.cycles - 1:
            memory_end = memory_kib(program.pid)
            break
        # The device disappears; another one appears at the same path.
        following = Device()
        relink(link, following.slave_path)
        device.close()
        device = following

    stop_rotation.set()
    if rotation.is_alive():
        rotation.join()
    if program.poll() is None:
        program.send_signal(signal.SIGTERM)
        try:
            exit_status = program.wait(timeout=30)
        except subprocess.TimeoutExpired:
            program.kill()
            exit_status = program.wait()
            failure = failure or "Tarnwick did not end within 30 s of SIGTERM"
    else:
        exit_status = program.returncode
    device.close()
    elapsed = time.monotonic() - started

    # Byte for byte: every stretch, in order, against the raw log's parts.
    def expected():
        for index, (sent, _) in enumerate(stretches):
            yield stretch_bytes(index, args.stretch_bytes)[:sent]

    expected_total = sum(sent for sent, _ in stretches)
    mismatch_at, received = first_difference(expected(), logs.raw_stream())

    with open(config, "rb") as saved:
        config_intact = saved.read() == record
    leftovers = [name for name in os.listdir(run_dir) if name.startswith("Tarnwick.cfg.")]
    lost_per_stretch = [sent - arrived for sent, arrived in stretches]
    stretches_with_loss = sum(1 for lost in lost_per_stretch if lost != 0)

    print(f"cycles survived:              {survived} of {args.cycles}")
    print(f"log renames:                  {logs.rotations} (every {args.rotate_every:g} s)")
    print(f"text log disk:                tmpfs of 64 MiB, filled at cycles {sorted(fill_at)}, "
          f"freed at {sorted(free_at)}")
    print(f"bytes sent while connected:   {expected_total}")
    print(f"bytes in the raw log:         {received}")
    print(f"stretches with bytes lost:    {stretches_with_loss} of {len(stretches)} "
          f"(most lost in one: {max(lost_per_stretch) if lost_per_stretch else 0})")
    identical = mismatch_at is None and received == expected_total
    print(f"raw log byte for byte:        "
          f"{'identical' if identical else f'differs from byte {mismatch_at}'}")
    print(f"text log grew in stretches:   {text_grew[True][0]} of {text_grew[True][1]} "
          f"while its disk was full, {text_grew[False][0]} of {text_grew[False][1]} otherwise")
    if reconnects:
        print(f"time to reconnect:            median {statistics.median(reconnects) * 1000:.0f} ms, "
              f"max {max(reconnects) * 1000:.0f} ms ({len(reconnects)} reconnects)")
    print(f"memory after first stretch:   RSS {memory_start[0]} KiB, peak {memory_start[1]} KiB")
    print(f"memory at the end:            RSS {memory_end[0]} KiB, peak {memory_end[1]} KiB")
    print(f"exit status after SIGTERM:    {exit_status}")
    print(f"Tarnwick.cfg intact:          {'yes' if config_intact else 'no'}"
          f"{'' if not leftovers else ', leftovers: ' + ' '.join(leftovers)}")
    print(f"duration:                     {elapsed:.0f} s")
    if failure:
        print(f"FAILED: {failure}")

    ok = (failure is None and survived == args.cycles and stretches_with_loss == 0 and
          identical and exit_status == 0 and
          config_intact and not leftovers and text_grew[True][0] == 0 and
          text_grew[False][0] == text_grew[False][1])
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
