"""Pantrel.exe under Wine: a pty declared as a communications port, a sleeper as
the host process, commands on standard input, frames read at the camera's end."""

import subprocess
import time
import unittest

from winetest import HostListener, WinePrefix, exe  # noqa: F401  (HostListener unused here)

HELP = (b"Command: l for left, r for right, u for up, d for down, h for home\r\n"
        b"Command: L for relative  left, R for relative right, U for relative up, D for relative down\r\n")
ECHO = b"c++ receive\xa3\xba"

PELCO_STOP = "FF 01 00 00 00 00 01"
PAN_TILT_STOP = "81 01 06 01 10 10 03 03 FF"
ZOOM_STOP = "81 01 04 07 00 FF"

# character: (text, Pelco-D move, pause, VISCA move, pause, VISCA stop); pause None = one frame
COMMANDS = {
    "l": ("left", "FF 01 00 04 0F 00 14", 400, "81 01 06 01 10 00 01 03 FF", 100, PAN_TILT_STOP),
    "R": ("Relative right", "FF 01 00 02 18 00 1B", 400, "81 01 06 01 10 00 02 03 FF", 200, PAN_TILT_STOP),
    "U": ("Relative Up", "FF 01 00 08 00 18 21", 400, "81 01 06 01 00 10 03 01 FF", 200, PAN_TILT_STOP),
    "d": ("down", "FF 01 00 10 00 0F 20", 400, "81 01 06 01 00 10 03 02 FF", 100, PAN_TILT_STOP),
    "T": ("tele", "FF 01 00 20 00 00 21", 300, "81 01 04 07 23 FF", 200, ZOOM_STOP),
    "w": ("slowwide", "FF 01 00 40 00 00 41", 200, "81 01 04 07 33 FF", 100, ZOOM_STOP),
    "h": ("home", "81 01 06 04 FF", None, "81 01 06 04 FF", None, None),
    "3": ("preset3", "FF 01 00 07 00 03 0B", None, "81 01 04 3F 02 02 FF", None, None),
    "0": (None, "FF 01 00 07 00 0A 12", None, "81 01 04 3F 02 09 FF", None, None),
    "#": (None, "FF 01 00 03 00 03 07", None, "81 01 04 3F 01 02 FF", None, None),
}


def hex_bytes(text):
    return bytes.fromhex(text.replace(" ", ""))


class PantrelUnderWine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.wine = WinePrefix()
        cls.port = None

    @classmethod
    def tearDownClass(cls):
        cls.wine.close()

    def declare_camera_port(self):
        cls = type(self)
        if cls.port is None:
            cls.wine.declare_port("Communications Port (COM3)")
            cls.port = cls.wine.make_com_port(3)
        return cls.port

    def start(self, selector, host="host.exe"):
        out = open(self.wine.root / f"pantrel-{time.monotonic_ns()}.out", "w+b")
        process = self.wine.start(exe("Pantrel.exe"), [host, selector], stdin=subprocess.PIPE, stdout=out)
        self.addCleanup(out.close)
        self.addCleanup(lambda: process.poll() is None and process.kill())
        return process, out

    def send(self, process, text):
        self.sent_at = time.monotonic()
        process.stdin.write(text)
        process.stdin.flush()

    def expect_frames(self, port, frames, pause):
        """Reads exactly the expected frames. The stop frame cannot arrive before
        the pause has passed since the command was sent (a bound that holds
        however late this reader sees the move frame on a loaded machine)."""
        expected = b"".join(frames)
        got = b""
        stop_seen = None
        end = time.monotonic() + 5
        while len(got) < len(expected) and time.monotonic() < end:
            data = port.read_available()
            if data:
                got += data
                if stop_seen is None and len(got) > len(frames[0]):
                    stop_seen = time.monotonic()
            else:
                time.sleep(0.001)
        time.sleep(0.15)
        got += port.read_available()
        self.assertEqual(got.hex(" "), expected.hex(" "))
        if pause is not None:
            self.assertGreaterEqual(stop_seen - self.sent_at, pause / 1000)

    # Runs first (alphabetical): no port declared yet.
    def test_a_no_port_found(self):
        code, out, _ = self.wine.run(exe("Pantrel.exe"), ["host.exe", "zal2"], b"l\n")
        self.assertEqual(out, b"device_0\r\ncan not find any comm\r\n")
        self.assertEqual(code, 0)

    def test_b_commands_under_both_protocols(self):
        port = self.declare_camera_port()
        host = self.wine.start_sleeper("host.exe")
        self.addCleanup(host.kill)
        process, out = self.start("zal2")
        time.sleep(1.5)
        port.read_available()
        self.assertEqual(port.speed(), 2400)
        expected_out = b"device_1\r\nopen COM3\r\n" + HELP
        for char, (text, pelco, pause, _visca, _vpause, _vstop) in COMMANDS.items():
            self.send(process, char.encode() + b"\n")
            frames = [hex_bytes(pelco)] + ([hex_bytes(PELCO_STOP)] if pause else [])
            self.expect_frames(port, frames, pause)
            expected_out += ECHO + char.encode() + b"\r\n" + (text.encode() + b"\r\n" if text else b"")

        self.send(process, b"V\n")
        time.sleep(0.5)
        self.assertEqual(port.speed(), 9600)
        expected_out += ECHO + b"V\r\n"
        for char, (text, _pelco, _pause, visca, vpause, vstop) in COMMANDS.items():
            self.send(process, char.encode() + b"\n")
            frames = [hex_bytes(visca)] + ([hex_bytes(vstop)] if vpause else [])
            self.expect_frames(port, frames, vpause)
            expected_out += ECHO + char.encode() + b"\r\n" + (text.encode() + b"\r\n" if text else b"")

        # Not commands: an echo line each, no frame. One read each: what a read
        # returns beyond its first command is discarded.
        self.send(process, b"x\n")
        time.sleep(0.5)
        self.send(process, b"\xe9\n")
        time.sleep(0.5)
        self.assertEqual(port.read_available(), b"")
        expected_out += ECHO + b"x\r\n" + ECHO + b"\xe9\r\n"

        self.send(process, b"q\n")
        self.assertEqual(process.wait(timeout=10), 0)
        out.seek(0)
        self.assertEqual(out.read(), expected_out + ECHO + b"q\r\nThe program exit\r\n")

    def test_c_host_gone_ends_with_exit_code_1(self):
        self.declare_camera_port()
        host = self.wine.start_sleeper("host.exe")
        process, out = self.start("zal1")
        time.sleep(2)
        self.assertIsNone(process.poll(), "Pantrel ended while the host runs")
        host.kill()
        host.wait()
        self.assertEqual(process.wait(timeout=10), 1)
        out.seek(0)
        self.assertTrue(out.read().startswith(b"device_1\r\nopen COM3\r\n"))

    def test_d_host_name_in_other_case_never_matches(self):
        self.declare_camera_port()
        host = self.wine.start_sleeper("host.exe")
        self.addCleanup(host.kill)
        process, _ = self.start("zal2", host="HOST.exe")
        self.assertEqual(process.wait(timeout=10), 1)

    def test_e_end_of_input_ends_with_exit_code_0(self):
        port = self.declare_camera_port()
        host = self.wine.start_sleeper("host.exe")
        self.addCleanup(host.kill)
        port.read_available()
        code, out, _ = self.wine.run(exe("Pantrel.exe"), ["host.exe", "zal2"], b"l\n", timeout=30)
        self.assertEqual(code, 0)
        self.assertTrue(out.endswith(ECHO + b"l\r\nleft\r\n"), out)
        self.assertEqual(port.read_available(), hex_bytes("FF 01 00 04 0F 00 14") + hex_bytes(PELCO_STOP))

    def test_f_missing_selector_is_a_usage_error(self):
        code, out, err = self.wine.run(exe("Pantrel.exe"), ["host.exe"])
        self.assertEqual((code, out), (2, b""))
        self.assertIn(b"usage", err)


if __name__ == "__main__":
    unittest.main()
