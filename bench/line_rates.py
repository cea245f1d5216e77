#!/usr/bin/env python3
"""Whole-program cost at real line rates, against cat on the same stream.

For each rate the device simulator (tarnwick-sim) sends its messages on a
pseudo-terminal, paced or as fast as the line takes them ("idle": a moment
of 11.5 kB/s, then a quiet line). First `cat` reads the stream into a file,
then Tarnwick reads a fresh one under Xvfb (a real X server) with HEX 1-byte
units, 16 columns, both logs on, its window sized to show 25 rows. With
--rows (a list, 25 unless given) each rate runs once per Rows setting, and
the screen is filled first: the measurement starts once the raw log holds
Rows lines of 16 bytes. After a warm-up, a window of --seconds is measured
from /proc: CPU per
thread (% of one core, from schedstat), wake-ups per second (voluntary
context switches; preemptions, the involuntary ones, in brackets) of the GUI
thread and the port worker, paints per second (the program's
TARNWICK_PAINT_COUNTER file) and the rate the bytes reached the raw log
(cat: its output). Then the simulator stops sending and says how many
bytes the line took; the reader is given time to drain, then ended. Bytes lost
= bytes sent - bytes in the raw log (cat: its output); both are compared with
the simulator's stream byte for byte, and the text log must hold three
characters per byte. While measured, the raw log's size is sampled twice a
second against what the simulator had sent by then (known from what it sent
in all, at its steady pace): "lag" is the largest shortfall, in % of what
was sent. Every configuration runs --repeat times; the table shows
medians. --baseline BUILD measures a second build (an earlier commit) in the
same runs, right beside the first, so both meet the same machine.
"""

import argparse
import os
import shutil
import signal
import statistics
import struct
import subprocess
import sys
import tempfile
import time

# idle: the line carries 11.5 kB/s for a moment, then stays quiet while measured.
RATES = {"idle": 0, "11.5k": 11500, "100k": 100000, "300k": 300000, "flood": None}


def read_text(path):
    try:
        with open(path) as f:
            return f.read()
    except OSError:
        return ""


def thread_sample(pid):
    """{tid: (name, cpu ns, voluntary and involuntary context switches)}."""
    sample = {}
    try:
        tids = os.listdir(f"/proc/{pid}/task")
    except OSError:
        return sample
    for tid in tids:
        base = f"/proc/{pid}/task/{tid}"
        name = read_text(base + "/comm").strip()
        sched = read_text(base + "/schedstat").split()
        switches = [0, 0]
        for line in read_text(base + "/status").splitlines():
            if line.startswith("voluntary_ctxt_switches"):
                switches[0] = int(line.split()[1])
            elif line.startswith("nonvoluntary_ctxt_switches"):
                switches[1] = int(line.split()[1])
        if sched:
            sample[int(tid)] = (name, int(sched[0]), switches)
    return sample


def resident_mb(pid):
    for line in read_text(f"/proc/{pid}/status").splitlines():
        if line.startswith("VmRSS:"):
            return int(line.split()[1]) / 1024
    return 0.0


def file_size(path):
    try:
        return os.path.getsize(path)
    except OSError:
        return 0


def paint_count(path):
    try:
        with open(path, "rb") as f:
            data = f.read(8)
        return struct.unpack("<Q", data)[0] if len(data) == 8 else 0
    except OSError:
        return 0


def wait_for(predicate, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(0.05)
    return predicate()


class Simulator:
    def __init__(self, sim, link, rate):
        args = [sim, "--link", link, "--stats"]
        args += ["--flood"] if rate is None else ["--rate", str(rate)]
        self.proc = subprocess.Popen(args, stdout=subprocess.PIPE, text=True)
        self.device = self.proc.stdout.readline().strip()

    def stop_sending(self):
        """Stops the stream; returns the bytes the line took."""
        self.proc.send_signal(signal.SIGUSR1)
        line = self.proc.stdout.readline().split()
        return int(line[1]) if len(line) == 2 and line[0] == "sent" else -1

    def end(self):
        self.proc.send_signal(signal.SIGTERM)
        self.proc.communicate(timeout=10)


def same_as_stream(sim, path, size):
    """True when the file holds exactly the first size bytes of the stream."""
    dump = subprocess.Popen([sim, "--dump", str(size)], stdout=subprocess.PIPE)
    same = subprocess.run(["cmp", "-s", "-", path], stdin=dump.stdout).returncode == 0
    dump.stdout.close()
    dump.wait()
    return same


def run_trial(args, work, subject, rate, display, build=None, rows=25):
    """One reader on one fresh stream; returns its figures."""
    run = tempfile.mkdtemp(prefix=f"{subject}-", dir=work)
    port = os.path.join(run, "port")
    raw = os.path.join(run, "raw.log")
    text = os.path.join(run, "text.log")
    paints = os.path.join(run, "paints")
    sim = Simulator(args.sim, port, 11500 if rate == 0 else rate)
    if subject == "cat":
        out = open(raw, "wb")
        proc = subprocess.Popen(["cat", port], stdout=out)
        out.close()
    else:
        subprocess.run([build["config"], run, raw, text, str(rows)], check=True)
        env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb", TARNWICK_COM1=port,
                   TARNWICK_PAINT_COUNTER=paints, TARNWICK_UPDATE_URL="",
                   XDG_CONFIG_HOME=os.path.join(run, "config"))
        proc = subprocess.Popen([build["program"]], cwd=run, env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        # All 25 rows in view, as someone watching them would size the window.
        if shutil.which("xdotool"):
            subprocess.run(["xdotool", "search", "--sync", "--name", " - Tarnwick$", "windowsize",
                            "760", "680"], env=env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=20)
    try:
        if not wait_for(lambda: file_size(raw) > 0, 20):
            raise RuntimeError(f"{subject}: nothing arrived")
        if rate == 0:
            time.sleep(0.5)
            sent = sim.stop_sending()
        elif subject != "cat" and rows > 25:
            # The screen filled: Rows lines of 16 units are on it.
            fill = rows * 16
            limit = 60 + 3 * fill / (rate or 1_000_000)
            if not wait_for(lambda: file_size(raw) >= fill, limit):
                raise RuntimeError(f"{subject}: Rows {rows} not filled in {limit:.0f} s")
        time.sleep(args.warmup)
        t0, s0, b0, p0 = time.monotonic(), thread_sample(proc.pid), file_size(raw), paint_count(paints)
        x0 = thread_sample(args.xvfb_pid)
        samples = []
        while time.monotonic() < t0 + args.seconds:
            time.sleep(min(0.5, max(0.0, t0 + args.seconds - time.monotonic())))
            samples.append((time.monotonic(), file_size(raw)))
        t1, s1, b1, p1 = time.monotonic(), thread_sample(proc.pid), file_size(raw), paint_count(paints)
        x1 = thread_sample(args.xvfb_pid)
        rss = resident_mb(proc.pid)
        if rate != 0:
            sent = sim.stop_sending()
            t_sent = time.monotonic()
        # Whatever the line took reaches the reader; give it time to drain.
        last = [-1, time.monotonic()]

        def drained():
            size = file_size(raw)
            if size != last[0]:
                last[:] = [size, time.monotonic()]
            return size >= sent or time.monotonic() - last[1] > 3

        wait_for(drained, 120)
        proc.send_signal(signal.SIGTERM)
        proc.wait(timeout=30)
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
        sim.end()

    dt = t1 - t0
    none = ("", 0, [0, 0])
    cpu = lambda tids: sum(s1[t][1] - s0.get(t, none)[1] for t in tids) / dt / 1e7
    # A wake-up ends a sleep the thread chose; a preemption is the scheduler's.
    wakes = lambda tids, kind=0: sum(s1[t][2][kind] - s0.get(t, none)[2][kind] for t in tids) / dt
    gui = [t for t in s1 if t == proc.pid]
    worker = [t for t in s1 if s1[t][0] == "tarnwick-port"]
    other = [t for t in s1 if t not in gui and t not in worker]
    got = file_size(raw)
    result = {
        "rate": (b1 - b0) / dt,
        "cpu": cpu(list(s1)),
        "gui": cpu(gui),
        "worker": cpu(worker),
        "other": cpu(other),
        "gui_wakes": wakes(gui),
        "gui_preempted": wakes(gui, 1),
        "worker_wakes": wakes(worker),
        "worker_preempted": wakes(worker, 1),
        "paints": (p1 - p0) / dt,
        "xvfb": sum(x1[t][1] - x0.get(t, none)[1] for t in x1) / dt / 1e7,
        "rss": rss,
        "sent": sent,
        "lost": sent - got,
        # What the simulator had sent at each sample, from its total and pace.
        "lag": max((100 * (sent - rate * (t_sent - t) - size) / max(1, sent - rate * (t_sent - t))
                    for t, size in samples), default=0) if rate else 0.0,
        "intact": same_as_stream(args.sim, raw, got),
    }
    if subject != "cat":
        result["text_ok"] = file_size(text) == 3 * got
    if not args.keep:
        shutil.rmtree(run, ignore_errors=True)
    return result


def start_xvfb():
    read_end, write_end = os.pipe()
    proc = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                             "-nolisten", "tcp"], pass_fds=(write_end,),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as f:
        number = f.readline().strip()
    if not number:
        raise RuntimeError("Xvfb did not start")
    return proc, ":" + number


def human_rate(bps):
    return f"{bps / 1e6:.1f} MB/s" if bps >= 1e6 else f"{bps / 1e3:.1f} kB/s"


def print_table(rates, rows_list, results, label):
    """The medians of one build against cat; true when a byte was lost."""
    print("| rate | Rows | cat CPU | Tarnwick CPU | vs Rows 25 | GUI | worker | other | GUI wake/s "
          "| worker wake/s | paints/s | GUI wakes/paint | Xvfb CPU | cat received | received "
          "| vs cat | lag | lost | RSS |")
    print("|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|")
    failed = False
    med = lambda rows, key: statistics.median(row[key] for row in rows)
    for name, rows in ((n, r) for n in rates for r in rows_list):
        c, t = results[name]["cat"], results[(name, rows)][label]
        base = results.get((name, 25), {}).get(label)
        ratio = f"{med(t, 'cpu') / med(base, 'cpu'):.2f}x" if base and med(base, "cpu") > 0 else "-"
        lost = max(row["lost"] for row in t)
        intact = all(row["intact"] and row["text_ok"] for row in t)
        failed |= lost != 0 or not intact or any(row["lost"] or not row["intact"] for row in c)
        paints = med(t, "paints")
        per_paint = f"{med(t, 'gui_wakes') / paints:.2f}" if paints > 0 else "-"
        vs_cat = f"{100 * med(t, 'rate') / med(c, 'rate'):.0f} %" if med(c, "rate") > 0 else "-"
        print(f"| {name} | {rows} | {med(c, 'cpu'):.2f} % | {med(t, 'cpu'):.2f} % | {ratio} "
              f"| {med(t, 'gui'):.2f} % "
              f"| {med(t, 'worker'):.2f} % | {med(t, 'other'):.2f} % "
              f"| {med(t, 'gui_wakes'):.0f} ({med(t, 'gui_preempted'):.0f}) "
              f"| {med(t, 'worker_wakes'):.0f} ({med(t, 'worker_preempted'):.0f}) "
              f"| {paints:.1f} | {per_paint} "
              f"| {med(t, 'xvfb'):.1f} % | {human_rate(med(c, 'rate'))} "
              f"| {human_rate(med(t, 'rate'))} "
              f"| {vs_cat} | {max(row['lag'] for row in t):.2f} % "
              f"| {lost}{'' if intact else ' (logs differ!)'} | {med(t, 'rss'):.0f} MB |")
    return failed


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", required=True)
    parser.add_argument("--baseline", help="another build, measured in the same runs")
    parser.add_argument("--seconds", type=float, default=10)
    parser.add_argument("--warmup", type=float, default=2)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--rates", default=",".join(RATES))
    parser.add_argument("--rows", default="25",
                        help="Rows settings, comma-separated; each rate runs with each")
    parser.add_argument("--keep", action="store_true", help="keep the run directories")
    args = parser.parse_args()
    def build_of(directory):
        directory = os.path.abspath(directory)
        return {"program": os.path.join(directory, "src/app/tarnwick"),
                "config": os.path.join(directory, "bench/line_rates_config")}

    builds = {"tarnwick": build_of(args.build)}
    if args.baseline:
        builds = {"baseline": build_of(args.baseline), **builds}
    args.sim = os.path.join(os.path.abspath(args.build), "tools/tarnwick-sim")
    rates = [r.strip() for r in args.rates.split(",")]
    rows_list = [int(r) for r in args.rows.split(",")]

    # Ended from outside: the cleanups below still run.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    xvfb, display = start_xvfb()
    args.xvfb_pid = xvfb.pid
    work = tempfile.mkdtemp(prefix="tarnwick-line-rates-")
    results = {r: {"cat": []} for r in rates}
    results.update({(r, n): {b: [] for b in builds} for r in rates for n in rows_list})
    try:
        for repeat in range(args.repeat):
            for name in rates:
                for subject, rows in [("cat", 25)] + [(b, n) for n in rows_list for b in builds]:
                    r = run_trial(args, work, subject, RATES[name], display, builds.get(subject),
                                  rows)
                    (results[name] if subject == "cat" else results[(name, rows)])[subject].append(r)
                    print(f"# run {repeat + 1} {name} Rows {rows} {subject}: "
                          + " ".join(f"{k}={v:.2f}" if isinstance(v, float) else f"{k}={v}"
                                     for k, v in r.items()), file=sys.stderr, flush=True)
    finally:
        xvfb.terminate()
        xvfb.wait()
        shutil.rmtree(work, ignore_errors=True)

    load = os.getloadavg()
    print(f"Tarnwick: HEX 1-byte units, 16 columns, Rows {args.rows} (filled), both logs on, "
          f"window 760x680 (25 rows in sight) "
          f"under Xvfb. {args.repeat} runs of {args.seconds:g} s each (after {args.warmup:g} s warm-up); "
          f"medians; load average at the end {load[0]:.2f} {load[1]:.2f} {load[2]:.2f}; "
          f"{os.cpu_count()} cores")
    print()
    failed = False
    for label in builds:
        if len(builds) > 1:
            print(f"{label}: {args.baseline if label == 'baseline' else args.build}")
            print()
        failed |= print_table(rates, rows_list, results, label)
        print()
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
