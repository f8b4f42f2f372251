#!/usr/bin/env python3
"""What a pan-tilt-zoom camera would do with the bytes on its serial line.

Reads the camera's end of a serial line (a pty, a tty, a file or standard input),
cuts the byte stream into Pelco-D and VISCA frames and prints each in words:

    +   0.000 s  Pelco-D  FF 01 00 04 0F 00 14        pan left at speed 0x0F
    +   0.401 s  Pelco-D  FF 01 00 00 00 00 01        stop  (pan left at speed 0x0F -> stop after 401 ms)

A Pelco-D frame whose checksum is wrong, a VISCA frame of no known command and
bytes that start no frame are flagged; the parser finds the next frame after
garbage by itself.

    ptz_decode.py /dev/pts/7          the far end of a line a program writes to
    ptz_decode.py --pty               make a pty, print its name, decode what arrives
    ptz_decode.py --hex < frames.txt  hexadecimal text ("FF 01 00 04 0F 00 14") per line
    ptz_decode.py capture.bin         a raw capture (no timing)

Importable: PtzDecoder(now=...).feed(data, now) yields Event objects.
"""

import argparse
import os
import select
import sys
import termios
import time
import tty
from dataclasses import dataclass
from typing import Iterator, List, Optional

PELCO_D = "Pelco-D"
VISCA = "VISCA"

PELCO_FRAME_LENGTH = 7
VISCA_MAX_LENGTH = 16  # a VISCA message never exceeds 16 bytes
# Bytes still waiting for the rest of their frame after this long a silence are
# decided on as they stand (a real line delivers a frame within a few ms).
DEFAULT_IDLE_SECONDS = 0.25


@dataclass
class Event:
    """One thing seen on the line.

    kind: "frame" (a decoded command), "bad-checksum" (Pelco-D), "unknown"
    (a VISCA frame of no known command, or bytes that start no frame),
    "incomplete" (a frame cut short by the end of the data) or "timing" (a move
    and the stop that ended it; ms holds the time between them).
    """
    time: float
    kind: str
    protocol: Optional[str]
    raw: bytes
    words: str
    ms: Optional[float] = None
    move: Optional[str] = None  # for frames: "pan-tilt" or "zoom" move, "stop-all",
                                # "stop-pan-tilt", "stop-zoom"; else None

    def format(self, origin: float = 0.0) -> str:
        stamp = f"+{self.time - origin:8.3f} s"
        if self.kind == "timing":
            return f"{stamp}  {'':8} {'':28} {self.words}"
        label = self.protocol or "?"
        hexa = self.raw.hex(" ").upper()
        if len(hexa) > 28:
            hexa = hexa[:25] + "..."
        flag = {"frame": "", "bad-checksum": "BAD CHECKSUM: ", "unknown": "UNKNOWN: ",
                "incomplete": "INCOMPLETE: "}[self.kind]
        return f"{stamp}  {label:8} {hexa:28} {flag}{self.words}"


# --- Pelco-D -----------------------------------------------------------------

def pelco_checksum(frame: bytes) -> int:
    """The low byte of the sum of address, both commands and both data bytes."""
    return sum(frame[1:6]) & 0xFF


_PELCO_CMD2_BITS = ((0x02, "pan right"), (0x04, "pan left"), (0x08, "tilt up"), (0x10, "tilt down"),
                    (0x20, "zoom tele"), (0x40, "zoom wide"), (0x80, "focus far"))
_PELCO_CMD1_BITS = ((0x01, "focus near"), (0x02, "iris open"), (0x04, "iris close"),
                    (0x10, "auto scan"))
_PELCO_EXTENDED = {0x03: "set preset", 0x05: "clear preset", 0x07: "recall preset"}


def _camera(address: int) -> str:
    return "" if address == 1 else f"camera {address}: "


def decode_pelco(frame: bytes):
    """Words and move class of a 7-byte Pelco-D frame whose checksum is right."""
    address, cmd1, cmd2, data1, data2 = frame[1:6]
    prefix = _camera(address)
    if cmd2 & 0x01:  # extended command
        name = _PELCO_EXTENDED.get(cmd2)
        if name is None or cmd1 != 0:
            return None, None
        return f"{prefix}{name} {data2}", None
    if cmd1 == 0 and cmd2 == 0 and data1 == 0 and data2 == 0:
        return f"{prefix}stop", "stop-all"
    parts = []
    for bit, name in _PELCO_CMD2_BITS:
        if cmd2 & bit:
            if name.startswith("pan"):
                name += f" at speed 0x{data1:02X}"
            elif name.startswith("tilt"):
                name += f" at speed 0x{data2:02X}"
            parts.append(name)
    for bit, name in _PELCO_CMD1_BITS:
        if cmd1 & bit:
            parts.append(name)
    if cmd1 & 0x08:
        parts.append("camera on" if cmd1 & 0x80 else "camera off")
    if not parts:
        return None, None
    return prefix + ", ".join(parts), "move"


# --- VISCA -------------------------------------------------------------------

_VISCA_PAN = {0x01: "pan left", 0x02: "pan right", 0x03: None}
_VISCA_TILT = {0x01: "tilt up", 0x02: "tilt down", 0x03: None}
_VISCA_MEMORY = {0x00: "reset preset", 0x01: "set preset", 0x02: "recall preset"}


def decode_visca(frame: bytes):
    """Words and move class of a VISCA command frame (header to FF), or (None, None)."""
    header, body = frame[0], frame[1:-1]
    if header == 0x88:
        prefix = "broadcast: "
    else:
        prefix = _camera(header & 0x07)
    if header == 0x88 and body == b"\x30\x01":
        return "address set", None
    if header == 0x88 and body == b"\x01\x00\x01":
        return "interface clear", None
    if len(body) < 3 or body[0] != 0x01:
        return None, None
    category, command, args = body[1], body[2], body[3:]
    if category == 0x06 and command == 0x01 and len(args) == 4:
        pan_speed, tilt_speed, pan, tilt = args
        if pan not in _VISCA_PAN or tilt not in _VISCA_TILT:
            return None, None
        if pan == 0x03 and tilt == 0x03:
            return f"{prefix}pan-tilt stop", "stop-pan-tilt"
        parts = []
        if _VISCA_PAN[pan]:
            parts.append(f"{_VISCA_PAN[pan]} at speed 0x{pan_speed:02X}")
        if _VISCA_TILT[tilt]:
            parts.append(f"{_VISCA_TILT[tilt]} at speed 0x{tilt_speed:02X}")
        return prefix + ", ".join(parts), "pan-tilt"
    if category == 0x06 and command == 0x04 and not args:
        return f"{prefix}home", None
    if category == 0x06 and command == 0x05 and not args:
        return f"{prefix}pan-tilt reset", None
    if category == 0x04 and command == 0x07 and len(args) == 1:
        value = args[0]
        if value == 0x00:
            return f"{prefix}zoom stop", "stop-zoom"
        if value == 0x02:
            return f"{prefix}zoom tele", "zoom"
        if value == 0x03:
            return f"{prefix}zoom wide", "zoom"
        if value >> 4 == 0x2:
            return f"{prefix}zoom tele at speed {value & 0x0F}", "zoom"
        if value >> 4 == 0x3:
            return f"{prefix}zoom wide at speed {value & 0x0F}", "zoom"
        return None, None
    if category == 0x04 and command == 0x3F and len(args) == 2 and args[0] in _VISCA_MEMORY:
        memory = args[1]
        return f"{prefix}{_VISCA_MEMORY[args[0]]} {memory + 1} (memory {memory:02X})", None
    if category == 0x04 and command == 0x00 and len(args) == 1 and args[0] in (0x02, 0x03):
        return f"{prefix}power {'on' if args[0] == 0x02 else 'off'}", None
    return None, None


# --- the stream parser ---------------------------------------------------------

def _is_visca_header(byte: int) -> bool:
    return 0x81 <= byte <= 0x88


class PtzDecoder:
    """A streaming parser: feed it bytes as they arrive, get events back.

    Frames are found by their first byte: FF starts a 7-byte Pelco-D frame,
    81 to 88 a VISCA frame that runs to its FF terminator. Anything else is
    garbage, reported once per run of such bytes. A Pelco-D candidate with a
    wrong checksum is reported as such unless a valid frame starts inside it,
    in which case its first bytes were garbage (resynchronisation).
    """

    def __init__(self, idle_seconds: float = DEFAULT_IDLE_SECONDS) -> None:
        self._buffer = bytearray()
        self._garbage = bytearray()
        self._garbage_time = 0.0
        self._last_arrival = 0.0
        self._idle = idle_seconds
        # The move still running, per kind: "pan-tilt" or "zoom" -> (time, words, protocol)
        self._moves = {}

    # public

    def feed(self, data: bytes, now: float) -> List[Event]:
        if data:
            self._buffer += data
            self._last_arrival = now
        return list(self._parse(now, final=False))

    def idle(self, now: float) -> List[Event]:
        """Call when nothing arrived for a while: bytes waiting that long for the
        rest of a frame are decided on as they stand."""
        if (self._buffer or self._garbage) and now - self._last_arrival >= self._idle:
            return self.flush(now)
        return []

    def flush(self, now: float) -> List[Event]:
        """End of data: decide on everything still waiting."""
        return list(self._parse(now, final=True))

    # parsing

    def _parse(self, now: float, final: bool) -> Iterator[Event]:
        buf = self._buffer
        while buf:
            first = buf[0]
            if first == 0xFF:
                outcome = self._try_pelco(now, final)
            elif _is_visca_header(first):
                outcome = self._try_visca(now, final)
            else:
                outcome = "garbage"
            if outcome == "wait":
                break
            if outcome == "garbage":
                if not self._garbage:
                    self._garbage_time = now
                self._garbage.append(buf.pop(0))
                continue
            yield from self._end_garbage()
            yield from outcome
        if final:
            if buf:
                yield from self._end_garbage()
                yield Event(now, "incomplete", None, bytes(buf), "frame cut short")
                buf.clear()
            yield from self._end_garbage()

    def _end_garbage(self) -> Iterator[Event]:
        if self._garbage:
            yield Event(self._garbage_time, "unknown", None, bytes(self._garbage),
                        f"{len(self._garbage)} byte(s) that start no frame")
            self._garbage.clear()

    def _valid_frame_at(self, offset: int, final: bool):
        """True, False, or None when the bytes to decide have not arrived yet."""
        buf = self._buffer
        if buf[offset] == 0xFF:
            if len(buf) < offset + PELCO_FRAME_LENGTH:
                return False if final else None
            return pelco_checksum(buf[offset:offset + PELCO_FRAME_LENGTH]) == buf[offset + 6]
        if _is_visca_header(buf[offset]):
            end = buf.find(0xFF, offset + 1, offset + VISCA_MAX_LENGTH)
            if end < 0:
                complete = final or len(buf) >= offset + VISCA_MAX_LENGTH
                return False if complete else None
            return decode_visca(bytes(buf[offset:end + 1]))[0] is not None
        return False

    def _try_pelco(self, now: float, final: bool):
        buf = self._buffer
        if len(buf) < PELCO_FRAME_LENGTH:
            if not final:
                return "wait"
            if self._later_frame_start(1, final):
                return "garbage"
            piece = bytes(buf)
            buf.clear()
            return [Event(now, "incomplete", PELCO_D, piece, "frame cut short")]
        frame = bytes(buf[:PELCO_FRAME_LENGTH])
        if pelco_checksum(frame) != frame[6]:
            later = self._later_frame_start(1, final, limit=PELCO_FRAME_LENGTH)
            if later is None:
                return "wait"
            if later:
                return "garbage"
            del buf[:PELCO_FRAME_LENGTH]
            return [Event(now, "bad-checksum", PELCO_D, frame,
                          f"checksum {frame[6]:02X}, should be {pelco_checksum(frame):02X}")]
        del buf[:PELCO_FRAME_LENGTH]
        words, move = decode_pelco(frame)
        if words is None:
            return [Event(now, "unknown", PELCO_D, frame, "no known Pelco-D command")]
        return self._frame(now, PELCO_D, frame, words, move)

    def _later_frame_start(self, start: int, final: bool, limit: Optional[int] = None):
        """Whether a valid frame starts at an offset in [start, limit); None when
        that cannot be told yet."""
        buf = self._buffer
        end = min(len(buf), limit if limit is not None else len(buf))
        undecided = False
        for offset in range(start, end):
            valid = self._valid_frame_at(offset, final)
            if valid:
                return True
            if valid is None:
                undecided = True
        return None if undecided else False

    def _try_visca(self, now: float, final: bool):
        buf = self._buffer
        end = buf.find(0xFF, 1, VISCA_MAX_LENGTH)
        if end < 0:
            if len(buf) < VISCA_MAX_LENGTH and not final:
                return "wait"
            return "garbage"  # no terminator where one must be: not a frame start
        frame = bytes(buf[:end + 1])
        words, move = decode_visca(frame)
        if words is None:
            # The FF may be the start of a Pelco-D frame that garbage ran into.
            later = self._later_frame_start(1, final, limit=end + 1)
            if later is None:
                return "wait"
            if later:
                return "garbage"
            del buf[:end + 1]
            return [Event(now, "unknown", VISCA, frame, "no known VISCA command")]
        del buf[:end + 1]
        return self._frame(now, VISCA, frame, words, move)

    def _frame(self, now: float, protocol: str, frame: bytes, words: str, move: Optional[str]):
        events = [Event(now, "frame", protocol, frame, words, move=move)]
        if move in ("move", "pan-tilt", "zoom"):
            kind = "zoom" if words.startswith("zoom") or move == "zoom" else "pan-tilt"
            self._moves[kind] = (now, words, protocol)
        elif move and move.startswith("stop"):
            kinds = {"stop-all": ("pan-tilt", "zoom"), "stop-pan-tilt": ("pan-tilt",),
                     "stop-zoom": ("zoom",)}[move]
            for kind in kinds:
                started = self._moves.pop(kind, None)
                if started is not None:
                    ms = (now - started[0]) * 1000.0
                    events.append(Event(now, "timing", protocol, b"",
                                        f"{started[1]} -> stop after {ms:.0f} ms", ms=ms))
        return events


# --- command line ----------------------------------------------------------------

BAUD_CODES = {getattr(termios, f"B{n}"): n for n in (
    300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400)}


def line_speed(fd: int) -> Optional[int]:
    try:
        return BAUD_CODES.get(termios.tcgetattr(fd)[5])
    except termios.error:
        return None


def _parse_hex_line(line: str) -> bytes:
    text = line.split("#", 1)[0].replace(",", " ").replace("0x", "").replace("0X", "")
    return bytes.fromhex("".join(text.split()))


def decode_stream(fd: int, out, hex_text: bool = False, watch_speed: bool = False,
                  duration: Optional[float] = None, decoder: Optional[PtzDecoder] = None) -> int:
    """Decode from fd until end of data (or duration seconds); returns the number
    of flagged events."""
    decoder = decoder or PtzDecoder()
    origin = None
    flagged = 0
    speed = None
    pending_text = b""
    deadline = None if duration is None else time.monotonic() + duration

    def emit(events):
        nonlocal origin, flagged
        for event in events:
            if origin is None:
                origin = event.time
            if event.kind in ("bad-checksum", "unknown", "incomplete"):
                flagged += 1
            print(event.format(origin), file=out, flush=True)

    while True:
        timeout = 0.05
        if deadline is not None:
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                break
            timeout = min(timeout, remaining)
        if watch_speed:
            now_speed = line_speed(fd)
            if now_speed != speed and now_speed is not None:
                speed = now_speed
                print(f"line speed {speed} baud", file=out, flush=True)
        ready, _, _ = select.select([fd], [], [], timeout)
        now = time.monotonic()
        if not ready:
            emit(decoder.idle(now))
            continue
        try:
            data = os.read(fd, 4096)
        except OSError:  # a pty whose other end closed
            data = b""
        if not data:
            break
        if hex_text:
            pending_text += data
            *lines, pending_text = pending_text.split(b"\n")
            for line in lines:
                try:
                    emit(decoder.feed(_parse_hex_line(line.decode("ascii", "replace")), now))
                except ValueError:
                    print(f"not hexadecimal: {line!r}", file=out, flush=True)
        else:
            emit(decoder.feed(data, now))
    if hex_text and pending_text.strip():
        emit(decoder.feed(_parse_hex_line(pending_text.decode("ascii", "replace")), time.monotonic()))
    emit(decoder.flush(time.monotonic()))
    return flagged


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("source", nargs="?", default="-",
                        help="tty/pty device, file, or - for standard input (default)")
    parser.add_argument("--pty", action="store_true",
                        help="make a pty, print the name of its far end and decode what a program writes there")
    parser.add_argument("--link", help="with --pty: also make this symbolic link to the far end "
                        "(e.g. a Wine prefix's dosdevices/com3)")
    parser.add_argument("--hex", action="store_true", help="input is hexadecimal text, one or more frames a line")
    parser.add_argument("--duration", type=float, help="stop after this many seconds")
    args = parser.parse_args(argv)

    watch_speed = False
    if args.pty:
        master, slave = os.openpty()
        tty.setraw(slave)
        name = os.ttyname(slave)
        if args.link:
            if os.path.islink(args.link):
                os.unlink(args.link)
            os.symlink(name, args.link)
        print(f"camera end of the line: {name}" + (f" (linked as {args.link})" if args.link else ""),
              flush=True)
        fd, watch_speed = master, True  # the slave stays open: the line never hangs up
    elif args.source == "-":
        fd = sys.stdin.fileno()
    else:
        fd = os.open(args.source, os.O_RDONLY | os.O_NOCTTY)
        if os.isatty(fd):
            tty.setraw(fd)
            watch_speed = True
    try:
        flagged = decode_stream(fd, sys.stdout, hex_text=args.hex, watch_speed=watch_speed,
                                duration=args.duration)
    except KeyboardInterrupt:
        return 0
    return 1 if flagged else 0


if __name__ == "__main__":
    sys.exit(main())
