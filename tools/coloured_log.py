#!/usr/bin/env python3
"""A device that writes a coloured UTF-8 log, as firmware consoles do: ANSI
colours, accented and CJK text, emoji, a window title, and now and then a byte
that is not UTF-8. It serves a pseudo-terminal; point a COM number at it:

    python3 tools/coloured_log.py --link /tmp/log-port &
    TARNWICK_COM1=/tmp/log-port tarnwick     # then View > Text > UTF-8, ANSI colours
"""
import argparse
import os
import time
import tty

LINES = [
    "\x1b]0;sensor-node\x07\x1b[0;32mI (312) boot: ESP32 r3 \u2713 ready\x1b[0m",
    "\x1b[0;32mI (845) wifi: connected to \u00abLabor-2.4\u00bb, RSSI -61 dBm\x1b[0m",
    "\x1b[0;33mW (1290) sensor: temp\u00e9rature 21,5 \u00b0C \u2014 humidit\u00e9 48 %\x1b[0m",
    "\x1b[1;31mE (1733) \u6a21\u5757: \u8d85\u65f6 (timeout) \u2717\x1b[0m",
    "\x1b[38;5;208mD (1801) queue: 3/16 \u2192 \x1b[38;2;90;160;255mflush\x1b[0m",
    "\x1b[1mstatus\x1b[22m: \x1b[7m OK \x1b[27m \x1b[4mrx\x1b[24m=1024 tx=512 \u26a0",
    "\x1b[0;36mI (2044) uart: frame \x02 01 02 \x03 checksum ok\x1b[0m",
    "\x1b[0;36mI (2044) uart: tab\tseparated\tfields\x1b[0m",
]
# A line with a byte that is not UTF-8.
RAW = b"\x1b[0;35mV (2101) raw: bad byte \xff here\x1b[0m"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--link", help="a symbolic link to the device, made and removed")
    parser.add_argument("--interval", type=float, default=0.5, help="seconds between lines")
    args = parser.parse_args()
    master, slave = os.openpty()
    tty.setraw(slave)
    path = os.ttyname(slave)
    if args.link:
        if os.path.islink(args.link):
            os.unlink(args.link)
        os.symlink(path, args.link)
    print(path, flush=True)
    try:
        n = 0
        while True:
            lines = [line.encode("utf-8") for line in LINES] + [RAW]
            os.write(master, lines[n % len(lines)] + b"\r\n")
            n += 1
            time.sleep(args.interval)
    except KeyboardInterrupt:
        pass
    finally:
        if args.link and os.path.islink(args.link):
            os.unlink(args.link)


if __name__ == "__main__":
    main()
