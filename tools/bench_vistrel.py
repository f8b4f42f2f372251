#!/usr/bin/env python3
"""Whole-process time of Vistrel.exe under Wine against a program that does
nothing, so the difference is what the enumeration costs. Three figures: the
trivial program, Vistrel with an empty video input category ("none"), and
Vistrel with the fake camera filters registered (five devices). Prints
figures; asserts nothing.

    TOOLS_BIN_DIR=build/vistrel-win64/bin WINE_ARCH=win64 python3 tools/bench_vistrel.py [runs]
"""

import statistics
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "e2e"))
from winetest import WinePrefix, exe  # noqa: E402

VIDEO_INPUT_CATEGORY = "{860BB310-5D01-11D0-BD3B-00A0C911CE86}"
FAKE_CAPTURE_CAMERA = "{7A1E0C01-5F2B-4C3D-9E41-0B6D2A7C1001}"
FAKE_PREVIEW_CAMERA = "{7A1E0C01-5F2B-4C3D-9E41-0B6D2A7C1002}"


def timed_runs(wine, program, runs):
    times = []
    out = b""
    for _ in range(runs):
        start = time.perf_counter()
        code, out, _ = wine.run(program, timeout=120)
        times.append((time.perf_counter() - start) * 1000)
        if code != 0:
            print(f"  {program.name} exited with {code}")
    return times, out


def summary(label, times):
    print(f"{label:34s} median {statistics.median(times):7.1f} ms  mean {statistics.mean(times):7.1f} ms"
          f"  min {min(times):7.1f} ms  max {max(times):7.1f} ms")
    return statistics.median(times)


def register_cameras(wine):
    dll = wine.windows_path(exe("vistrel_fake_camera.dll")).replace("\\", "\\\\")
    lines = []
    for clsid in (FAKE_CAPTURE_CAMERA, FAKE_PREVIEW_CAMERA):
        lines += [f"[HKEY_CLASSES_ROOT\\CLSID\\{clsid}\\InprocServer32]", f'@="{dll}"',
                  '"ThreadingModel"="Both"', ""]
    for index in range(5):
        clsid = FAKE_CAPTURE_CAMERA if index % 2 == 0 else FAKE_PREVIEW_CAMERA
        lines += [f"[HKEY_CLASSES_ROOT\\CLSID\\{VIDEO_INPUT_CATEGORY}\\Instance\\Bench{index}]",
                  f'"FriendlyName"="Bench camera {index}"', f'"CLSID"="{clsid}"', ""]
    wine.import_registry(lines)


def main() -> int:
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 20
    wine = WinePrefix()
    try:
        # One warm-up run each, so both sides start from the same cached state.
        wine.run(exe("vistrel_trivial.exe"))
        wine.run(exe("Vistrel.exe"))

        print(f"{runs} runs each, Wine {wine.arch}")
        trivial, _ = timed_runs(wine, exe("vistrel_trivial.exe"), runs)
        base = summary("trivial .exe", trivial)
        empty, out = timed_runs(wine, exe("Vistrel.exe"), runs)
        none = summary(f"Vistrel.exe, no device ({out.decode('latin-1')!r})", empty)

        register_cameras(wine)
        wine.run(exe("Vistrel.exe"))
        listed, out = timed_runs(wine, exe("Vistrel.exe"), runs)
        devices = summary("Vistrel.exe, five fake devices", listed)
        print(f"  line: {out[:80].decode('latin-1')}...")

        print(f"ratio no device / trivial:    {none / base:5.2f}  (+{none - base:.1f} ms)")
        print(f"ratio five devices / trivial: {devices / base:5.2f}  (+{devices - base:.1f} ms)")
    finally:
        wine.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
