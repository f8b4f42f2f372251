"""The camera-side decoder against every frame the controller sends."""

import os
import random
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), ".."))
from ptz_decode import PtzDecoder  # noqa: E402

PELCO_STOP = "FF 01 00 00 00 00 01"
VISCA_PT_STOP = "81 01 06 01 10 10 03 03 FF"
VISCA_ZOOM_STOP = "81 01 04 07 00 FF"

# The controller's timed moves, written out frame by frame:
# char, Pelco-D move, pause ms, words; VISCA move, pause ms, words, VISCA stop.
MOVES = [
    ("l", "FF 01 00 04 0F 00 14", 400, "pan left at speed 0x0F",
     "81 01 06 01 10 00 01 03 FF", 100, "pan left at speed 0x10", VISCA_PT_STOP),
    ("r", "FF 01 00 02 0F 00 12", 400, "pan right at speed 0x0F",
     "81 01 06 01 10 00 02 03 FF", 100, "pan right at speed 0x10", VISCA_PT_STOP),
    ("u", "FF 01 00 08 00 0F 18", 400, "tilt up at speed 0x0F",
     "81 01 06 01 00 10 03 01 FF", 100, "tilt up at speed 0x10", VISCA_PT_STOP),
    ("d", "FF 01 00 10 00 0F 20", 400, "tilt down at speed 0x0F",
     "81 01 06 01 00 10 03 02 FF", 100, "tilt down at speed 0x10", VISCA_PT_STOP),
    ("L", "FF 01 00 04 18 00 1D", 400, "pan left at speed 0x18",
     "81 01 06 01 10 00 01 03 FF", 200, "pan left at speed 0x10", VISCA_PT_STOP),
    ("R", "FF 01 00 02 18 00 1B", 400, "pan right at speed 0x18",
     "81 01 06 01 10 00 02 03 FF", 200, "pan right at speed 0x10", VISCA_PT_STOP),
    ("U", "FF 01 00 08 00 18 21", 400, "tilt up at speed 0x18",
     "81 01 06 01 00 10 03 01 FF", 200, "tilt up at speed 0x10", VISCA_PT_STOP),
    ("D", "FF 01 00 10 00 18 29", 400, "tilt down at speed 0x18",
     "81 01 06 01 00 10 03 02 FF", 200, "tilt down at speed 0x10", VISCA_PT_STOP),
    ("T", "FF 01 00 20 00 00 21", 300, "zoom tele",
     "81 01 04 07 23 FF", 200, "zoom tele at speed 3", VISCA_ZOOM_STOP),
    ("t", "FF 01 00 20 00 00 21", 200, "zoom tele",
     "81 01 04 07 23 FF", 100, "zoom tele at speed 3", VISCA_ZOOM_STOP),
    ("W", "FF 01 00 40 00 00 41", 300, "zoom wide",
     "81 01 04 07 33 FF", 200, "zoom wide at speed 3", VISCA_ZOOM_STOP),
    ("w", "FF 01 00 40 00 00 41", 200, "zoom wide",
     "81 01 04 07 33 FF", 100, "zoom wide at speed 3", VISCA_ZOOM_STOP),
]

# Single frames: char, Pelco-D frame, words, VISCA frame, words.
SINGLE = [
    ("h", "81 01 06 04 FF", "home", "81 01 06 04 FF", "home"),
    ("1", "FF 01 00 07 00 01 09", "recall preset 1", "81 01 04 3F 02 00 FF", "recall preset 1 (memory 00)"),
    ("2", "FF 01 00 07 00 02 0A", "recall preset 2", "81 01 04 3F 02 01 FF", "recall preset 2 (memory 01)"),
    ("3", "FF 01 00 07 00 03 0B", "recall preset 3", "81 01 04 3F 02 02 FF", "recall preset 3 (memory 02)"),
    ("4", "FF 01 00 07 00 04 0C", "recall preset 4", "81 01 04 3F 02 03 FF", "recall preset 4 (memory 03)"),
    ("5", "FF 01 00 07 00 05 0D", "recall preset 5", "81 01 04 3F 02 04 FF", "recall preset 5 (memory 04)"),
    ("6", "FF 01 00 07 00 06 0E", "recall preset 6", "81 01 04 3F 02 05 FF", "recall preset 6 (memory 05)"),
    ("7", "FF 01 00 07 00 07 0F", "recall preset 7", "81 01 04 3F 02 06 FF", "recall preset 7 (memory 06)"),
    ("8", "FF 01 00 07 00 08 10", "recall preset 8", "81 01 04 3F 02 07 FF", "recall preset 8 (memory 07)"),
    ("9", "FF 01 00 07 00 09 11", "recall preset 9", "81 01 04 3F 02 08 FF", "recall preset 9 (memory 08)"),
    ("0", "FF 01 00 07 00 0A 12", "recall preset 10", "81 01 04 3F 02 09 FF", "recall preset 10 (memory 09)"),
    ("!", "FF 01 00 03 00 01 05", "set preset 1", "81 01 04 3F 01 00 FF", "set preset 1 (memory 00)"),
    ("@", "FF 01 00 03 00 02 06", "set preset 2", "81 01 04 3F 01 01 FF", "set preset 2 (memory 01)"),
    ("#", "FF 01 00 03 00 03 07", "set preset 3", "81 01 04 3F 01 02 FF", "set preset 3 (memory 02)"),
    ("$", "FF 01 00 03 00 04 08", "set preset 4", "81 01 04 3F 01 03 FF", "set preset 4 (memory 03)"),
    ("%", "FF 01 00 03 00 05 09", "set preset 5", "81 01 04 3F 01 04 FF", "set preset 5 (memory 04)"),
    ("^", "FF 01 00 03 00 06 0A", "set preset 6", "81 01 04 3F 01 05 FF", "set preset 6 (memory 05)"),
    ("&", "FF 01 00 03 00 07 0B", "set preset 7", "81 01 04 3F 01 06 FF", "set preset 7 (memory 06)"),
    ("*", "FF 01 00 03 00 08 0C", "set preset 8", "81 01 04 3F 01 07 FF", "set preset 8 (memory 07)"),
    ("(", "FF 01 00 03 00 09 0D", "set preset 9", "81 01 04 3F 01 08 FF", "set preset 9 (memory 08)"),
    (")", "FF 01 00 03 00 0A 0E", "set preset 10", "81 01 04 3F 01 09 FF", "set preset 10 (memory 09)"),
]


def frame(text: str) -> bytes:
    return bytes.fromhex(text)


def feed_all(decoder, pieces):
    """pieces: (time, bytes); returns every event, the end flushed."""
    events = []
    for when, data in pieces:
        events += decoder.feed(data, when)
    return events + decoder.flush(pieces[-1][0] if pieces else 0.0)


def summary(events):
    return [(e.kind, e.protocol, e.raw.hex(" ").upper(), e.words) for e in events if e.kind != "timing"]


class CommandTable(unittest.TestCase):
    def test_every_timed_move_and_its_stop_with_the_pause_between(self):
        for char, pelco, pelco_ms, pelco_words, visca, visca_ms, visca_words, visca_stop in MOVES:
            for protocol, move, ms, words, stop, stop_words in (
                    ("Pelco-D", pelco, pelco_ms, pelco_words, PELCO_STOP, "stop"),
                    ("VISCA", visca, visca_ms, visca_words, visca_stop,
                     "pan-tilt stop" if visca_stop == VISCA_PT_STOP else "zoom stop")):
                with self.subTest(char=char, protocol=protocol):
                    events = feed_all(PtzDecoder(), [(10.0, frame(move)), (10.0 + ms / 1000, frame(stop))])
                    self.assertEqual(summary(events), [("frame", protocol, move, words),
                                                       ("frame", protocol, stop, stop_words)])
                    timing = [e for e in events if e.kind == "timing"]
                    self.assertEqual(len(timing), 1)
                    self.assertAlmostEqual(timing[0].ms, ms, places=3)
                    self.assertEqual(timing[0].words, f"{words} -> stop after {ms} ms")

    def test_every_single_frame(self):
        for char, pelco, pelco_words, visca, visca_words in SINGLE:
            for protocol, data, words in (("Pelco-D" if pelco.startswith("FF") else "VISCA", pelco, pelco_words),
                                          ("VISCA", visca, visca_words)):
                with self.subTest(char=char, frame=data):
                    events = feed_all(PtzDecoder(), [(1.0, frame(data))])
                    self.assertEqual(summary(events), [("frame", protocol, data, words)])

    def test_whole_table_in_one_stream_any_split_decodes_the_same(self):
        stream = b""
        expected = 0
        for _, pelco, _, _, visca, _, _, visca_stop in MOVES:
            stream += frame(pelco) + frame(PELCO_STOP) + frame(visca) + frame(visca_stop)
            expected += 4
        for _, pelco, _, visca, _ in SINGLE:
            stream += frame(pelco) + frame(visca)
            expected += 2
        whole = summary(feed_all(PtzDecoder(), [(0.0, stream)]))
        self.assertEqual(len(whole), expected)
        self.assertTrue(all(kind == "frame" for kind, *_ in whole))
        rng = random.Random(7)
        for _ in range(20):
            cuts = sorted(rng.sample(range(1, len(stream)), 40))
            pieces = [stream[a:b] for a, b in zip([0] + cuts, cuts + [len(stream)])]
            self.assertEqual(summary(feed_all(PtzDecoder(), [(0.0, p) for p in pieces])), whole)
        bytewise = summary(feed_all(PtzDecoder(), [(0.0, bytes([b])) for b in stream]))
        self.assertEqual(bytewise, whole)

    def test_stop_without_move_gives_no_timing_and_a_pelco_stop_ends_a_zoom(self):
        events = feed_all(PtzDecoder(), [(0.0, frame(PELCO_STOP)), (1.0, frame("FF 01 00 20 00 00 21")),
                                         (1.25, frame(PELCO_STOP))])
        timings = [e.words for e in events if e.kind == "timing"]
        self.assertEqual(timings, ["zoom tele -> stop after 250 ms"])


class Faults(unittest.TestCase):
    def test_flags_wrong_pelco_checksum_and_goes_on(self):
        events = feed_all(PtzDecoder(), [(0.0, frame("FF 01 00 04 0F 00 15 FF 01 00 00 00 00 01"))])
        self.assertEqual([(e.kind, e.raw.hex(" ").upper()) for e in events],
                         [("bad-checksum", "FF 01 00 04 0F 00 15"), ("frame", PELCO_STOP)])
        self.assertIn("should be 14", events[0].words)

    def test_unknown_frames_and_garbage_are_flagged_and_frames_after_them_found(self):
        cases = [
            # leading noise without any frame start
            ("00 13 42 FF 01 00 07 00 03 0B", [("unknown", "00 13 42"), ("frame", "FF 01 00 07 00 03 0B")]),
            # a stray sync byte before a Pelco-D frame
            ("FF FF 01 00 04 0F 00 14", [("unknown", "FF"), ("frame", "FF 01 00 04 0F 00 14")]),
            # a VISCA header whose terminator is the next frame's sync byte
            ("81 00 00 FF 01 00 04 0F 00 14", [("unknown", "81 00 00"), ("frame", "FF 01 00 04 0F 00 14")]),
            # a cut-off Pelco-D frame, then a VISCA frame
            ("FF 01 00 81 01 06 04 FF", [("unknown", "FF 01 00"), ("frame", "81 01 06 04 FF")]),
            # well-formed VISCA of no command this camera knows
            ("81 01 7E 01 FF 81 01 04 07 00 FF", [("unknown", "81 01 7E 01 FF"), ("frame", VISCA_ZOOM_STOP)]),
            # a VISCA header with no terminator within 16 bytes
            ("81 " + "01 " * 16 + PELCO_STOP, [("unknown", "81 " + " ".join(["01"] * 16)), ("frame", PELCO_STOP)]),
            # Pelco-D frame with a valid checksum but no command
            ("FF 01 40 00 00 00 41", [("unknown", "FF 01 40 00 00 00 41")]),
        ]
        for data, expected in cases:
            with self.subTest(data=data):
                events = feed_all(PtzDecoder(), [(0.0, frame(data))])
                self.assertEqual([(e.kind, e.raw.hex(" ").upper()) for e in events if e.kind != "timing"],
                                 expected)

    def test_half_frame_waits_for_its_rest_then_is_reported_after_silence(self):
        decoder = PtzDecoder(idle_seconds=0.25)
        self.assertEqual(decoder.feed(frame("FF 01 00 04"), 1.0), [])
        self.assertEqual(decoder.idle(1.1), [])
        events = decoder.idle(1.3)
        self.assertEqual([(e.kind, e.raw) for e in events], [("incomplete", frame("FF 01 00 04"))])
        self.assertEqual(decoder.feed(frame(PELCO_STOP), 2.0)[0].kind, "frame")

    def test_camera_address_other_than_one_is_named(self):
        events = feed_all(PtzDecoder(), [(0.0, frame("FF 02 00 07 00 03 0C 82 01 06 04 FF"))])
        self.assertEqual([e.words for e in events], ["camera 2: recall preset 3", "camera 2: home"])


class CommandLine(unittest.TestCase):
    TOOL = os.path.join(os.path.dirname(__file__), "..", "ptz_decode.py")

    def run_tool(self, text):
        return subprocess.run([sys.executable, self.TOOL, "--hex"], input=text.encode(),
                              capture_output=True, timeout=30)

    def test_hex_input_decoded_and_flags_set_the_exit_code(self):
        clean = self.run_tool("FF 01 00 04 0F 00 14  # left\nFF 01 00 00 00 00 01\n81 01 06 04 FF\n")
        lines = clean.stdout.decode().splitlines()
        self.assertEqual(clean.returncode, 0, clean.stderr)
        self.assertEqual(len(lines), 4)
        self.assertTrue(lines[0].endswith("pan left at speed 0x0F"))
        self.assertIn("pan left at speed 0x0F -> stop after", lines[2])
        self.assertTrue(lines[3].endswith("home"))
        flagged = self.run_tool("FF 01 00 04 0F 00 15\n")
        self.assertEqual(flagged.returncode, 1)
        self.assertIn("BAD CHECKSUM", flagged.stdout.decode())


if __name__ == "__main__":
    unittest.main()
