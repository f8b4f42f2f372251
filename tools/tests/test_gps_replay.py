"""The GPS replayer: checksums, generated sentences, bursts and cut writes."""

import os
import random
import re
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, os.path.join(os.path.dirname(__file__), ".."))
import gps_replay  # noqa: E402
from gps_replay import (cut_inside_sentences, generate_gga, group_bursts, burst_pauses,  # noqa: E402
                        nmea_checksum, nmea_sentence, verify_sentence)

SAMPLE = Path(__file__).resolve().parent.parent / "data" / "sample-receiver.nmea"


class Checksums(unittest.TestCase):
    # Sentences with the checksums receivers put on them (worked out by hand:
    # e.g. "GPGSV,1,1,00": G^P^G^S^V = 0x47, then ",1,1,00" brings it to 0x79).
    KNOWN = [
        ("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", 0x47),
        ("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W", 0x6A),
        ("GPGSV,1,1,00", 0x79),
        ("GPRMC,,V,,,,,,,,,,N", 0x53),
        ("GPVTG,,,,,,,,,N", 0x30),
        ("GPGLL,,,,,,V,N", 0x64),
    ]

    def test_known_sentences(self):
        for body, expected in self.KNOWN:
            with self.subTest(body=body):
                self.assertEqual(nmea_checksum(body), expected)
                self.assertEqual(nmea_sentence(body), f"${body}*{expected:02X}\r\n".encode())
                self.assertTrue(verify_sentence(nmea_sentence(body)))

    def test_verify_tells_wrong_checksum_from_no_sentence(self):
        self.assertIs(verify_sentence(b"$GPGSV,1,1,00*78\r\n"), False)
        self.assertIs(verify_sentence(b"$GPGSV,1,1,00*79\n"), True)
        self.assertIs(verify_sentence(b"$GPGSV,1,1,00*7\r\n"), None)
        self.assertIs(verify_sentence(b"GPGSV,1,1,00*79\r\n"), None)

    def test_generated_gga_sentences_are_valid_and_advance_once_a_step(self):
        sentences = list(generate_gga(5, start_seconds=23 * 3600 + 59 * 60 + 58, step=0.5))
        self.assertEqual(len(sentences), 5)
        for sentence in sentences:
            self.assertTrue(sentence.startswith(b"$GPGGA,") and sentence.endswith(b"\r\n"), sentence)
            self.assertTrue(verify_sentence(sentence), sentence)
            self.assertEqual(len(sentence.split(b"*")[0].split(b",")), 15)
        times = [s.split(b",")[1] for s in sentences]
        self.assertEqual(times, [b"235958.00", b"235958.50", b"235959.00", b"235959.50", b"000000.00"])
        self.assertRegex(sentences[0].decode(), r"^\$GPGGA,235958\.00,4807\.\d{4},N,01131\.\d{4},E,1,")


class SampleRecording(unittest.TestCase):
    def test_committed_sample_is_what_the_generator_makes(self):
        self.assertEqual(SAMPLE.read_bytes(), gps_replay.sample_recording())

    def test_sample_lines_are_valid_crlf_sentences_of_a_realistic_mix(self):
        data = SAMPLE.read_bytes()
        lines = data.split(b"\r\n")
        self.assertEqual(lines[-1], b"")
        tags = set()
        for line in lines[:-1]:
            self.assertNotIn(b"\n", line)
            self.assertTrue(verify_sentence(line + b"\r\n"), line)
            tags.add(line[1:].split(b",")[0])
        self.assertTrue({b"GPGGA", b"GPRMC", b"GPGSV", b"GNGGA", b"PGRME"} <= tags, tags)


class Bursts(unittest.TestCase):
    def test_sample_groups_into_one_burst_per_second(self):
        bursts = group_bursts(SAMPLE.read_bytes())
        self.assertEqual(len(bursts), 20)
        self.assertEqual(b"".join(b.data for b in bursts), SAMPLE.read_bytes())
        for index, burst in enumerate(bursts):
            self.assertTrue(burst.data.startswith(b"$GPRMC,"))
            self.assertEqual(burst.data.count(b"$GPGGA,"), 1)
            self.assertEqual(burst.fix_time, 12 * 3600 + 30 * 60 + index)
        self.assertEqual(burst_pauses(bursts), [1.0] * 19)

    def test_grouping_by_time_by_repeat_when_no_fix_and_line_ends_made_crlf(self):
        recording = (b"$GPTXT,01,01,02,hello*00\n"
                     b"$GPRMC,,V,,,,,,,,,,N*53\n$GPGGA,,,,,,0,00,99.99,,,,,,*48\n$GPGSV,1,1,00*79\n"
                     b"$GPRMC,,V,,,,,,,,,,N*53\n$GPGGA,,,,,,0,00,99.99,,,,,,*48\n"
                     b"$GPGGA,120000.20,4807.0,N,01131.0,E,1,08,0.9,1.0,M,0.0,M,,*00\r\n"
                     b"$GPGSA,A,3*00\r\n"
                     b"$GPGLL,4807.0,N,01131.0,E,120000.20,A*00\r\n"
                     b"$GPGGA,120000.40,4807.0,N,01131.0,E,1,08,0.9,1.0,M,0.0,M,,*00\r\n"
                     b"\r\n")
        bursts = group_bursts(recording)
        self.assertEqual([b.data.count(b"\r\n") for b in bursts], [4, 2, 3, 1])
        self.assertNotIn(b"\r\n\r\n", b"".join(b.data for b in bursts))
        self.assertTrue(all(re.fullmatch(rb"(\$[^\r\n]*\r\n)+", b.data) for b in bursts))
        self.assertEqual([b.fix_time for b in bursts], [None, None, 43200.2, 43200.4])
        pauses = burst_pauses(bursts)
        self.assertEqual(pauses[:2], [1.0, 1.0])
        self.assertAlmostEqual(pauses[2], 0.2)
        self.assertEqual(group_bursts(recording, crlf=False)[0].data.count(b"\r"), 0)


class Cutting(unittest.TestCase):
    DATA = b"".join(nmea_sentence(body) for body, _ in Checksums.KNOWN)

    def assert_cuts_inside_sentences(self, pieces):
        self.assertEqual(b"".join(pieces), self.DATA)
        position = 0
        for piece in pieces[:-1]:
            position += len(piece)
            before = self.DATA[:position]
            self.assertGreater(before.rfind(b"$"), before.rfind(b"\n"), f"cut at {position} not in a sentence")
            self.assertNotIn(self.DATA[position:position + 1], (b"\r", b"\n", b"$"))

    def test_random_cuts_fall_inside_sentences_and_lose_nothing(self):
        for every, expected_pieces in ((1, 7), (2, 4), (3, 3), (10, 2)):
            for seed in range(30):
                with self.subTest(every=every, seed=seed):
                    pieces = cut_inside_sentences(self.DATA, every, random.Random(seed))
                    self.assertEqual(len(pieces), expected_pieces)
                    self.assert_cuts_inside_sentences(pieces)

    def test_count_runs_on_across_bursts(self):
        gga_first = cut_inside_sentences(self.DATA, 2, offset=3, counted=0)
        gga_skipped = cut_inside_sentences(self.DATA, 2, offset=3, counted=1)
        self.assertEqual(gga_first[0], b"$GP")
        self.assertTrue(gga_skipped[0].startswith(self.DATA[:self.DATA.index(b"\n") + 1] + b"$GP"))

    def test_fixed_offset_cut_and_clamping(self):
        pieces = cut_inside_sentences(self.DATA, 100, offset=6)
        self.assertEqual(pieces[0], b"$GPGGA")
        pieces = cut_inside_sentences(b"$GPGSV,1,1,00*79\r\n", 1, offset=500)
        self.assertEqual(pieces, [b"$GPGSV,1,1,00*7", b"9\r\n"])
        self.assertEqual(cut_inside_sentences(b"no sentence here\r\n", 1), [b"no sentence here\r\n"])


class CommandLine(unittest.TestCase):
    TOOL = os.path.join(os.path.dirname(__file__), "..", "gps_replay.py")

    def test_generate_to_stdout_at_a_rate(self):
        result = subprocess.run([sys.executable, self.TOOL, "--stdout", "--generate", "--rate", "20",
                                 "--count", "4", "--quiet"], capture_output=True, timeout=30)
        self.assertEqual(result.returncode, 0, result.stderr)
        lines = result.stdout.split(b"\r\n")
        self.assertEqual(lines[-1], b"")
        self.assertEqual([verify_sentence(line + b"\r\n") for line in lines[:-1]], [True] * 4)
        self.assertEqual([line.split(b",")[1] for line in lines[:-1]],
                         [b"120000.00", b"120000.05", b"120000.10", b"120000.15"])

    def test_replay_to_stdout_makes_line_ends_crlf_and_keeps_every_sentence(self):
        with tempfile.TemporaryDirectory() as folder:
            bare_lf = Path(folder) / "bare-lf.nmea"
            bare_lf.write_bytes(SAMPLE.read_bytes().replace(b"\r\n", b"\n"))
            result = subprocess.run([sys.executable, self.TOOL, "--stdout", "--speed", "50", "--cut", "2",
                                     "--cut-pause", "0", "--quiet", str(bare_lf)], capture_output=True, timeout=30)
        self.assertEqual(result.stdout, SAMPLE.read_bytes())


if __name__ == "__main__":
    unittest.main()
