"""Quillet under Wine: a pty declared as a Bluetooth serial port, the host's
TCP listener, and Quillet.exe started with no arguments."""

import os
import random
import time
import unittest

from winetest import HostListener, WinePrefix, exe

BLUETOOTH_PORT_NAME = "Standard Serial over Bluetooth link (COM5)"
WINDOW_TITLE = "BlueTooth Test"


def nmea(body: str) -> bytes:
    checksum = 0
    for ch in body.encode():
        checksum ^= ch
    return f"${body}*{checksum:02X}\r\n".encode()


def receiver_epochs(count: int):
    """Sentence mixes of three kinds of receiver, one epoch after the other."""
    epochs = []
    for i in range(count):
        t = f"12{i // 60 % 60:02d}{i % 60:02d}.00"
        gga = nmea(f"GPGGA,{t},4807.{i:03d},N,01131.{i:03d},E,1,08,0.9,545.4,M,46.9,M,,")
        kind = i % 3
        if kind == 0:  # plain GPS receiver
            sentences = [gga, nmea("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1"),
                         nmea("GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00"),
                         nmea("GPGSV,3,2,11,14,25,170,00,16,57,208,39,18,67,296,40,19,40,246,00"),
                         nmea("GPGSV,3,3,11,22,42,067,42,24,14,311,43,27,05,244,00,,,,"),
                         nmea(f"GPRMC,{t},A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W"),
                         nmea("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K")]
        elif kind == 1:  # multi-constellation receiver: only its GPGGA goes to the host
            sentences = [nmea(f"GNRMC,{t},A,4807.038,N,01131.000,E,0.1,,230394,,,A"),
                         nmea(f"GNGGA,{t},4807.038,N,01131.000,E,1,12,0.8,545.4,M,46.9,M,,"),
                         gga, nmea("GNGSA,A,3,04,05,09,12,24,,,,,,,,1.8,0.8,1.6"),
                         nmea("GLGSV,2,1,07,65,12,040,30,66,45,090,35,67,30,150,28,74,20,300,25"),
                         nmea("GPZDA,201530.00,04,07,2002,00,00")]
        else:  # receiver with proprietary sentences
            sentences = [nmea("PSRF156,1,2,3"), gga, nmea(f"GPGLL,4916.45,N,12311.12,W,{t},A"),
                         nmea(f"GPRMC,{t},A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W")]
        epochs.append((gga, b"".join(sentences)))
    return epochs


class QuilletBridge(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = WinePrefix()
        cls.prefix.declare_port("Communications Port (COM1)")
        cls.prefix.declare_port(BLUETOOTH_PORT_NAME, enumerator="BTHENUM",
                                device="{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0000", instance="7")

    @classmethod
    def tearDownClass(cls):
        cls.prefix.close()

    def setUp(self):
        self.host = HostListener()
        self.addCleanup(self.host.close)


    def start_quillet(self):
        process = self.prefix.start(exe("Quillet.exe"))
        self.addCleanup(self._stop, process)
        return process

    @staticmethod
    def _stop(process):
        if process.poll() is None:
            process.kill()
            process.wait(timeout=30)

    def test_bridges_hidden_and_forwards_each_gpgga_sentence_once(self):
        port = self.prefix.make_com_port(5)
        process = self.start_quillet()
        # The port is opened once bridging is done; then the window exists, hidden.
        probe_code, _, _ = self.prefix.run(exe("e2e_window_probe.exe"), [WINDOW_TITLE], timeout=60)
        self.assertEqual(probe_code, 1, "the dialog exists and is hidden")
        time.sleep(1.0)
        self.assertIsNone(process.poll())
        self.assertEqual(port.speed(), 115200)

        rng = random.Random(5)
        expected = b""
        epochs = receiver_epochs(36)
        for gga, block in epochs[:-1]:
            expected += gga.replace(b"\r\n", b"\n")
            # Cut the block anywhere, also inside the GPGGA sentence and between
            # CR and LF, and pause so the read ends at the cut.
            cut = rng.randrange(1, len(block))
            port.write(block[:cut])
            time.sleep(rng.choice((0.02, 0.25)))
            port.write(block[cut:])
            time.sleep(rng.choice((0.05, 0.25)))
        # The last epoch arrives alone after a quiet spell: it is the last chunk.
        time.sleep(0.5)
        last_gga, last_block = epochs[-1]
        expected += last_gga.replace(b"\r\n", b"\n")
        port.write(last_block)

        received = self.host.wait_for(lambda data: len(data) >= len(expected), timeout=20)
        time.sleep(0.5)
        received = self.host.received()
        self.assertEqual(received, expected)
        self.assertTrue(all(line.startswith(b"$GPGGA") for line in received.split(b"\n")[:-1]))

        capture = self.prefix.drive_c / "GPS" / "bthdebug.dat"
        self.assertTrue(capture.exists())
        self.assertEqual(capture.read_bytes(), last_block)
        self.assertIsNone(process.poll(), "the bridge keeps running")

    def test_port_that_cannot_open_is_reported_and_ends_with_status_4(self):
        link = self.prefix.path / "dosdevices" / "com5"
        if link.is_symlink() or link.exists():
            link.unlink()
        process = self.start_quillet()
        code = process.wait(timeout=120)
        self.assertEqual(code, 4)
        self.host.wait_for(lambda data: len(data) >= 15, timeout=10)
        time.sleep(0.3)
        self.assertEqual(self.host.received(), b"Open com fail\x00\x00")
        self.assertEqual(len(self.host.received()), 15)


if __name__ == "__main__":
    unittest.main()
