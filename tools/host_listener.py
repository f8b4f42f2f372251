#!/usr/bin/env python3
"""The host's side of the GPS bridge: a TCP listener on 127.0.0.1:51234.

Prints every payload received, with its time of arrival and the running byte
count; GPGGA lines show as text, the two fatal reports by name:

    12:00:01.104  #1  +72 bytes = 72    $GPGGA,120001.00,4807.0380,N,...*4F  (LF)
    12:00:05.310  #1  +15 bytes = 87    FATAL "Open com fail": the receiver's port did not open; exit status 4

    host_listener.py                     until Ctrl-C
    host_listener.py --duration 30       then print a summary
    host_listener.py --until-fatal       end after the first fatal report (exit code 3 or 4, as the bridge's)

Importable: HostListener(on_payload=...) and describe_payload(bytes).
"""

import argparse
import socket
import sys
import threading
import time
from dataclasses import dataclass, field
from typing import Callable, List, Optional, Tuple

HOST_ADDRESS = ("127.0.0.1", 51234)

# The bridge's fatal reports: a text padded with zero bytes to 15 bytes.
FATAL_REPORTS = {
    b"None buletooth": (3, "no Bluetooth radio on the machine"),
    b"Open com fail": (4, "the receiver's port did not open"),
}
FATAL_LENGTH = 15


@dataclass
class Item:
    """One piece of a payload: kind is "gga" (a line holding GPGGA), "cut"
    (a GPGGA piece without line end, cut by a read), "fatal", or "other"."""
    kind: str
    data: bytes
    name: str = ""
    exit_status: Optional[int] = None

    def describe(self) -> str:
        if self.kind == "fatal":
            why = FATAL_REPORTS[self.name.encode()][1]
            return f'FATAL "{self.name}": {why}; exit status {self.exit_status}'
        text = self.data.rstrip(b"\n").decode("latin-1")
        if self.kind == "gga":
            return f"{text}  (LF)"
        if self.kind == "cut":
            return f"{text}  (no line end: cut by a read)"
        return f"unexpected: {self.data!r}"


def describe_payload(data: bytes) -> List[Item]:
    """Split what one receive returned into the items the bridge sends: lines
    ending in LF, fatal reports, and pieces without line end."""
    items: List[Item] = []
    rest = data
    while rest:
        fatal = _fatal_at_start(rest)
        if fatal:
            name, length = fatal
            status = FATAL_REPORTS[name][0]
            items.append(Item("fatal", rest[:length], name.decode(), status))
            rest = rest[length:]
            continue
        end = rest.find(b"\n")
        line, rest = (rest, b"") if end < 0 else (rest[:end + 1], rest[end + 1:])
        # A fatal report may follow a cut piece in the same receive.
        starts = [at for at in (line.find(name) for name in FATAL_REPORTS) if at > 0]
        if starts:
            rest = line[min(starts):] + rest
            line = line[:min(starts)]
        # A cut piece is followed directly by the next line: split at its '$'.
        while True:
            nested = line.find(b"$", 1)
            if nested < 0:
                break
            items.append(_classify(line[:nested]))
            line = line[nested:]
        items.append(_classify(line))
    return items


def _fatal_at_start(data: bytes) -> Optional[Tuple[bytes, int]]:
    for name in FATAL_REPORTS:
        if data.startswith(name):
            length = len(name)
            while length < min(len(data), FATAL_LENGTH) and data[length] == 0:
                length += 1
            return name, length
    return None


def _classify(piece: bytes) -> Item:
    if b"GPGGA" in piece:
        return Item("gga" if piece.endswith(b"\n") else "cut", piece)
    return Item("other", piece)


@dataclass
class Stats:
    connections: int = 0
    payloads: int = 0
    bytes: int = 0
    gga_lines: int = 0
    cut_pieces: int = 0
    fatal: List[str] = field(default_factory=list)
    other: int = 0

    def summary(self) -> str:
        text = (f"{self.connections} connection(s), {self.payloads} payload(s), {self.bytes} bytes: "
                f"{self.gga_lines} GPGGA line(s), {self.cut_pieces} cut piece(s), "
                f"{self.other} other piece(s)")
        if self.fatal:
            text += ", fatal: " + ", ".join(f'"{name}"' for name in self.fatal)
        return text


class HostListener:
    """Accepts connections on 127.0.0.1:51234 and hands each payload to
    on_payload(connection number, arrival time (time.time()), bytes, items)."""

    def __init__(self, address=HOST_ADDRESS,
                 on_payload: Optional[Callable[[int, float, bytes, List[Item]], None]] = None) -> None:
        self.address = address
        self.on_payload = on_payload
        self.stats = Stats()
        self.fatal_event = threading.Event()
        self._lock = threading.Lock()
        self._server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self._server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self._server.bind(address)
        self.address = self._server.getsockname()  # the real port when 0 was asked for
        self._server.listen(8)
        self._closed = False
        self._thread = threading.Thread(target=self._accept, daemon=True)
        self._thread.start()

    def _accept(self) -> None:
        while not self._closed:
            try:
                connection, _ = self._server.accept()
            except OSError:
                return
            with self._lock:
                self.stats.connections += 1
                number = self.stats.connections
            threading.Thread(target=self._receive, args=(connection, number), daemon=True).start()

    def _receive(self, connection: socket.socket, number: int) -> None:
        with connection:
            while True:
                try:
                    data = connection.recv(65536)
                except OSError:
                    return
                if not data:
                    return
                arrival = time.time()
                items = describe_payload(data)
                with self._lock:
                    stats = self.stats
                    stats.payloads += 1
                    stats.bytes += len(data)
                    for item in items:
                        if item.kind == "gga":
                            stats.gga_lines += 1
                        elif item.kind == "cut":
                            stats.cut_pieces += 1
                        elif item.kind == "fatal":
                            stats.fatal.append(item.name)
                        else:
                            stats.other += 1
                    if self.on_payload:
                        self.on_payload(number, arrival, data, items)
                if any(item.kind == "fatal" for item in items):
                    self.fatal_event.set()

    def fatal_status(self) -> Optional[int]:
        """The exit status the first fatal report announced, if any."""
        with self._lock:
            if not self.stats.fatal:
                return None
            return FATAL_REPORTS[self.stats.fatal[0].encode()][0]

    def close(self) -> None:
        self._closed = True
        # Shut down first: a plain close leaves the port listening while the
        # accept thread is still blocked in accept().
        try:
            self._server.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        try:
            self._server.close()
        except OSError:
            pass
        self._thread.join(timeout=5)


def printer(out=None, show_hex: bool = False):
    """An on_payload callback that prints each payload as shown in this file's help."""
    total = [0]

    def on_payload(number: int, arrival: float, data: bytes, items: List[Item]) -> None:
        total[0] += len(data)
        stamp = time.strftime("%H:%M:%S", time.localtime(arrival)) + f".{int(arrival * 1000) % 1000:03d}"
        head = f"{stamp}  #{number}  +{len(data)} bytes = {total[0]:<6}"
        stream = out or sys.stdout
        for index, item in enumerate(items):
            print(f"{head if index == 0 else ' ' * len(head)}  {item.describe()}", file=stream)
        if show_hex:
            print(f"{' ' * len(head)}  {data.hex(' ').upper()}", file=stream)
        stream.flush()

    on_payload.out = out
    return on_payload


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--port", type=int, default=HOST_ADDRESS[1])
    parser.add_argument("--address", default=HOST_ADDRESS[0])
    parser.add_argument("--duration", type=float, help="listen this many seconds, then print a summary")
    parser.add_argument("--until-fatal", action="store_true",
                        help="end after the first fatal report, with its exit status")
    parser.add_argument("--hex", action="store_true", help="also print each payload in hexadecimal")
    args = parser.parse_args(argv)

    try:
        listener = HostListener((args.address, args.port), printer(show_hex=args.hex))
    except OSError as error:
        print(f"cannot listen on {args.address}:{args.port}: {error}", file=sys.stderr)
        return 2
    print(f"listening on {args.address}:{args.port}", flush=True)
    end = None if args.duration is None else time.monotonic() + args.duration
    try:
        while end is None or time.monotonic() < end:
            if listener.fatal_event.wait(0.1) and args.until_fatal:
                time.sleep(0.2)  # let the rest of that connection arrive
                break
    except KeyboardInterrupt:
        pass
    listener.close()
    print(listener.stats.summary(), flush=True)
    return (listener.fatal_status() or 0) if args.until_fatal else 0


if __name__ == "__main__":
    sys.exit(main())
