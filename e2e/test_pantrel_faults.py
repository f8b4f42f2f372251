"""Pantrel.exe under Wine, fed bad input: a megabyte of random bytes on
standard input, and standard input closed in the middle of a stream.

Each read of standard input gives at most one command, its first character
that is not white space; the rest of the read is dropped. So the checks are:
one echo line for every character taken, frames only for the characters of
the command table (under the protocol selected at that moment), exit code 0
when the input ends."""

import random
import subprocess
import time
import unittest

from test_pantrel import ECHO, HELP
from winetest import WinePrefix, exe

PELCO_STOP = bytes.fromhex("FF0100000000 01".replace(" ", ""))
PAN_TILT_STOP = bytes.fromhex("8101060110100303FF")
ZOOM_STOP = bytes.fromhex("8101040700FF")


def h(text):
    return bytes.fromhex(text.replace(" ", ""))


def table():
    """character: (text, Pelco-D frames, VISCA frames); P, V and q are actions."""
    t = {}
    moves = {
        "l": ("left", "FF 01 00 04 0F 00 14", "81 01 06 01 10 00 01 03 FF", PAN_TILT_STOP),
        "r": ("right", "FF 01 00 02 0F 00 12", "81 01 06 01 10 00 02 03 FF", PAN_TILT_STOP),
        "u": ("up", "FF 01 00 08 00 0F 18", "81 01 06 01 00 10 03 01 FF", PAN_TILT_STOP),
        "d": ("down", "FF 01 00 10 00 0F 20", "81 01 06 01 00 10 03 02 FF", PAN_TILT_STOP),
        "L": ("Relative left", "FF 01 00 04 18 00 1D", "81 01 06 01 10 00 01 03 FF", PAN_TILT_STOP),
        "R": ("Relative right", "FF 01 00 02 18 00 1B", "81 01 06 01 10 00 02 03 FF", PAN_TILT_STOP),
        "U": ("Relative Up", "FF 01 00 08 00 18 21", "81 01 06 01 00 10 03 01 FF", PAN_TILT_STOP),
        "D": ("Relative down", "FF 01 00 10 00 18 29", "81 01 06 01 00 10 03 02 FF", PAN_TILT_STOP),
        "T": ("tele", "FF 01 00 20 00 00 21", "81 01 04 07 23 FF", ZOOM_STOP),
        "t": ("slowtele", "FF 01 00 20 00 00 21", "81 01 04 07 23 FF", ZOOM_STOP),
        "W": ("wide", "FF 01 00 40 00 00 41", "81 01 04 07 33 FF", ZOOM_STOP),
        "w": ("slowwide", "FF 01 00 40 00 00 41", "81 01 04 07 33 FF", ZOOM_STOP),
    }
    for c, (text, pelco, visca, stop) in moves.items():
        t[c] = (text, h(pelco) + PELCO_STOP, h(visca) + stop)
    t["h"] = ("home", h("81 01 06 04 FF"), h("81 01 06 04 FF"))
    for n, c in enumerate("1234567890"):
        pelco = bytes([0xFF, 0x01, 0x00, 0x07, 0x00, n + 1, (0x08 + n + 1) & 0xFF])
        t[c] = (f"preset{n + 1}" if c != "0" else None, pelco, bytes([0x81, 1, 4, 0x3F, 2, n, 0xFF]))
    for n, c in enumerate("!@#$%^&*()"):
        pelco = bytes([0xFF, 0x01, 0x00, 0x03, 0x00, n + 1, (0x04 + n + 1) & 0xFF])
        t[c] = (None, pelco, bytes([0x81, 1, 4, 0x3F, 1, n, 0xFF]))
    return t


COMMANDS = table()
WHITE = b" \t\n\r\v\f"


def parse_run(out: bytes, selector: str):
    """The characters echoed, after checking each echo is followed by its text;
    and the frames those characters should have sent."""
    header = b"device_1\r\nopen COM3\r\n" + HELP
    assert out.startswith(header), out[:200]
    rest = out[len(header):]
    taken = []
    frames = b""
    while rest:
        assert rest.startswith(ECHO), rest[:60]
        c = rest[len(ECHO)]
        assert c not in WHITE
        rest = rest[len(ECHO) + 1:]
        assert rest.startswith(b"\r\n"), rest[:60]
        rest = rest[2:]
        taken.append(c)
        char = chr(c) if c < 0x80 else None
        if char == "q":
            assert rest.startswith(b"The program exit\r\n")
            rest = rest[len(b"The program exit\r\n"):]
            continue
        if char == "P":
            selector = "zal2"
        elif char == "V":
            selector = "zal1"
        elif char in COMMANDS:
            text, pelco, visca = COMMANDS[char]
            if text:
                line = text.encode() + b"\r\n"
                assert rest.startswith(line), (char, rest[:60])
                rest = rest[len(line):]
            if char == "h" or selector == "zal2":
                frames += pelco if selector == "zal2" else visca
            elif selector == "zal1":
                frames += visca
    return taken, frames


class PantrelFaults(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.wine = WinePrefix()
        cls.wine.declare_port("Communications Port (COM3)")
        cls.port = cls.wine.make_com_port(3)
        cls.host = cls.wine.start_sleeper("host.exe")

    @classmethod
    def tearDownClass(cls):
        cls.wine.close()

    def test_a_megabyte_of_random_bytes(self):
        rng = random.Random(1)
        # No "q": the run is meant to reach the end of the input.
        data = bytes(b if b != ord("q") else ord("x") for b in rng.randbytes(1024 * 1024))
        self.port.read_available()
        started = time.monotonic()
        code, out, _ = self.wine.run(exe("Pantrel.exe"), ["host.exe", "zal2"], data, timeout=600)
        elapsed = time.monotonic() - started
        time.sleep(0.5)
        written = self.port.read_available()
        taken, frames = parse_run(out, "zal2")
        commands = sum(1 for c in taken if c < 0x80 and chr(c) in COMMANDS)
        print(f"\n1 MiB random input: {len(taken)} characters taken, {commands} commands, "
              f"{len(written)} frame bytes, {elapsed:.1f} s, exit code {code}")
        self.assertEqual(code, 0)
        self.assertGreater(len(taken), 0)
        self.assertEqual(written.hex(" "), frames.hex(" "))

    def test_b_input_closed_in_the_middle(self):
        self.port.read_available()
        out_path = self.wine.root / "closed-early.out"
        with open(out_path, "w+b") as out:
            process = self.wine.start(exe("Pantrel.exe"), ["host.exe", "zal1"],
                                      stdin=subprocess.PIPE, stdout=out)
            time.sleep(1.5)
            process.stdin.write(b"l\n")
            process.stdin.flush()
            time.sleep(0.5)
            process.stdin.write(b"  r")  # no line end: the writer is gone mid-line
            process.stdin.flush()
            time.sleep(0.3)
            process.stdin.close()
            code = process.wait(timeout=30)
        time.sleep(0.3)
        taken, frames = parse_run(out_path.read_bytes(), "zal1")
        self.assertEqual(code, 0)
        self.assertEqual(bytes(taken), b"lr")
        self.assertEqual(self.port.read_available().hex(" "), frames.hex(" "))


if __name__ == "__main__":
    unittest.main()
