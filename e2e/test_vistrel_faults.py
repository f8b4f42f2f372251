"""Vistrel.exe under Wine with capture filters whose capabilities are absurd:
a count of a million (the real few repeated), a negative count, frame sizes of
zero and of INT_MIN. The program must end with code 0 and one correct line."""

import subprocess
import time
import unittest

from test_vistrel import CAPTURE_SIZES, FAKE_CAPTURE_CAMERA, RUN_ENV, VIDEO_INPUT_CATEGORY, reg_quote
from winetest import WinePrefix, exe

ABSURD_COUNT_CAMERA = "{7A1E0C01-5F2B-4C3D-9E41-0B6D2A7C1004}"
NEGATIVE_COUNT_CAMERA = "{7A1E0C01-5F2B-4C3D-9E41-0B6D2A7C1005}"

# Both absurd models list, in order: YUY2 640x480, MJPG 0x480, YUY2 INT_MIN x 480,
# I420 640x0, YUY2 0x0, MJPG INT_MIN x INT_MIN. Groups: YUY2, MJPG, I420; sizes
# with a zero are left out; a negative width reads after the "-" separator.
ABSURD_SIZES = b"640*480--2147483648*480--2147483648*-2147483648"


class VistrelAbsurdCapabilities(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.vistrel = exe("Vistrel.exe")
        cls.camera_dll = exe("vistrel_fake_camera.dll")
        if not cls.vistrel.exists() or not cls.camera_dll.exists():
            raise unittest.SkipTest("Vistrel.exe or vistrel_fake_camera.dll not built")
        try:
            cls.prefix = WinePrefix()
        except (subprocess.TimeoutExpired, OSError) as error:
            raise unittest.SkipTest(f"Wine cannot boot a prefix here: {error}")

    @classmethod
    def tearDownClass(cls):
        cls.prefix.close()

    def declare_devices(self, devices):
        dll = reg_quote(self.prefix.windows_path(self.camera_dll))
        lines = []
        for clsid in (FAKE_CAPTURE_CAMERA, ABSURD_COUNT_CAMERA, NEGATIVE_COUNT_CAMERA):
            lines += [f"[HKEY_CLASSES_ROOT\\CLSID\\{clsid}\\InprocServer32]",
                      f'@="{dll}"', '"ThreadingModel"="Both"', ""]
        for name, properties in devices:
            lines.append(f"[HKEY_CLASSES_ROOT\\CLSID\\{VIDEO_INPUT_CATEGORY}\\Instance\\{name}]")
            lines += [f'"{key}"="{reg_quote(value)}"' for key, value in properties.items()]
            lines.append("")
        self.prefix.import_registry(lines)

    def test_absurd_counts_and_sizes_give_a_correct_line(self):
        self.declare_devices([
            ("Hard1", {"FriendlyName": "Million", "CLSID": ABSURD_COUNT_CAMERA}),
            ("Hard2", {"FriendlyName": "Negative", "CLSID": NEGATIVE_COUNT_CAMERA}),
            ("Hard3", {"FriendlyName": "Plain", "CLSID": FAKE_CAPTURE_CAMERA}),
        ])
        report = self.prefix.drive_c / "fake_camera_report.txt"
        env = dict(RUN_ENV, VISTREL_FAKE_CAMERA_REPORT="C:\\fake_camera_report.txt")
        started = time.monotonic()
        code, out, err = self.prefix.run(self.vistrel, extra_env=env, timeout=600)
        print(f"\nmillion capabilities: {time.monotonic() - started:.1f} s for the whole run")
        self.assertEqual(code, 0)
        self.assertEqual(err, b"")
        self.assertEqual(out, b"Million=" + ABSURD_SIZES + b",Negative=,Plain=" + CAPTURE_SIZES)
        # A million media types handed out, every one of them freed.
        self.assertEqual(report.read_bytes(), b"live=0")


if __name__ == "__main__":
    unittest.main()
