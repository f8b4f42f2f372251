#!/usr/bin/env python3
"""Soak run of Quillet under Wine: a 115200-baud NMEA stream on the declared
Bluetooth port for a set time, with the bridge's memory and CPU printed once a
minute, then the count of GPGGA sentences sent against those the host received
(each numbered, so a loss or a duplicate shows by number).

Usage: tools/soak_quillet.py BIN_DIR [--minutes M] [--interval S]
BIN_DIR holds the 64-bit Quillet.exe (for example build/win64/bin).
Exit status 0 when nothing was lost or duplicated and the bridge still runs."""

import argparse
import os
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "e2e"))
import winetest  # noqa: E402
from test_quillet import BLUETOOTH_PORT_NAME, nmea  # noqa: E402
from test_quillet_faults import cpu_seconds, listen, rss_kib  # noqa: E402

RATE = 11520  # bytes a second at 115200 baud, 8N1


def epoch(i: int):
    """One burst of a receiver's output (about 310 bytes); its GPGGA sentence carries the number i."""
    t = f"{i // 3600 % 24:02d}{i // 60 % 60:02d}{i % 60:02d}.00"
    gga = nmea(f"GPGGA,{t},4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,{i:08d}")
    others = [nmea(f"GPRMC,{t},A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W"),
              nmea("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1"),
              nmea("GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00"),
              nmea("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K")]
    return others[0] + gga + b"".join(others[1:])


def numbers(received: bytes):
    found = []
    for line in received.split(b"\n"):
        if line.startswith(b"$GPGGA,"):
            try:
                found.append(int(line.split(b",")[-1].split(b"*")[0]))
            except ValueError:
                found.append(-1)  # a damaged sentence counts as received, under no number
    return found


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("bin_dir")
    parser.add_argument("--minutes", type=float, default=10)
    parser.add_argument("--interval", type=float, default=60, help="seconds between figure lines")
    args = parser.parse_args()
    os.environ["TOOLS_BIN_DIR"] = str(Path(args.bin_dir).resolve())

    host = listen()
    prefix = winetest.WinePrefix("win64")
    try:
        prefix.declare_port(BLUETOOTH_PORT_NAME, enumerator="BTHENUM",
                            device="{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0000", instance="7")
        port = prefix.make_com_port(5)
        process = prefix.start(winetest.exe("Quillet.exe"))
        time.sleep(5)
        if process.poll() is not None:
            print(f"Quillet ended at start with {process.returncode}")
            return 1
        pid = process.pid

        print(f"soak: {args.minutes:g} min at 115200 baud ({RATE} bytes/s), Quillet pid {pid}")
        print(f"{'minute':>6} {'RSS KiB':>9} {'CPU %':>6} {'GGA sent':>9} {'received':>9}")
        start = time.monotonic()
        end = start + args.minutes * 60
        next_report = start + args.interval
        cpu_mark, time_mark = cpu_seconds(pid), start
        pending = b""
        sent_bytes = 0
        sent_gga = 0
        rss = []
        while True:
            now = time.monotonic()
            last = now >= end
            due = int((now - start) * RATE) - sent_bytes
            while len(pending) < due:
                pending += epoch(sent_gga)
                sent_gga += 1
            if due > 0:
                port.write(pending[:due])
                pending = pending[due:]
                sent_bytes += due
            if now >= next_report or last:
                cpu_now = cpu_seconds(pid)
                share = (cpu_now - cpu_mark) / (now - time_mark) * 100
                cpu_mark, time_mark = cpu_now, now
                rss.append(rss_kib(pid))
                print(f"{(now - start) / 60:6.1f} {rss[-1]:9d} {share:6.2f} {sent_gga:9d} "
                      f"{len(numbers(host.received())):9d}", flush=True)
                next_report += args.interval
            if last:
                break
            time.sleep(0.01)
        # The sentence cut by the end of the run goes out whole; then let the bridge drain.
        port.write(pending)
        time.sleep(2)

        received = numbers(host.received())
        expected = list(range(sent_gga))
        missing = sorted(set(expected) - set(received))
        duplicated = len(received) - len(set(received))
        in_order = received == sorted(received)
        running = process.poll() is None
        print(f"GPGGA sent {sent_gga}, received {len(received)}, missing {len(missing)}, "
              f"duplicated {duplicated}, in order {in_order}; {sent_bytes + len(pending)} bytes in all")
        if rss:
            print(f"RSS first {rss[0]} KiB, max {max(rss)} KiB, last {rss[-1]} KiB; bridge running: {running}")
        if missing:
            print(f"first missing: {missing[:10]}")
        return 0 if not missing and not duplicated and in_order and running else 1
    finally:
        host.close()
        prefix.close()


if __name__ == "__main__":
    sys.exit(main())
