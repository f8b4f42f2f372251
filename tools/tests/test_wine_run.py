"""The hand runner's pieces that need no Wine: port forms and the pty relay."""

import os
import sys
import termios
import time
import tty
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), ".."))
import wine_run  # noqa: E402
from winetest import PtyPort  # noqa: E402


class PortForms(unittest.TestCase):
    def test_forms(self):
        cases = [
            ("COM3", "com", 3, "Communications Port (COM3)", ""),
            ("com12", "com", 12, "Communications Port (COM12)", ""),
            ("bt:COM5", "bt", 5, "Standard Serial over Bluetooth link (COM5)", ""),
            ("none:COM4=/dev/pts/9", "none", 4, None, "/dev/pts/9"),
            ("COM3=/dev/pts/7", "com", 3, "Communications Port (COM3)", "/dev/pts/7"),
        ]
        for text, kind, number, friendly, path in cases:
            with self.subTest(text=text):
                form = wine_run.PortForm(text)
                self.assertEqual((form.kind, form.number, form.friendly_name, form.path),
                                 (kind, number, friendly, path))

    def test_rejects(self):
        for text in ("LPT1", "COM", "usb:COM3", "COMx"):
            with self.subTest(text=text), self.assertRaises(ValueError):
                wine_run.PortForm(text)


def read_for(fd, seconds):
    data = b""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        try:
            data += os.read(fd, 4096)
        except BlockingIOError:
            time.sleep(0.01)
    return data


class Relay(unittest.TestCase):
    def test_bytes_both_ways_and_the_program_s_line_speed(self):
        port = PtyPort()  # the slave stands for the program's COM port
        self.addCleanup(port.close)
        relay = wine_run.Relay(port, "COM3", decode=False)
        self.addCleanup(relay.close)
        tool = os.open(relay.path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        self.addCleanup(os.close, tool)
        tty.setraw(tool)

        frames = bytes.fromhex("FF 01 00 04 0F 00 14 FF 01 00 00 00 00 01")
        os.write(port.slave, frames)
        self.assertEqual(read_for(tool, 0.3), frames)

        os.write(tool, b"$GPGGA,1*00\r\n")
        os.set_blocking(port.slave, False)
        self.assertEqual(read_for(port.slave, 0.3), b"$GPGGA,1*00\r\n")

        attrs = termios.tcgetattr(port.slave)
        attrs[4] = attrs[5] = termios.B2400
        termios.tcsetattr(port.slave, termios.TCSANOW, attrs)
        time.sleep(0.3)
        self.assertEqual(termios.tcgetattr(tool)[5], termios.B2400)


if __name__ == "__main__":
    unittest.main()
