#!/usr/bin/env python3
"""Quillet under Wine: forwarding latency and memory of the running bridge.

Usage: tools/bench_quillet.py BIN_DIR [--sentences N] [--minutes M]

Latency: a GPGGA sentence (after an RMC sentence) is written to the pty of the
declared Bluetooth port; the time from its last byte to its arrival at the
host's listener is measured for each sentence, at random phases against the
bridge's 100 ms polling. Memory: a stream at 115200 baud (11520 bytes/s) of
mixed NMEA sentences for M minutes, with the bridge's resident set sampled
every 10 s. Prints figures; asserts nothing."""

import argparse
import os
import random
import statistics
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "e2e"))
import winetest  # noqa: E402
from test_quillet import nmea, receiver_epochs  # noqa: E402


def rss_kib(pid: int) -> int:
    try:
        for line in Path(f"/proc/{pid}/status").read_text().splitlines():
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    except OSError:
        pass
    return -1


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(fraction * (len(ordered) - 1))))]


def measure_latency(port, host, count):
    rng = random.Random(1)
    latencies = []
    base = len(host.received())
    for i in range(count):
        gga = nmea(f"GPGGA,{i:06d}.00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,")
        port.write(nmea(f"GPRMC,{i:06d}.00,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W") + gga)
        written = time.monotonic()
        target = base + len(gga) - 1  # CR LF arrives as LF
        deadline = written + 5
        arrived = None
        while time.monotonic() < deadline and arrived is None:
            with host._lock:
                total = 0
                for stamp, data in host.pieces:
                    total += len(data)
                    if total >= target:
                        arrived = stamp
                        break
            if arrived is None:
                time.sleep(0.001)
        if arrived is None:
            print(f"sentence {i} did not arrive")
            return latencies
        latencies.append((arrived - written) * 1000)
        base = target
        time.sleep(rng.uniform(0.15, 0.45))
    return latencies


def soak(port, host, pid, minutes):
    stream = b"".join(block for _, block in receiver_epochs(300))
    rate = 11520  # bytes a second at 115200 baud, 8N1
    samples = []
    start = time.monotonic()
    end = start + minutes * 60
    sent = 0
    next_sample = start
    offset = 0
    while time.monotonic() < end:
        now = time.monotonic()
        due = int((now - start) * rate)
        if due > sent:
            piece = stream[offset:offset + (due - sent)]
            if len(piece) < due - sent:
                piece += stream[:due - sent - len(piece)]
            offset = (offset + len(piece)) % len(stream)
            port.write(piece)
            sent += len(piece)
        if now >= next_sample:
            samples.append((now - start, rss_kib(pid)))
            next_sample += 10
        time.sleep(0.01)
    return sent, samples


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("bin_dir")
    parser.add_argument("--sentences", type=int, default=220)
    parser.add_argument("--minutes", type=float, default=10)
    args = parser.parse_args()
    os.environ["TOOLS_BIN_DIR"] = str(Path(args.bin_dir).resolve())

    host = winetest.HostListener(wait=600)
    prefix = winetest.WinePrefix("win64")
    try:
        prefix.declare_port("Standard Serial over Bluetooth link (COM5)", enumerator="BTHENUM",
                            device="{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0000", instance="7")
        port = prefix.make_com_port(5)
        process = prefix.start(winetest.exe("Quillet.exe"))
        time.sleep(5)
        if process.poll() is not None:
            print(f"Quillet ended with {process.returncode}")
            return 1

        latencies = measure_latency(port, host, args.sentences)
        if latencies:
            print(f"latency over {len(latencies)} sentences: median {statistics.median(latencies):.1f} ms, "
                  f"p99 {percentile(latencies, 0.99):.1f} ms, min {min(latencies):.1f} ms, "
                  f"max {max(latencies):.1f} ms")

        if args.minutes > 0:
            command = Path(f"/proc/{process.pid}/cmdline").read_bytes().replace(b"\0", b" ").decode(errors="replace")
            print(f"sampling process {process.pid}: {command.strip()}")
            received_before = len(host.received())
            sent, samples = soak(port, host, process.pid, args.minutes)
            time.sleep(1)
            print(f"soak: {sent} bytes in {args.minutes:g} min at 115200 baud, "
                  f"{len(host.received()) - received_before} bytes forwarded")
            for seconds, kib in samples:
                print(f"  t={seconds:6.0f} s  RSS {kib} KiB")
            warm = [kib for seconds, kib in samples if seconds >= 60]
            if warm:
                print(f"after warm-up (60 s on): RSS min {min(warm)} KiB, max {max(warm)} KiB, "
                      f"last {warm[-1]} KiB")
            print(f"bridge still running: {process.poll() is None}")
        return 0
    finally:
        host.close()
        prefix.close()


if __name__ == "__main__":
    sys.exit(main())
