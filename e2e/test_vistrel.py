"""Vistrel.exe under Wine: the line it prints with no capture device, and with
scripted capture filters registered in the video input category.

Wine's system device enumerator lists, for the video input category, the
subkeys of HKCR\\CLSID\\{category}\\Instance (each key is the device's property
bag: FriendlyName, Description, CLSID), plus what it registers itself from
avicap under HKCU\\Software\\Microsoft\\ActiveMovie\\devenum, a key it deletes
and rebuilds on every CreateClassEnumerator call. So the devices are declared
under HKCR, and their CLSIDs point at the fake camera DLL built with the tests.
"""

import subprocess
import unittest

from winetest import WinePrefix, exe

VIDEO_INPUT_CATEGORY = "{860BB310-5D01-11D0-BD3B-00A0C911CE86}"
FAKE_CAPTURE_CAMERA = "{7A1E0C01-5F2B-4C3D-9E41-0B6D2A7C1001}"
FAKE_PREVIEW_CAMERA = "{7A1E0C01-5F2B-4C3D-9E41-0B6D2A7C1002}"
UNREGISTERED_CAMERA = "{7A1E0C01-5F2B-4C3D-9E41-0B6D2A7C1003}"

# The capture camera's capabilities, in order: I420 with a format block too
# short for the height, YUY2 640x480, YUY2 320x240, MJPG 640x480, an unlisted
# subtype 1280x720, I420 176x144, YUY2 without format block, YUY2 640x-480.
# Groups: I420 (placed by the short block), YUY2, MJPG, unknown.
CAPTURE_SIZES = b"176*144-640*480-320*240-640*-480-1280*720"
# The preview camera has a capture pin without stream configuration and a
# preview pin offering MJPG 1920x1080 and YUY2 1280x720.
PREVIEW_SIZES = b"1920*1080-1280*720"

# The locale Wine derives its ANSI code page (1252) from.
RUN_ENV = {"LC_ALL": "C.UTF-8"}


def reg_quote(text: str) -> str:
    return text.replace("\\", "\\\\").replace('"', '\\"')


class VistrelTest(unittest.TestCase):
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

    def instance_key(self, name: str) -> str:
        return f"HKEY_CLASSES_ROOT\\CLSID\\{VIDEO_INPUT_CATEGORY}\\Instance\\{name}"

    def declare_devices(self, devices):
        """devices: (instance key name, {property: text}) in enumeration order."""
        dll = reg_quote(self.prefix.windows_path(self.camera_dll))
        lines = []
        for clsid in (FAKE_CAPTURE_CAMERA, FAKE_PREVIEW_CAMERA):
            lines += [f"[HKEY_CLASSES_ROOT\\CLSID\\{clsid}\\InprocServer32]",
                      f'@="{dll}"', '"ThreadingModel"="Both"', ""]
        for name, properties in devices:
            lines.append(f"[{self.instance_key(name)}]")
            lines += [f'"{key}"="{reg_quote(value)}"' for key, value in properties.items()]
            lines.append("")
        self.prefix.import_registry(lines)
        self.addCleanup(self.prefix.import_registry,
                        [f"[-{self.instance_key(name)}]" for name, _ in devices])

    def run_vistrel(self, extra_env=None):
        env = dict(RUN_ENV)
        env.update(extra_env or {})
        return self.prefix.run(self.vistrel, extra_env=env, timeout=120)

    def test_no_capture_device_prints_none(self):
        code, out, err = self.run_vistrel()
        self.assertEqual(out, b"none")
        self.assertEqual(code, 0)
        self.assertEqual(err, b"")

    def test_lists_registered_devices_with_their_distinct_sizes(self):
        self.declare_devices([
            # Named by its description although it has a friendly name.
            ("Vistrel1", {"Description": "Capture Cam", "FriendlyName": "Capture Friendly",
                          "CLSID": FAKE_CAPTURE_CAMERA}),
            # Named by its friendly name, which leaves ASCII.
            ("Vistrel2", {"FriendlyName": "Cam\u00e9ra Preview", "CLSID": FAKE_PREVIEW_CAMERA}),
            # No name at all.
            ("Vistrel3", {"CLSID": FAKE_CAPTURE_CAMERA}),
            # The first device's name: it shows the first device's sizes.
            ("Vistrel4", {"FriendlyName": "Capture Cam", "CLSID": FAKE_PREVIEW_CAMERA}),
            # A name too long for the name buffer, and a filter that cannot be created.
            ("Vistrel5", {"FriendlyName": "L" * 300, "CLSID": UNREGISTERED_CAMERA}),
        ])
        report = self.prefix.drive_c / "fake_camera_report.txt"

        code, out, err = self.run_vistrel({"VISTREL_FAKE_CAMERA_REPORT": "C:\\fake_camera_report.txt"})

        self.assertEqual(out, b",".join([
            b"Capture Cam=" + CAPTURE_SIZES,
            "Caméra Preview".encode("cp1252") + b"=" + PREVIEW_SIZES,
            b"=" + CAPTURE_SIZES,
            b"Capture Cam=" + CAPTURE_SIZES,
            b"L" * 255 + b"=",
        ]))
        self.assertEqual(code, 0)
        self.assertEqual(err, b"")
        # Every filter, pin, enumerator and media type of the fake was given back.
        self.assertEqual(report.read_bytes(), b"live=0")


if __name__ == "__main__":
    unittest.main()
