#!/usr/bin/env python3
"""The system's main job, end to end under Wine: the host starts Pantrel, types
camera commands, and the camera's end of the serial line prints what arrives."""

import os
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "e2e"))
from winetest import WinePrefix, exe  # noqa: E402

SCRIPT = ["h", "l", "r", "u", "d", "T", "W", "3", "#", "V", "l", "T", "1", "q"]


def main() -> int:
    os.environ.setdefault("TOOLS_BIN_DIR", str(Path(__file__).resolve().parent.parent / "build/win64/bin"))
    print("starting a Wine prefix ...", flush=True)
    wine = WinePrefix("win64")
    try:
        wine.declare_port("Communications Port (COM3)")
        camera = wine.make_com_port(3)
        wine.start_sleeper("host.exe")
        out_path = wine.root / "pantrel.out"
        with open(out_path, "w+b") as out:
            pantrel = wine.start(exe("Pantrel.exe"), ["host.exe", "zal2"], stdin=subprocess.PIPE, stdout=out)
            time.sleep(1.5)
            print(f"Pantrel.exe host.exe zal2   (camera line at {camera.speed()} baud)")
            for command in SCRIPT:
                pantrel.stdin.write(command.encode() + b"\n")
                pantrel.stdin.flush()
                start = time.monotonic()
                pieces = camera.read_timed(0.7)
                frames = " | ".join(f"+{(t - start) * 1000:4.0f} ms  {data.hex(' ').upper()}" for t, data in pieces)
                print(f"  {command!r:5} -> {frames or '(no frame)'}   [{camera.speed()} baud]")
            code = pantrel.wait(timeout=10)
            out.seek(0)
            print("Pantrel's standard output:")
            sys.stdout.write(out.read().decode("gbk", errors="replace").replace("\r\n", "\n"))
            print(f"exit code {code}")
    finally:
        wine.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
