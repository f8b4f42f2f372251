"""Quillet under Wine, fed bad input and faults: a long run of random bytes on
the serial line, the pty closed in the middle of a stream (a Bluetooth drop),
the host's listener absent at start and closing in the middle of a run.

The bridge must not crash, must stay small, must not spin, and must forward
only lines that hold "GPGGA". Figures are printed (memory, CPU); the bounds
asserted are wide, to catch growth and busy loops, not to time anything.
QUILLET_RANDOM_MB sets the amount of random bytes (default 10)."""

import os
import random
import socket
import threading
import time
import unittest
from pathlib import Path

from test_quillet import BLUETOOTH_PORT_NAME, nmea
from winetest import HOST_ADDRESS, HostListener, WinePrefix, exe

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def rss_kib(pid: int) -> int:
    """Resident set of a process (the Windows program runs in the wine64 loader's process)."""
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith("VmRSS:"):
            return int(line.split()[1])
    return -1


def cpu_seconds(pid: int) -> float:
    """User and system time of a process so far."""
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS


def cpu_share(pid: int, seconds: float) -> float:
    """Share of one core the process used over the next `seconds`."""
    before = cpu_seconds(pid)
    time.sleep(seconds)
    return (cpu_seconds(pid) - before) / seconds


def gga(i: int) -> bytes:
    return nmea(f"GPGGA,{i // 3600 % 24:02d}{i // 60 % 60:02d}{i % 60:02d}.{i % 100:02d},"
                f"4807.{i % 1000:03d},N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,{i:07d}")


class ClosingListener:
    """A listener that accepts one connection, keeps what arrives, and can hang up."""

    def __init__(self) -> None:
        self.server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        deadline = time.monotonic() + 120
        while True:
            try:
                self.server.bind(HOST_ADDRESS)
                break
            except OSError:
                if time.monotonic() > deadline:
                    raise
                time.sleep(1)
        self.server.listen(1)
        self.data = b""
        self.connection = None
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _run(self):
        try:
            self.connection, _ = self.server.accept()
            while True:
                chunk = self.connection.recv(65536)
                if not chunk:
                    return
                self.data += chunk
        except OSError:
            return

    def hang_up(self):
        for sock in (self.connection, self.server):
            if sock is None:
                continue
            try:
                sock.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            sock.close()
        self.thread.join(timeout=5)


class QuilletFaults(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = WinePrefix()
        cls.prefix.declare_port(BLUETOOTH_PORT_NAME, enumerator="BTHENUM",
                                device="{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0000", instance="7")

    @classmethod
    def tearDownClass(cls):
        cls.prefix.close()

    def start_quillet(self):
        process = self.prefix.start(exe("Quillet.exe"))
        self.addCleanup(self._stop, process)
        # Start-up (port lookup, open, worker) takes a few seconds under Wine.
        time.sleep(5)
        self.assertIsNone(process.poll(), f"Quillet ended with {process.returncode}")
        return process

    @staticmethod
    def _stop(process):
        if process.poll() is None:
            process.kill()
            process.wait(timeout=30)

    def capture(self) -> bytes:
        path = self.prefix.drive_c / "GPS" / "bthdebug.dat"
        return path.read_bytes() if path.exists() else b""

    def stream_clean(self, port, first, count, host=None):
        """Whole GPGGA sentences with other sentences between; returns what the host should get."""
        expected = b""
        for i in range(first, first + count):
            port.write(nmea("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W") + gga(i))
            expected += gga(i).replace(b"\r\n", b"\n")
            time.sleep(0.03)
        return expected

    def test_random_bytes_forward_only_gpgga_lines_and_memory_stays_bounded(self):
        host = HostListener()
        self.addCleanup(host.close)
        port = self.prefix.make_com_port(5)
        process = self.start_quillet()
        pid = process.pid

        megabytes = float(os.environ.get("QUILLET_RANDOM_MB", "10"))
        total = int(megabytes * 1024 * 1024)
        rng = random.Random(20240607)
        start_rss = rss_kib(pid)
        samples = [start_rss]
        started = time.monotonic()
        sent = 0
        cpu_before = cpu_seconds(pid)
        next_sample = started + 5
        while sent < total:
            piece = rng.randbytes(min(65536, total - sent))
            port.write(piece)  # blocks while the bridge drains the pty
            sent += len(piece)
            if time.monotonic() >= next_sample:
                samples.append(rss_kib(pid))
                next_sample += 5
                self.assertIsNone(process.poll(), "Quillet ended during the random bytes")
        elapsed = time.monotonic() - started
        cpu_during = (cpu_seconds(pid) - cpu_before) / elapsed
        time.sleep(2)
        samples.append(rss_kib(pid))

        # After the noise, a line end and then clean sentences still arrive whole.
        port.write(b"\r\n")
        time.sleep(0.3)
        noise_forwarded = host.received()
        expected = self.stream_clean(port, 0, 30)
        received = host.wait_for(lambda data: data.endswith(expected), timeout=20)

        print(f"\nrandom bytes: {sent} in {elapsed:.0f} s ({sent / elapsed / 1024:.0f} KiB/s); "
              f"RSS start {start_rss} KiB, max {max(samples)} KiB, end {samples[-1]} KiB; "
              f"CPU {cpu_during * 100:.1f}% of a core; "
              f"{len(noise_forwarded.splitlines())} noise lines forwarded")
        self.assertIsNone(process.poll(), "the bridge keeps running")
        self.assertLess(max(samples) - start_rss, 32 * 1024, "memory grows with the input")
        for line in noise_forwarded.split(b"\n"):
            if line:
                self.assertIn(b"GPGGA", line)
                self.assertLessEqual(len(line), 255)
        self.assertTrue(received.endswith(expected), "clean sentences after the noise are forwarded")

    def test_port_dropped_mid_stream_leaves_the_program_idle_and_running(self):
        host = HostListener()
        self.addCleanup(host.close)
        port = self.prefix.make_com_port(5)
        process = self.start_quillet()
        expected = self.stream_clean(port, 100, 20)
        host.wait_for(lambda data: len(data) >= len(expected), timeout=10)
        # The drop: half a sentence, then the far end of the line is gone.
        port.write(gga(999)[:30])
        time.sleep(0.05)
        port.close()
        time.sleep(2)
        share = cpu_share(process.pid, 10)
        print(f"\nafter the drop: CPU {share * 100:.2f}% of a core over 10 s, RSS {rss_kib(process.pid)} KiB")
        self.assertIsNone(process.poll(), "the bridge keeps running after the drop")
        self.assertLess(share, 0.05, "busy loop after the drop")
        self.assertEqual(host.received(), expected)

    def test_listener_absent_at_start_then_the_bridge_keeps_polling(self):
        port = self.prefix.make_com_port(5)
        process = self.start_quillet()  # nobody listens on 127.0.0.1:51234
        for round_ in range(3):
            block = nmea("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W") + gga(round_)
            port.write(block)
            time.sleep(0.6)
            self.assertEqual(self.capture(), block, "each chunk reaches the capture file")
        share = cpu_share(process.pid, 5)
        print(f"\nno listener: CPU {share * 100:.2f}% of a core over 5 s")
        self.assertIsNone(process.poll())
        self.assertLess(share, 0.05)

    def test_listener_closing_mid_run_then_the_bridge_keeps_polling(self):
        listener = ClosingListener()
        self.addCleanup(listener.hang_up)
        port = self.prefix.make_com_port(5)
        process = self.start_quillet()
        expected = self.stream_clean(port, 200, 10)
        deadline = time.monotonic() + 10
        while len(listener.data) < len(expected) and time.monotonic() < deadline:
            time.sleep(0.05)
        self.assertEqual(listener.data, expected)

        listener.hang_up()
        self.stream_clean(port, 300, 20)  # sends now fail
        time.sleep(0.5)
        last = nmea("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K") + gga(400)
        port.write(last)
        time.sleep(0.6)
        share = cpu_share(process.pid, 5)
        print(f"\nlistener gone: CPU {share * 100:.2f}% of a core over 5 s")
        self.assertIsNone(process.poll(), "the bridge survives the host hanging up")
        self.assertEqual(self.capture(), last, "the bridge keeps polling the port")
        self.assertLess(share, 0.05)


if __name__ == "__main__":
    unittest.main()
