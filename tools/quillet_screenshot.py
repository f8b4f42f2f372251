#!/usr/bin/env python3
"""Shows Quillet's dialog under Xvfb and saves a screenshot of it.

Usage: tools/quillet_screenshot.py BIN_DIR OUTPUT.png
A Wine prefix with the X11 driver; a Bluetooth serial port backed by a pty so
the bridge connects and shows received data; the window is shown by the
window probe (the program itself never shows it)."""

import os
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "e2e"))
import winetest  # noqa: E402

DISPLAY = ":77"


def main() -> int:
    bin_dir, output = Path(sys.argv[1]).resolve(), Path(sys.argv[2]).resolve()
    os.environ["TOOLS_BIN_DIR"] = str(bin_dir)
    xvfb = subprocess.Popen(["Xvfb", DISPLAY, "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(1.0)
    prefix = winetest.WinePrefix("win64")
    try:
        # This prefix draws on the X server: every Wine process (the desktop
        # included) gets the display; switch the driver and restart the server.
        prefix.env["DISPLAY"] = DISPLAY
        prefix.import_registry(["[HKEY_CURRENT_USER\\Software\\Wine\\Drivers]", '"Graphics"="x11"'])
        prefix._quiet([prefix.server, "-k"])
        prefix._quiet([prefix.server, "-w"])
        env = {"DISPLAY": DISPLAY}
        prefix.declare_port("Standard Serial over Bluetooth link (COM5)", enumerator="BTHENUM",
                            device="{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0000", instance="7")
        port = prefix.make_com_port(5)
        prefix.start(winetest.exe("Quillet.exe"), extra_env=env)
        time.sleep(3)
        port.write(b"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n"
                   b"$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n")
        time.sleep(1)
        prefix.run(winetest.exe("e2e_window_probe.exe"), ["BlueTooth Test", "show"], extra_env=env, timeout=60)
        time.sleep(2)
        geometry = subprocess.run(["xdotool", "search", "--name", "BlueTooth Test", "getwindowgeometry", "--shell"],
                                  env={**os.environ, "DISPLAY": DISPLAY}, capture_output=True, text=True).stdout
        values = dict(line.split("=", 1) for line in geometry.split() if "=" in line)
        shot = output.with_suffix(".full.png")
        subprocess.run(["import", "-display", DISPLAY, "-window", "root", str(shot)], check=True)
        if "WIDTH" in values:
            crop = f"{values['WIDTH']}x{values['HEIGHT']}+{values['X']}+{values['Y']}"
            subprocess.run(["convert", str(shot), "-crop", crop, "+repage", str(output)], check=True)
            shot.unlink()
        else:
            shot.rename(output)
        print(f"saved {output} ({values})")
        return 0
    finally:
        prefix.close()
        xvfb.terminate()
        xvfb.wait(timeout=10)


if __name__ == "__main__":
    sys.exit(main())
