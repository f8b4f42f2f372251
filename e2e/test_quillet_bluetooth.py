"""Quillet under Wine with our fake Bluetooth library in place of irprops.cpl:
no Bluetooth serial port at start, so start-up scans and looks again."""

import shutil
import subprocess
import time
import unittest

from winetest import HostListener, WinePrefix, exe

WINDOW_TITLE = "BlueTooth Test"
GPS_ADDRESS = "001a7dda7113"
# Where the fake declares the port it creates for the GPS device.
GPS_PORT_KEY = ("HKLM\\System\\CurrentControlSet\\Enum\\BTHENUM\\"
                "{00001101-0000-1000-8000-00805f9b34fb}_LOCALMFG&0000")


def nmea(body: str) -> bytes:
    checksum = 0
    for ch in body.encode():
        checksum ^= ch
    return f"${body}*{checksum:02X}\r\n".encode()


class QuilletBluetooth(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        try:
            cls.prefix = WinePrefix()
        except (subprocess.TimeoutExpired, OSError) as error:
            raise unittest.SkipTest(f"Wine cannot boot a prefix here: {error}")
        # Quillet and the fake library side by side, the fake under the system's name.
        cls.folder = cls.prefix.drive_c / "quillet"
        cls.folder.mkdir(exist_ok=True)
        shutil.copyfile(exe("Quillet.exe"), cls.folder / "Quillet.exe")
        shutil.copyfile(exe("fake_bluetooth.dll"), cls.folder / "irprops.cpl")

    @classmethod
    def tearDownClass(cls):
        cls.prefix.close()

    def setUp(self):
        self.host = HostListener()
        self.addCleanup(self.host.close)
        self.log = self.prefix.root / f"bluetooth-{self.id().rsplit('.', 1)[-1]}.log"


    def start_quillet(self, world: str, program=None):
        world_file = self.prefix.root / "world.txt"
        world_file.write_text(world)
        env = {
            "WINEDLLOVERRIDES": "mscoree,mshtml=;irprops.cpl=n",
            "FAKE_BLUETOOTH_WORLD": self.prefix.windows_path(world_file),
            "FAKE_BLUETOOTH_LOG": self.prefix.windows_path(self.log),
        }
        process = self.prefix.start(program or self.folder / "Quillet.exe", extra_env=env)
        self.addCleanup(self._stop, process)
        return process

    @staticmethod
    def _stop(process):
        if process.poll() is None:
            process.kill()
            process.wait(timeout=30)

    def calls(self) -> str:
        return self.log.read_text() if self.log.exists() else ""

    def expect_no_radio_report(self, process):
        self.assertEqual(process.wait(timeout=120), 3)
        self.host.wait_for(lambda data: len(data) >= 15, timeout=10)
        time.sleep(0.3)
        self.assertEqual(self.host.received(), b"None buletooth\x00")

    def test_no_radio_reports_to_the_host_and_ends_with_status_3(self):
        process = self.start_quillet("# no radio, no device\n")
        self.expect_no_radio_report(process)
        self.assertIn("BluetoothFindFirstRadio size=4", self.calls())

    def test_system_library_without_radio_counts_as_no_radio(self):
        # Wine's own irprops.cpl: its radio search is not implemented.
        process = self.prefix.start(exe("Quillet.exe"))
        self.addCleanup(self._stop, process)
        self.expect_no_radio_report(process)

    def test_scan_switches_on_the_serial_port_and_the_link_starts(self):
        port = self.prefix.make_com_port(7)
        self.addCleanup(self.prefix._quiet, [self.prefix.loader, "reg", "delete", GPS_PORT_KEY, "/f"])
        process = self.start_quillet(
            "radio 0011223344aa Bench Radio\n"
            f"device {GPS_ADDRESS} remembered COM7 GPS Receiver\n")

        probe_code, _, _ = self.prefix.run(exe("e2e_window_probe.exe"), [WINDOW_TITLE], timeout=120)
        self.assertEqual(probe_code, 1, "the dialog exists and is hidden")
        deadline = time.monotonic() + 30
        while port.speed() != 115200 and time.monotonic() < deadline:
            time.sleep(0.2)
        self.assertEqual(port.speed(), 115200, "COM7 opened at 115200 baud")

        calls = self.calls()
        for expected in ("BluetoothGetRadioInfo size=520",
                         "BluetoothFindFirstDevice size=", "remembered=1", "inquiry=0 timeout=30 info=560",
                         f"BluetoothSetServiceState {GPS_ADDRESS} 00001101 1",
                         f"BluetoothSetServiceState {GPS_ADDRESS} 00001102 1",
                         f"BluetoothSetServiceState {GPS_ADDRESS} 00001103 1",
                         f"BluetoothEnumerateInstalledServices {GPS_ADDRESS} room=10",
                         f"BluetoothRegisterForAuthentication {GPS_ADDRESS}",
                         "declare port: Standard Serial over Bluetooth link (COM7)"):
            self.assertIn(expected, calls)

        sentences = [nmea(f"GPGGA,1200{i:02d}.00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,")
                     for i in range(5)]
        expected = b""
        for gga in sentences:
            port.write(nmea("GPRMC,120000.00,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W"))
            port.write(gga)
            expected += gga.replace(b"\r\n", b"\n")
            time.sleep(0.3)
        received = self.host.wait_for(lambda data: len(data) >= len(expected), timeout=20)
        self.assertEqual(received, expected)
        self.assertIsNone(process.poll(), "the bridge keeps running")

    def test_radio_without_device_shows_the_scan_failure_then_stays_idle(self):
        process = self.start_quillet("radio 0011223344aa Bench Radio\n")

        code, text, _ = self.prefix.run(exe("e2e_message_box.exe"), ["Quillet", "90"], timeout=180)
        self.assertEqual(code, 1, "the message box appeared")
        self.assertEqual(text, b"Scan nearby bluetooth device failed")

        probe_code, _, _ = self.prefix.run(exe("e2e_window_probe.exe"), [WINDOW_TITLE], timeout=60)
        self.assertEqual(probe_code, 1, "start-up finished; the dialog is hidden")
        time.sleep(2.0)
        self.assertIsNone(process.poll(), "idle, not ended")
        self.assertEqual(self.host.received(), b"")
        self.assertEqual(self.host.connections, 1)
        self.assertNotIn("BluetoothSetServiceState", self.calls())


if __name__ == "__main__":
    unittest.main()
