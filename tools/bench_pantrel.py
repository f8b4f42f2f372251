#!/usr/bin/env python3
"""Pantrel.exe under Wine: command-to-frame latency, pause accuracy and the
watchdog's exit latency. Prints figures; asserts nothing.

    TOOLS_BIN_DIR=build/win64/bin WINE_ARCH=win64 python3 tools/bench_pantrel.py [commands]
"""

import os
import statistics
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "e2e"))
from winetest import WinePrefix, exe  # noqa: E402


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(fraction * (len(ordered) - 1))))]


def first_bytes(port, count, timeout=3.0):
    """Arrival time of the first byte, and of the byte after the first frame."""
    got = 0
    first = None
    end = time.monotonic() + timeout
    while got < count and time.monotonic() < end:
        data = port.read_available()
        if data:
            now = time.monotonic()
            if first is None:
                first = now
            got += len(data)
            yield now, got
        else:
            time.sleep(0.0002)


def main() -> int:
    commands = int(sys.argv[1]) if len(sys.argv) > 1 else 200
    wine = WinePrefix()
    try:
        wine.declare_port("Communications Port (COM3)")
        port = wine.make_com_port(3)
        host = wine.start_sleeper("host.exe")
        out = open(wine.root / "out.bin", "wb")
        pantrel = wine.start(exe("Pantrel.exe"), ["host.exe", "zal2"], stdin=subprocess.PIPE, stdout=out)
        time.sleep(2)
        port.read_available()

        latencies = []
        for _ in range(commands):
            sent = time.monotonic()
            pantrel.stdin.write(b"h\n")
            pantrel.stdin.flush()
            arrivals = list(first_bytes(port, 5))
            if arrivals:
                latencies.append((arrivals[0][0] - sent) * 1000)
            time.sleep(0.01)

        pause_errors = []
        for _ in range(max(5, commands // 10)):
            pantrel.stdin.write(b"l\n")
            pantrel.stdin.flush()
            move = stop = None
            for t, got in first_bytes(port, 14):
                if move is None:
                    move = t
                if got > 7 and stop is None:
                    stop = t
            if move and stop:
                pause_errors.append((stop - move) * 1000 - 400)

        host.kill()
        killed = time.monotonic()
        host.wait()
        pantrel.wait(timeout=10)
        exit_latency = (time.monotonic() - killed) * 1000
        exit_code = pantrel.returncode

        print(f"Pantrel.exe under Wine ({wine.arch}), {len(latencies)} commands")
        print(f"  command to first frame byte: median {statistics.median(latencies):.1f} ms, "
              f"p99 {percentile(latencies, 0.99):.1f} ms, max {max(latencies):.1f} ms")
        print(f"  pause error (400 ms move): median {statistics.median(pause_errors):+.1f} ms, "
              f"max {max(pause_errors, key=abs):+.1f} ms over {len(pause_errors)} moves")
        print(f"  watchdog: exit code {exit_code} {exit_latency:.0f} ms after the host was killed")
    finally:
        wine.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
