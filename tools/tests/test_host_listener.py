"""The host listener: what it makes of the bridge's payloads."""

import os
import socket
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), ".."))
from host_listener import HostListener, describe_payload  # noqa: E402

GGA = b"$GPGGA,123519.00,4807.0380,N,01131.0000,E,1,08,0.9,545.4,M,46.9,M,,*6B\n"
NO_RADIO = b"None buletooth\x00"        # 15 bytes, exit status 3
PORT_FAIL = b"Open com fail\x00\x00"     # 15 bytes, exit status 4


class Payloads(unittest.TestCase):
    def test_items_of_a_payload(self):
        cases = [
            (GGA, [("gga", GGA)]),
            (GGA + GGA, [("gga", GGA), ("gga", GGA)]),
            (NO_RADIO, [("fatal", NO_RADIO)]),
            (PORT_FAIL, [("fatal", PORT_FAIL)]),
            # a piece cut by a read, then the next whole line, then the fatal report
            (GGA[:20] + GGA + PORT_FAIL, [("cut", GGA[:20]), ("gga", GGA), ("fatal", PORT_FAIL)]),
            (GGA[:20] + NO_RADIO, [("cut", GGA[:20]), ("fatal", NO_RADIO)]),
            (b"$GNGGA,1*00\n", [("other", b"$GNGGA,1*00\n")]),
        ]
        for data, expected in cases:
            with self.subTest(data=data):
                self.assertEqual([(i.kind, i.data) for i in describe_payload(data)], expected)

    def test_fatal_reports_are_named_with_their_exit_status(self):
        (no_radio,), (port_fail,) = describe_payload(NO_RADIO), describe_payload(PORT_FAIL)
        self.assertEqual((no_radio.name, no_radio.exit_status), ("None buletooth", 3))
        self.assertEqual((port_fail.name, port_fail.exit_status), ("Open com fail", 4))
        self.assertIn('FATAL "Open com fail"', port_fail.describe())
        self.assertIn("exit status 4", port_fail.describe())
        self.assertEqual(describe_payload(GGA)[0].describe(), GGA[:-1].decode() + "  (LF)")


class Listening(unittest.TestCase):
    def test_counts_lines_bytes_and_reports_the_fatal_status(self):
        seen = []
        listener = HostListener(("127.0.0.1", 0), on_payload=lambda *args: seen.append(args))
        self.addCleanup(listener.close)
        with socket.create_connection(listener.address) as client:
            client.sendall(GGA)
            time.sleep(0.05)
            client.sendall(GGA[:30])
            time.sleep(0.05)
            client.sendall(PORT_FAIL)
        self.assertTrue(listener.fatal_event.wait(5))
        deadline = time.monotonic() + 5
        while listener.stats.bytes < len(GGA) + 45 and time.monotonic() < deadline:
            time.sleep(0.01)
        stats = listener.stats
        self.assertEqual(stats.connections, 1)
        self.assertEqual(stats.bytes, len(GGA) + 30 + 15)
        self.assertEqual((stats.gga_lines, stats.cut_pieces, stats.fatal), (1, 1, ["Open com fail"]))
        self.assertEqual(listener.fatal_status(), 4)
        self.assertEqual(b"".join(data for _, _, data, _ in seen), GGA + GGA[:30] + PORT_FAIL)


if __name__ == "__main__":
    unittest.main()
