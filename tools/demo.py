#!/usr/bin/env python3
"""The whole system under Wine, as the host would meet it, in one prefix:

1. Quillet bridges a replayed GPS recording from a Bluetooth serial port to the
   host's listener on 127.0.0.1:51234; the forwarded lines are printed.
2. Pantrel is driven through a scripted command sequence; the decoder prints
   what the camera at the far end of the line would do.
3. Vistrel prints its line, with two scripted capture devices registered.

Reads TOOLS_BIN_DIR (default build/win64/bin) and WINE_ARCH (default win64).
"""

import os
import subprocess
import sys
import threading
import time
import unittest
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "e2e"))
sys.path.insert(0, str(ROOT / "tools"))
os.environ.setdefault("TOOLS_BIN_DIR", str(ROOT / "build/win64/bin"))

from gps_replay import Replayer, group_bursts, wait_until_configured  # noqa: E402
from host_listener import HostListener, printer  # noqa: E402
from ptz_decode import PtzDecoder, line_speed  # noqa: E402
from winetest import WinePrefix, exe  # noqa: E402

RECORDING = ROOT / "tools/data/sample-receiver.nmea"
PANTREL_SCRIPT = "h l r u d T W 3 # V l T 1 q".split()

VIDEO_INPUT_CATEGORY = "{860BB310-5D01-11D0-BD3B-00A0C911CE86}"
FAKE_CAPTURE_CAMERA = "{7A1E0C01-5F2B-4C3D-9E41-0B6D2A7C1001}"
FAKE_PREVIEW_CAMERA = "{7A1E0C01-5F2B-4C3D-9E41-0B6D2A7C1002}"


def heading(text: str) -> None:
    print(f"\n== {text}", flush=True)


def start_listener() -> HostListener:
    """The host's listener; waits a while if another run still holds the port."""
    end = time.monotonic() + 120
    while True:
        try:
            return HostListener(on_payload=printer())
        except OSError:
            if time.monotonic() > end:
                raise
            time.sleep(1)


def run_quillet(wine: WinePrefix) -> None:
    heading("Quillet: Bluetooth GPS receiver -> host listener on 127.0.0.1:51234")
    recording = RECORDING.read_bytes()
    expected = sum(1 for line in recording.split(b"\n") if b"GPGGA" in line)
    wine.declare_port("Standard Serial over Bluetooth link (COM5)", enumerator="BTHENUM",
                      device="{00001101-0000-1000-8000-00805F9B34FB}", instance="demo5")
    receiver = wine.make_com_port(5)
    listener = start_listener()
    try:
        quillet = wine.start(exe("Quillet.exe"))
        if not wait_until_configured(receiver.master, timeout=60):
            print("Quillet did not open COM5")
            return
        print(f"Quillet opened COM5; replaying {RECORDING.name} ({expected} GPGGA sentences) at four times its pace, some sentences cut in two")
        Replayer(receiver.master, speed=4.0, cut_every=3, cut_pause=0.1).play(group_bursts(recording))
        end = time.monotonic() + 5
        while listener.stats.gga_lines < expected and time.monotonic() < end:
            time.sleep(0.05)
        time.sleep(0.3)
        print(f"listener: {listener.stats.summary()}")
        print(f"forwarded {listener.stats.gga_lines} of {expected} GPGGA sentences; "
              f"Quillet still running: {quillet.poll() is None}")
        quillet.kill()
        quillet.wait(timeout=10)
    finally:
        listener.close()


def run_pantrel(wine: WinePrefix) -> None:
    heading("Pantrel: host commands on standard input -> camera frames on COM3")
    wine.declare_port("Communications Port (COM3)")
    camera = wine.make_com_port(3)
    wine.start_sleeper("host.exe")
    decoder = PtzDecoder()
    origin = time.monotonic()
    stop = threading.Event()

    def watch_line() -> None:
        while not stop.is_set():
            data = camera.read_available()
            now = time.monotonic()
            events = decoder.feed(data, now) if data else decoder.idle(now)
            for event in events:
                print(f"  camera {event.format(origin)}", flush=True)
            time.sleep(0.005)
        for event in decoder.flush(time.monotonic()):
            print(f"  camera {event.format(origin)}", flush=True)

    out_path = wine.root / "pantrel.out"
    watcher = threading.Thread(target=watch_line, daemon=True)
    with open(out_path, "w+b") as out:
        pantrel = wine.start(exe("Pantrel.exe"), ["host.exe", "zal2"], stdin=subprocess.PIPE, stdout=out)
        if not wait_until_configured(camera.master, timeout=60):
            print("Pantrel did not open COM3")
        watcher.start()
        print(f"Pantrel.exe host.exe zal2: COM3 at {line_speed(camera.master)} baud")
        for command in PANTREL_SCRIPT:
            print(f"host types {command!r}", flush=True)
            # One command per write: Pantrel drops the rest of a read after each command.
            pantrel.stdin.write(command.encode() + b"\n")
            pantrel.stdin.flush()
            time.sleep(0.55)
            if command == "V":
                print(f"  (COM3 now at {line_speed(camera.master)} baud)", flush=True)
        code = pantrel.wait(timeout=15)
        stop.set()
        watcher.join(timeout=5)
        out.seek(0)
        print("Pantrel's standard output:")
        for line in out.read().decode("gbk", errors="replace").splitlines():
            print(f"  | {line}")
        print(f"Pantrel exit code {code}")


def run_vistrel(wine: WinePrefix) -> None:
    heading("Vistrel: capture devices and their frame sizes")
    camera_dll = exe("vistrel_fake_camera.dll")
    if camera_dll.exists():
        dll = wine.windows_path(camera_dll).replace("\\", "\\\\")
        lines = []
        for clsid in (FAKE_CAPTURE_CAMERA, FAKE_PREVIEW_CAMERA):
            lines += [f"[HKEY_CLASSES_ROOT\\CLSID\\{clsid}\\InprocServer32]", f'@="{dll}"',
                      '"ThreadingModel"="Both"', ""]
        for name, friendly, clsid in (("Demo1", "Desk Camera", FAKE_CAPTURE_CAMERA),
                                      ("Demo2", "Room Camera", FAKE_PREVIEW_CAMERA)):
            lines += [f"[HKEY_CLASSES_ROOT\\CLSID\\{VIDEO_INPUT_CATEGORY}\\Instance\\{name}]",
                      f'"FriendlyName"="{friendly}"', f'"CLSID"="{clsid}"', ""]
        wine.import_registry(lines)
        print("two scripted capture devices registered")
    code, out, _ = wine.run(exe("Vistrel.exe"), timeout=120)
    print(f"Vistrel's line: {out.decode('cp1252', errors='replace')}")
    print(f"Vistrel exit code {code}")


def main() -> int:
    started = time.monotonic()
    print(f"starting a Wine prefix ({os.environ.get('WINE_ARCH', 'win64')}) ...", flush=True)
    try:
        wine = WinePrefix()
    except unittest.SkipTest as reason:
        print(f"demo skipped: {reason}")
        return 0
    try:
        print(f"prefix ready after {time.monotonic() - started:.0f} s")
        run_quillet(wine)
        run_pantrel(wine)
        run_vistrel(wine)
    finally:
        wine.close()
    print(f"\ndemo finished in {time.monotonic() - started:.0f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
