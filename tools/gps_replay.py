#!/usr/bin/env python3
"""A stand-in GPS receiver on a serial line.

Replays NMEA recordings at their natural pace (a receiver sends one burst of
sentences per fix, once a second), or generates GPGGA sentences with valid
checksums at a chosen rate. Lines end in CR LF. Writes can be cut inside
sentences, as a serial driver hands a reader whatever has arrived so far.

    gps_replay.py --pty data/sample-receiver.nmea      make a pty, print its name, replay into it
    gps_replay.py --device /dev/pts/7 --loop rec.nmea  the far end of an existing line
    gps_replay.py --pty --link PREFIX/dosdevices/com5 --generate --rate 5
    gps_replay.py --stdout --cut 2 rec.nmea | od -c   see the bytes
    gps_replay.py --make-sample data/sample-receiver.nmea

Importable: nmea_checksum, nmea_sentence, verify_sentence, gga_sentence,
generate_gga, sample_recording, group_bursts, cut_inside_sentences, Replayer.
"""

import argparse
import os
import random
import re
import select
import sys
import termios
import time
import tty
from dataclasses import dataclass
from typing import Iterable, Iterator, List, Optional, Sequence

# --- sentences -------------------------------------------------------------------


def nmea_checksum(body) -> int:
    """XOR of every byte between '$' and '*' (pass the body without either)."""
    if isinstance(body, str):
        body = body.encode("ascii")
    value = 0
    for byte in body:
        value ^= byte
    return value


def nmea_sentence(body: str) -> bytes:
    """'$' + body + '*' + two upper-case hex digits + CR LF."""
    return f"${body}*{nmea_checksum(body):02X}\r\n".encode("ascii")


_SENTENCE = re.compile(rb"^\$([^$*\r\n]*)\*([0-9A-Fa-f]{2})\r?\n?$")


def verify_sentence(line: bytes) -> Optional[bool]:
    """True when the checksum is right, False when wrong, None for a line that
    is no checksummed sentence."""
    match = _SENTENCE.match(line)
    if not match:
        return None
    return nmea_checksum(match.group(1)) == int(match.group(2), 16)


def _nmea_time(seconds_of_day: float) -> str:
    seconds_of_day %= 86400
    hours, rest = divmod(seconds_of_day, 3600)
    minutes, seconds = divmod(rest, 60)
    return f"{int(hours):02d}{int(minutes):02d}{seconds:05.2f}"


def _nmea_angle(value: float, degree_digits: int) -> str:
    degrees = int(abs(value))
    minutes = (abs(value) - degrees) * 60
    return f"{degrees:0{degree_digits}d}{minutes:07.4f}"


def gga_sentence(seconds_of_day: float, latitude: float, longitude: float, talker: str = "GP",
                 quality: int = 1, satellites: int = 8, hdop: float = 0.9,
                 altitude: float = 545.4, geoid: float = 46.9) -> bytes:
    body = (f"{talker}GGA,{_nmea_time(seconds_of_day)},"
            f"{_nmea_angle(latitude, 2)},{'N' if latitude >= 0 else 'S'},"
            f"{_nmea_angle(longitude, 3)},{'E' if longitude >= 0 else 'W'},"
            f"{quality},{satellites:02d},{hdop:.1f},{altitude:.1f},M,{geoid:.1f},M,,")
    return nmea_sentence(body)


def rmc_sentence(seconds_of_day: float, latitude: float, longitude: float, talker: str = "GP",
                 knots: float = 0.4, course: float = 84.4, date: str = "110624") -> bytes:
    body = (f"{talker}RMC,{_nmea_time(seconds_of_day)},A,"
            f"{_nmea_angle(latitude, 2)},{'N' if latitude >= 0 else 'S'},"
            f"{_nmea_angle(longitude, 3)},{'E' if longitude >= 0 else 'W'},"
            f"{knots:.1f},{course:.1f},{date},,,A")
    return nmea_sentence(body)


def gsv_sentences(satellites: Sequence[tuple], talker: str = "GP") -> List[bytes]:
    """Satellites in view, four a sentence: (prn, elevation, azimuth, snr)."""
    parts = [satellites[i:i + 4] for i in range(0, len(satellites), 4)] or [[]]
    out = []
    for index, group in enumerate(parts, 1):
        fields = "".join(f",{prn:02d},{elev:02d},{azim:03d},{snr:02d}" for prn, elev, azim, snr in group)
        out.append(nmea_sentence(f"{talker}GSV,{len(parts)},{index},{len(satellites):02d}{fields}"))
    return out


START_LATITUDE = 48.11730   # a field next to a test site; any place would do
START_LONGITUDE = 11.51667


def generate_gga(count: Optional[int] = None, start_seconds: float = 12 * 3600.0, step: float = 1.0,
                 latitude: float = START_LATITUDE, longitude: float = START_LONGITUDE,
                 talker: str = "GP") -> Iterator[bytes]:
    """GGA sentences of a receiver drifting slowly north-east, one per step seconds."""
    index = 0
    while count is None or index < count:
        yield gga_sentence(start_seconds + index * step, latitude + index * 2e-6,
                           longitude + index * 3e-6, talker=talker,
                           satellites=8 + index % 3, hdop=0.8 + (index % 4) / 10)
        index += 1


def sample_recording(epochs: int = 20, start_seconds: float = 12 * 3600.0 + 30 * 60) -> bytes:
    """A receiver's output over epochs seconds: per fix GPRMC, GPGGA, GNGGA, GPGSV
    parts, a proprietary PGRM sentence every few fixes; every line ends in CR LF."""
    sats = [(3, 33, 111, 41), (4, 15, 270, 38), (6, 61, 10, 44), (13, 6, 292, 29),
            (14, 25, 170, 36), (16, 57, 208, 39), (18, 67, 296, 40), (22, 42, 67, 42),
            (24, 14, 311, 33)]
    out = []
    for i in range(epochs):
        t = start_seconds + i
        lat = START_LATITUDE + i * 2e-6
        lon = START_LONGITUDE + i * 3e-6
        out.append(rmc_sentence(t, lat, lon))
        out.append(gga_sentence(t, lat, lon, satellites=8 + i % 2, hdop=0.9 + (i % 3) / 10))
        out.append(gga_sentence(t, lat, lon, talker="GN", satellites=14, hdop=0.7))
        if i % 2 == 0:
            out.extend(gsv_sentences([(p, e, a, max(0, s - i % 5)) for p, e, a, s in sats]))
        if i % 5 == 0:
            out.append(nmea_sentence(f"PGRME,{2.1 + i / 100:.1f},M,3.4,M,4.0,M"))
    return b"".join(out)


# --- bursts ------------------------------------------------------------------------

# Sentence types whose field 1 is the UTC time of the fix.
_TIMED_TYPES = {b"GGA", b"RMC", b"GLL", b"ZDA", b"GNS", b"GBS", b"GST"}


@dataclass
class Burst:
    data: bytes                        # the sentences of one fix, as they go on the line
    fix_time: Optional[float] = None   # UTC seconds of day, when a sentence tells it


def _time_field(line: bytes):
    """(tag, seconds of day or None) of a timed sentence, (tag, None) otherwise;
    tag is None for a line that is no sentence."""
    if not line.startswith(b"$"):
        return None, None
    fields = line[1:].split(b"*", 1)[0].split(b",")
    tag = fields[0]
    if len(tag) == 5 and tag[2:] in _TIMED_TYPES:
        # GLL carries the time in field 5, the others in field 1.
        raw = fields[5] if tag[2:] == b"GLL" and len(fields) > 5 else (fields[1] if len(fields) > 1 else b"")
        match = re.match(rb"^(\d\d)(\d\d)(\d\d(?:\.\d*)?)$", raw.strip())
        if match:
            return tag, int(match.group(1)) * 3600 + int(match.group(2)) * 60 + float(match.group(3))
        return tag, "empty"
    return tag, None


def split_lines(data: bytes, crlf: bool = True) -> List[bytes]:
    """The lines of a recording, each with its line end; with crlf, every line
    end becomes CR LF (receivers send CR LF; some recordings lost the CR)."""
    lines = data.splitlines(keepends=True)
    if not crlf:
        return lines
    return [line.rstrip(b"\r\n") + b"\r\n" for line in lines if line.strip(b"\r\n")]


def group_bursts(data: bytes, crlf: bool = True) -> List[Burst]:
    """Cut a recording into the bursts a receiver sends once per fix.

    A new burst starts at a timed sentence (GGA, RMC, GLL, ZDA, ...) whose time
    differs from the current burst's, or, when the time field is empty (no fix
    yet), at a timed sentence whose type the current burst already holds.
    Untimed sentences (GSV, GSA, proprietary ones) stay with the burst before them.
    """
    bursts: List[Burst] = []
    lines: List[bytes] = []
    current_time = None
    seen_tags = set()
    for line in split_lines(data, crlf):
        tag, stamp = _time_field(line)
        new = False
        if stamp == "empty":
            new = tag in seen_tags
        elif stamp is not None:
            new = (current_time is not None and abs(stamp - current_time) > 1e-6) or \
                  (current_time is None and tag in seen_tags)
        if new and lines:
            bursts.append(Burst(b"".join(lines), current_time))
            lines, current_time, seen_tags = [], None, set()
        if isinstance(stamp, float):
            current_time = stamp
        if stamp is not None:
            seen_tags.add(tag)
        lines.append(line)
    if lines:
        bursts.append(Burst(b"".join(lines), current_time))
    return bursts


def burst_pauses(bursts: Sequence[Burst], default: float = 1.0) -> List[float]:
    """Seconds to wait before each burst after the first: the difference of fix
    times where both are known and plausible (under 10 s), else default."""
    pauses = []
    for before, after in zip(bursts, bursts[1:]):
        pause = default
        if before.fix_time is not None and after.fix_time is not None:
            delta = (after.fix_time - before.fix_time) % 86400
            if 0 < delta <= 10:
                pause = delta
        pauses.append(pause)
    return pauses


# --- cutting -----------------------------------------------------------------------

def cut_inside_sentences(data: bytes, every: int = 1, rng: Optional[random.Random] = None,
                         offset: Optional[int] = None, counted: int = 0) -> List[bytes]:
    """Split data into pieces whose joins fall inside sentences.

    Every every-th sentence is cut once, strictly between its '$' and its line
    end: at offset bytes after the '$' when given (clamped into the sentence),
    else at a random place. counted sentences went before data (so that over
    many bursts every sentence type gets its turn); the first of them was cut.
    Joining the pieces gives the data back unchanged.
    """
    rng = rng or random.Random()
    cuts = []
    index = counted
    for match in re.finditer(rb"\$[^\r\n]*", data):
        start, end = match.start(), match.end()
        if end - start >= 2 and index % every == 0:
            inside = offset if offset is not None else rng.randint(1, end - start - 1)
            cuts.append(start + max(1, min(inside, end - start - 1)))
        index += 1
    pieces, last = [], 0
    for cut in cuts:
        pieces.append(data[last:cut])
        last = cut
    pieces.append(data[last:])
    return [piece for piece in pieces if piece]


# --- writing -----------------------------------------------------------------------

class Replayer:
    """Writes bursts to a file descriptor at their pace, optionally cut."""

    def __init__(self, fd: int, speed: float = 1.0, cut_every: int = 0, cut_pause: float = 0.3,
                 seed: Optional[int] = None, log=None) -> None:
        self.fd = fd
        self.speed = speed
        self.cut_every = cut_every
        self.cut_pause = cut_pause
        self.rng = random.Random(seed)
        self.log = log
        self.bytes_written = 0
        self.bursts_written = 0
        self.sentences_sent = 0

    def _write(self, data: bytes) -> None:
        view = memoryview(data)
        while view:
            try:
                count = os.write(self.fd, view)
            except BlockingIOError:
                select.select([], [self.fd], [], 0.5)
                continue
            view = view[count:]
            self.bytes_written += count

    def send_burst(self, data: bytes) -> None:
        if self.cut_every:
            pieces = cut_inside_sentences(data, self.cut_every, self.rng, counted=self.sentences_sent)
            self.sentences_sent += data.count(b"$")
        else:
            pieces = [data]
        for index, piece in enumerate(pieces):
            if index:
                time.sleep(self.cut_pause)
            self._write(piece)
        self.bursts_written += 1
        if self.log:
            gga = sum(1 for line in data.split(b"\n") if b"GPGGA" in line)
            self.log(f"burst {self.bursts_written}: {len(data)} bytes, {gga} GPGGA"
                     + (f", {len(pieces)} pieces" if len(pieces) > 1 else ""))

    def play(self, bursts: Sequence[Burst], default_pause: float = 1.0) -> None:
        pauses = burst_pauses(bursts, default_pause)
        next_time = time.monotonic()
        for index, burst in enumerate(bursts):
            if index:
                next_time += pauses[index - 1] / self.speed
                delay = next_time - time.monotonic()
                if delay > 0:
                    time.sleep(delay)
            self.send_burst(burst.data)

    def play_sentences(self, sentences: Iterable[bytes], rate: float) -> None:
        """One sentence a burst, rate bursts a second."""
        next_time = time.monotonic()
        for sentence in sentences:
            delay = next_time - time.monotonic()
            if delay > 0:
                time.sleep(delay)
            self.send_burst(sentence)
            next_time += 1.0 / rate


def wait_until_configured(fd: int, timeout: Optional[float] = None) -> bool:
    """Wait until the program at the far end changes the line settings (it opened
    and set up the port), so nothing is sent into a port nobody has opened yet."""
    initial = termios.tcgetattr(fd)
    end = None if timeout is None else time.monotonic() + timeout
    while end is None or time.monotonic() < end:
        if termios.tcgetattr(fd) != initial:
            return True
        time.sleep(0.05)
    return False


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("files", nargs="*", help="NMEA recordings to replay, in order")
    where = parser.add_mutually_exclusive_group()
    where.add_argument("--pty", action="store_true", help="make a pty and print the name of its far end")
    where.add_argument("--device", help="write to this tty or pty (the far end of a line)")
    where.add_argument("--stdout", action="store_true", help="write to standard output")
    parser.add_argument("--link", help="with --pty: also make this symbolic link to the far end")
    parser.add_argument("--generate", action="store_true", help="generate GPGGA sentences instead of replaying")
    parser.add_argument("--rate", type=float, default=1.0, help="generated sentences a second (default 1)")
    parser.add_argument("--count", type=int, help="generated sentences in all (default: endless)")
    parser.add_argument("--loop", action="store_true", help="replay the recordings over and over")
    parser.add_argument("--speed", type=float, default=1.0, help="replay this many times faster")
    parser.add_argument("--keep-line-ends", action="store_true",
                        help="replay line ends as recorded (default: CR LF)")
    parser.add_argument("--cut", type=int, default=0, metavar="N",
                        help="cut the write inside every N-th sentence (0: never)")
    parser.add_argument("--cut-pause", type=float, default=0.3,
                        help="seconds between the pieces of a cut write (default 0.3: a reader that polls "
                             "every 100 ms and ends a read after 100 ms of silence sees each piece alone)")
    parser.add_argument("--seed", type=int, help="seed for the cut positions")
    parser.add_argument("--wait-open", type=float, metavar="SECONDS", nargs="?", const=-1,
                        help="before sending, wait until the far end sets up the line")
    parser.add_argument("--hold", action="store_true",
                        help="keep the line open after the last burst, until Ctrl-C (a closed line is a lost receiver)")
    parser.add_argument("--make-sample", metavar="PATH", help="write a sample recording and exit")
    parser.add_argument("--quiet", action="store_true")
    args = parser.parse_args(argv)

    if args.make_sample:
        with open(args.make_sample, "wb") as sample:
            sample.write(sample_recording())
        return 0
    if not args.generate and not args.files:
        parser.error("give recordings to replay, or --generate")

    log = None if args.quiet else (lambda text: print(text, file=sys.stderr, flush=True))
    if args.pty:
        fd, slave = os.openpty()
        tty.setraw(slave)  # bytes pass unchanged; our copy of the far end keeps the line up
        name = os.ttyname(slave)
        if args.link:
            if os.path.islink(args.link):
                os.unlink(args.link)
            os.symlink(name, args.link)
        print(f"receiver end of the line: {name}" + (f" (linked as {args.link})" if args.link else ""),
              file=sys.stderr if args.stdout else sys.stdout, flush=True)
    elif args.device:
        fd = os.open(args.device, os.O_WRONLY | os.O_NOCTTY)
        if os.isatty(fd):
            tty.setraw(fd)
    else:
        fd = sys.stdout.fileno()

    if args.wait_open is not None and os.isatty(fd):
        if log:
            log("waiting for the far end to open the line ...")
        if not wait_until_configured(fd, None if args.wait_open < 0 else args.wait_open) and log:
            log("nobody set up the line; sending all the same")

    replayer = Replayer(fd, speed=args.speed, cut_every=args.cut, cut_pause=args.cut_pause,
                        seed=args.seed, log=log)
    try:
        if args.generate:
            replayer.play_sentences(generate_gga(args.count, step=1.0 / args.rate), args.rate)
        else:
            while True:
                for path in args.files:
                    with open(path, "rb") as recording:
                        replayer.play(group_bursts(recording.read(), crlf=not args.keep_line_ends))
                if not args.loop:
                    break
        if log:
            log(f"{replayer.bursts_written} bursts, {replayer.bytes_written} bytes")
        if args.hold:
            if log:
                log("holding the line open; Ctrl-C ends")
            while True:
                time.sleep(3600)
    except (KeyboardInterrupt, BrokenPipeError):
        if log:
            log(f"{replayer.bursts_written} bursts, {replayer.bytes_written} bytes")
    return 0


if __name__ == "__main__":
    sys.exit(main())
