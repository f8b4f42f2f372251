"""The README's main job, tools/demo.py, run whole with its output checked."""

import os
import re
import subprocess
import sys
import unittest
from pathlib import Path

from winetest import exe

ROOT = Path(__file__).resolve().parent.parent


class DemoTest(unittest.TestCase):
    def test_demo_shows_all_three_programs_working(self):
        for name in ("Quillet.exe", "Pantrel.exe", "Vistrel.exe"):
            if not exe(name).exists():
                self.skipTest(f"{name} not built")
        log = Path(os.environ.get("TMPDIR", "/tmp")) / f"demo-{os.getpid()}.log"
        with open(log, "w+b") as out:
            code = subprocess.run([sys.executable, str(ROOT / "tools/demo.py")], stdin=subprocess.DEVNULL,
                                  stdout=out, stderr=subprocess.STDOUT, timeout=900).returncode
            out.seek(0)
            text = out.read().decode("utf-8", errors="replace")
        log.unlink()
        if "demo skipped" in text:
            self.skipTest(text.strip().splitlines()[-1])
        self.assertEqual(code, 0, text)

        # Quillet: every GPGGA sentence of the recording reached the listener, whole.
        forwarded = re.search(r"forwarded (\d+) of (\d+) GPGGA sentences; Quillet still running: True", text)
        self.assertIsNotNone(forwarded, text)
        self.assertEqual(forwarded.group(1), forwarded.group(2))
        self.assertIn("0 cut piece(s)", text)

        # Pantrel: the camera saw the frames in words, with move-to-stop times.
        camera = [line for line in text.splitlines() if line.startswith("  camera ")]
        words = "\n".join(camera)
        for expected in ("home", "pan left at speed 0x0F", "tilt down at speed 0x0F", "zoom tele",
                         "recall preset 3", "set preset 3", "recall preset 1"):
            self.assertIn(expected, words)
        self.assertNotIn("BAD CHECKSUM", words)
        self.assertNotIn("UNKNOWN", words)
        stops = [int(ms) for ms in re.findall(r"-> stop after (\d+) ms", words)]
        self.assertEqual(len(stops), 8, words)  # l r u d T W under Pelco-D, l T under VISCA
        self.assertIn("(COM3 now at 9600 baud)", text)
        self.assertIn("COM3 at 2400 baud", text)
        self.assertIn("Pantrel exit code 0", text)
        self.assertIn("  | The program exit", text)

        # Vistrel: one line for the two scripted devices.
        self.assertRegex(text, r"Vistrel's line: Desk Camera=[0-9*-]+,Room Camera=[0-9*-]+\n")
        self.assertIn("Vistrel exit code 0", text)


if __name__ == "__main__":
    unittest.main()
