#!/usr/bin/env python3
"""The capture with no window against cat, on the same stream, in CPU.

For each repeat the device simulator (tarnwick-sim) sends its messages at
--rate bytes a second on a pseudo-terminal. First `cat` copies the stream
into a file, then `tarnwick --headless` reads a fresh one with HEX 1-byte
units, 16 columns, 25 rows and both logs on (the line-rate benchmark's
configuration). After --warmup seconds, --seconds are measured from /proc:
CPU of the whole process, all threads (% of one core). Then the simulator
stops and says how many bytes the line took; the reader ends on SIGTERM
(Tarnwick must end with status 0 and hold every byte, in order, in its raw
log and three characters a byte in its text log). Prints the medians and
the ratio; exits 1 when a byte was lost or the ratio exceeds --limit.
"""

import argparse
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from line_rates import Simulator, file_size, same_as_stream, thread_sample, wait_for  # noqa: E402


def trial(args, work, subject):
    run = tempfile.mkdtemp(prefix=f"{subject}-", dir=work)
    port, raw, text = (os.path.join(run, n) for n in ("port", "raw.log", "text.log"))
    sim = Simulator(args.sim, port, args.rate)
    proc = None
    try:
        if subject == "cat":
            with open(raw, "wb") as out:
                proc = subprocess.Popen(["cat", port], stdout=out)
        else:
            subprocess.run([args.config, run, raw, text], check=True)
            env = dict(os.environ, TARNWICK_COM1=port,
                       XDG_CONFIG_HOME=os.path.join(run, "config"))
            for name in ("DISPLAY", "WAYLAND_DISPLAY"):
                env.pop(name, None)
            proc = subprocess.Popen([args.program, "--headless"], cwd=run, env=env,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not wait_for(lambda: file_size(raw) > 0, 20):
            raise RuntimeError(f"{subject}: nothing arrived")
        time.sleep(args.warmup)
        t0, s0 = time.monotonic(), thread_sample(proc.pid)
        time.sleep(args.seconds)
        t1, s1 = time.monotonic(), thread_sample(proc.pid)
        sent = sim.stop_sending()
        wait_for(lambda: file_size(raw) >= sent, 30)
        proc.send_signal(signal.SIGTERM)
        status = proc.wait(timeout=30)
    finally:
        if proc is not None and proc.poll() is None:
            proc.kill()
            proc.wait()
        sim.end()
    cpu = sum(s1[t][1] - s0.get(t, ("", 0))[1] for t in s1) / (t1 - t0) / 1e7
    got = file_size(raw)
    intact = got == sent and same_as_stream(args.sim, raw, got)
    if subject != "cat":
        intact = intact and status == 0 and file_size(text) == 3 * got
    shutil.rmtree(run, ignore_errors=True)
    return cpu, intact


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", required=True)
    parser.add_argument("--rate", type=int, default=100000)
    parser.add_argument("--seconds", type=float, default=10)
    parser.add_argument("--warmup", type=float, default=2)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--limit", type=float, default=2.0)
    args = parser.parse_args()
    args.build = os.path.abspath(args.build)
    args.program = os.path.join(args.build, "src/app/tarnwick")
    args.sim = os.path.join(args.build, "tools/tarnwick-sim")
    args.config = os.path.join(args.build, "bench/line_rates_config")
    work = tempfile.mkdtemp(prefix="headless-cost-")
    results = {"cat": [], "headless": []}
    try:
        for _ in range(args.repeat):
            for subject in results:
                results[subject].append(trial(args, work, subject))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    cat = statistics.median(c for c, _ in results["cat"])
    headless = statistics.median(c for c, _ in results["headless"])
    intact = all(ok for runs in results.values() for _, ok in runs)
    ratio = headless / cat if cat > 0 else float("inf")
    print(f"rate {args.rate} B/s, {args.repeat} x {args.seconds:g} s, medians:")
    print(f"| cat CPU | tarnwick --headless CPU | ratio | every byte, both logs, status 0 |")
    print(f"| {cat:.2f} % | {headless:.2f} % | {ratio:.2f} | {'yes' if intact else 'NO'} |")
    return 0 if intact and ratio <= args.limit else 1


if __name__ == "__main__":
    sys.exit(main())
