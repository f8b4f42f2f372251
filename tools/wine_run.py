#!/usr/bin/env python3
"""Run one of the programs under Wine by hand, with its serial ports behind ptys.

Makes a Wine prefix (or reuses --prefix), declares each --port as a present
serial port with the name the system gives it, backs it with a pty and prints
where to attach the bench tools; optionally starts the host's TCP listener and
a stand-in host process; then runs the program with this terminal's standard
input and output, and ends with the program's exit code.

    wine_run.py --port COM3 --host-process host.exe Pantrel.exe host.exe zal2
        COM3 is "Communications Port (COM3)"; in another terminal:
        ptz_decode.py /dev/pts/N   (N as printed)
    wine_run.py --port COM3 --decode COM3 --host-process host.exe Pantrel.exe host.exe zal1
        the same, with the decoder's lines in this terminal
    wine_run.py --port bt:COM5 --listener --replay COM5=tools/data/sample-receiver.nmea Quillet.exe
        COM5 is "Standard Serial over Bluetooth link (COM5)"
    wine_run.py --port COM3=/dev/pts/7 ...
        COM3 is the far end of a pty some tool made (gps_replay.py --pty, ptz_decode.py --pty)
    wine_run.py Vistrel.exe

Port forms: COMn, bt:COMn (Bluetooth serial link), none:COMn (a port the
system does not list), each optionally =PATH of an existing pty.
"""

import argparse
import io
import os
import select
import shutil
import signal
import sys
import termios
import threading
import time
import tty
import unittest
from pathlib import Path

TOOLS = Path(__file__).resolve().parent
sys.path.insert(0, str(TOOLS.parent / "e2e"))
sys.path.insert(0, str(TOOLS))
import winetest  # noqa: E402
from gps_replay import Replayer, group_bursts, wait_until_configured  # noqa: E402
from host_listener import HostListener, printer  # noqa: E402
from ptz_decode import PtzDecoder, line_speed  # noqa: E402

BLUETOOTH_DEVICE = "{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0000"
_print_lock = threading.Lock()


def say(text: str) -> None:
    """One whole line at a time: the program's output, relays and listener interleave."""
    with _print_lock:
        print(text, flush=True)


class PortForm:
    def __init__(self, text: str) -> None:
        self.text = text
        form, _, self.path = text.partition("=")
        kind, _, name = form.rpartition(":")
        self.kind = (kind or "com").lower()
        if self.kind not in ("com", "bt", "none"):
            raise ValueError(f"port kind must be com, bt or none: {text}")
        name = name.upper()
        if not name.startswith("COM") or not name[3:].isdigit():
            raise ValueError(f"port name must be COMn: {text}")
        self.name = name
        self.number = int(name[3:])

    @property
    def friendly_name(self):
        if self.kind == "bt":
            return f"Standard Serial over Bluetooth link ({self.name})"
        if self.kind == "com":
            return f"Communications Port ({self.name})"
        return None


class Relay:
    """Joins the pty behind a COM port to a second pty that tools can open by
    name: bytes both ways, the line speed the program set mirrored."""

    def __init__(self, port: winetest.PtyPort, label: str, decode: bool) -> None:
        self.port = port
        self.label = label
        self.master, self.slave = os.openpty()
        tty.setraw(self.slave)  # held open, so the relay never sees the line hang up
        os.set_blocking(self.master, False)
        self.path = os.ttyname(self.slave)
        self.decoder = PtzDecoder() if decode else None
        self.dropped = 0
        self.origin = None
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run, daemon=True)
        self._thread.start()

    def _say(self, text: str) -> None:
        say(f"[{self.label}] {text}")

    def _decode(self, data: bytes, now: float) -> None:
        events = self.decoder.feed(data, now) if data else self.decoder.idle(now)
        for event in events:
            if self.origin is None:
                self.origin = event.time
            self._say(event.format(self.origin))

    def _run(self) -> None:
        speed = line_speed(self.port.master)  # the pty's own until the program sets one
        while not self._stop.is_set():
            current = line_speed(self.port.master)
            if current and current != speed:
                speed = current
                self._mirror_speed()
                self._say(f"line speed {speed} baud")
            ready, _, _ = select.select([self.port.master, self.master], [], [], 0.05)
            now = time.monotonic()
            if self.port.master in ready:
                data = self.port.read_available()
                if data:
                    try:
                        os.write(self.master, data)
                    except (BlockingIOError, OSError):
                        self.dropped += len(data)  # nobody reads the tools' end
                    if self.decoder:
                        self._decode(data, now)
            elif self.decoder:
                self._decode(b"", now)
            if self.master in ready:
                try:
                    data = os.read(self.master, 65536)
                except (BlockingIOError, OSError):
                    data = b""
                if data:
                    self.port.write(data)

    def _mirror_speed(self) -> None:
        try:
            program = termios.tcgetattr(self.port.master)
            tools = termios.tcgetattr(self.master)
            tools[4], tools[5] = program[4], program[5]
            termios.tcsetattr(self.master, termios.TCSANOW, tools)
        except termios.error:
            pass

    def close(self) -> None:
        self._stop.set()
        self._thread.join(timeout=2)
        for fd in (self.master, self.slave):
            try:
                os.close(fd)
            except OSError:
                pass


def copy_output(fd: int, process, encoding: str) -> None:
    """The program's standard output, line by line, as text of this terminal.
    The program's console writes CR LF and, for Pantrel's echo line, GBK bytes."""
    pending = b""
    ended_at = None
    while True:
        ready, _, _ = select.select([fd], [], [], 0.05)
        if ready:
            data = os.read(fd, 4096)
            if not data:
                break
            pending += data
            *lines, pending = pending.split(b"\n")
            for line in lines:
                say(line.rstrip(b"\r").decode(encoding, "replace"))
        elif process.poll() is not None:
            # Wine's services may hold the pipe open: stop soon after the program ends.
            ended_at = ended_at or time.monotonic()
            if time.monotonic() - ended_at > 0.3:
                break
    if pending:
        say(pending.rstrip(b"\r").decode(encoding, "replace"))


def feed_script(stream, commands, pace: float, delay: float) -> None:
    """Type the commands one a line, pace seconds apart, then end the input."""
    time.sleep(delay)
    try:
        for command in commands:
            say(f">>> {command}")
            stream.write(command.encode("latin-1") + b"\n")
            stream.flush()
            time.sleep(pace)
        stream.close()
    except (BrokenPipeError, OSError):
        pass


def link_existing_pty(wine: winetest.WinePrefix, number: int, path: str) -> None:
    link = wine.path / "dosdevices" / f"com{number}"
    if link.is_symlink() or link.exists():
        link.unlink()
    link.symlink_to(os.path.realpath(path))


def find_program(name: str, bin_dir: Path) -> Path:
    for candidate in (Path(name), bin_dir / name):
        if candidate.is_file():
            return candidate.resolve()
    raise SystemExit(f"no program {name} (looked here and in {bin_dir})")


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter,
                                     epilog=__doc__.split("\n\n", 1)[1])
    parser.add_argument("program", help="the .exe (a path, or a name in --bin)")
    parser.add_argument("args", nargs=argparse.REMAINDER, help="the program's arguments")
    parser.add_argument("--arch", choices=("win64", "win32"), default=os.environ.get("WINE_ARCH", "win64"))
    parser.add_argument("--bin", help="folder of the built .exe files (default: build/<arch>/bin)")
    parser.add_argument("--prefix", help="use (and keep) this Wine prefix instead of a fresh one")
    parser.add_argument("--port", action="append", default=[], metavar="FORM", help="a serial port, e.g. COM3, bt:COM5")
    parser.add_argument("--listener", action="store_true", help="run the host's TCP listener on 127.0.0.1:51234")
    parser.add_argument("--host-process", metavar="NAME", help="a process under this name stands in for the host")
    parser.add_argument("--decode", action="append", default=[], metavar="COMn",
                        help="print what a camera on this port would do")
    parser.add_argument("--replay", action="append", default=[], metavar="COMn=FILE",
                        help="a GPS receiver on this port replaying FILE once the program opens it")
    parser.add_argument("--loop", action="store_true", help="replay the recordings over and over")
    parser.add_argument("--cut", type=int, default=0, metavar="N", help="cut replayed writes inside every N-th sentence")
    parser.add_argument("--bluetooth-world", metavar="FILE",
                        help="run with the bench Bluetooth library (fake_bluetooth.dll) and this world file")
    parser.add_argument("--script", help="type these commands (blank-separated), one a line, then end the input")
    parser.add_argument("--pace", type=float, default=1.0, help="seconds between scripted commands (default 1)")
    parser.add_argument("--script-delay", type=float, default=2.0,
                        help="seconds from the program's start to the first scripted command")
    parser.add_argument("--output-encoding", default="gbk",
                        help="the program's output bytes, shown as text of this terminal (default gbk, "
                             "ASCII passes unchanged); 'raw' passes them untouched")
    parser.add_argument("--timeout", type=float, help="end the program after this many seconds")
    args = parser.parse_args(argv)

    bin_dir = Path(args.bin or TOOLS.parent / "build" / args.arch / "bin").resolve()
    os.environ["TOOLS_BIN_DIR"] = str(bin_dir)
    program = find_program(args.program, bin_dir)
    try:
        ports = [PortForm(text) for text in args.port]
    except ValueError as error:
        parser.error(str(error))
    by_name = {port.name: port for port in ports}
    for name in args.decode + [r.partition("=")[0] for r in args.replay]:
        if name.upper() not in by_name:
            parser.error(f"{name} is not one of the --port names")

    listener = None
    if args.listener:  # before the prefix: fail at once when the port is taken
        show = printer(out=io.StringIO())

        def on_payload(*payload, show=show):
            show(*payload)
            say(show.out.getvalue().rstrip("\n"))
            show.out.seek(0)
            show.out.truncate()

        try:
            listener = HostListener(on_payload=on_payload)
        except OSError as error:
            print(f"cannot listen on 127.0.0.1:51234 ({error}); is another host listener running?",
                  file=sys.stderr)
            return 2

    print(f"Wine prefix ({args.arch}) ...", flush=True)
    try:
        wine = winetest.WinePrefix(args.arch, path=args.prefix)
    except unittest.SkipTest as reason:
        print(f"cannot run: {reason}", file=sys.stderr)
        if listener:
            listener.close()
        return 125
    relays, threads = [], []
    code = None
    read_end = None
    try:
        print(f"  prefix {wine.path}")
        if listener:
            print("  host listener on 127.0.0.1:51234")
        pty_ports = {}
        for port in ports:
            if port.friendly_name:
                if port.kind == "bt":
                    wine.declare_port(port.friendly_name, enumerator="BTHENUM", device=BLUETOOTH_DEVICE,
                                      instance=str(port.number))
                else:
                    wine.declare_port(port.friendly_name)
            declared = f'"{port.friendly_name}"' if port.friendly_name else "not listed by the system"
            if port.path:
                link_existing_pty(wine, port.number, port.path)
                print(f"  {port.name}: {declared}, the pty {port.path}")
                continue
            pty_port = wine.make_com_port(port.number)
            pty_ports[port.name] = pty_port
            relay = Relay(pty_port, port.name, decode=port.name in [d.upper() for d in args.decode])
            relays.append(relay)
            print(f"  {port.name}: {declared}; attach a tool to {relay.path}")

        for entry in args.replay:
            name, _, files = entry.partition("=")
            port = pty_ports.get(name.upper())
            if port is None:
                parser.error(f"--replay needs a port made here, not a given pty: {name}")
            bursts = [b for path in files.split(",") for b in group_bursts(Path(path).read_bytes())]

            def replay(port=port, bursts=bursts, label=name.upper()):
                wait_until_configured(port.master)
                print(f"[{label}] replaying {len(bursts)} bursts", flush=True)
                replayer = Replayer(port.master, cut_every=args.cut)
                try:
                    while True:
                        replayer.play(bursts)
                        if not args.loop:
                            break
                except OSError:  # the line was closed at the end of the run
                    return
                print(f"[{label}] replay done: {replayer.bytes_written} bytes", flush=True)

            threads.append(threading.Thread(target=replay, daemon=True))

        if args.host_process:
            wine.start_sleeper(args.host_process)
            print(f"  host process {args.host_process} running")

        extra_env = {}
        if args.bluetooth_world:
            # The program loads the Bluetooth library from its own folder first.
            folder = wine.drive_c / "bench"
            folder.mkdir(exist_ok=True)
            shutil.copyfile(program, folder / program.name)
            shutil.copyfile(bin_dir / "fake_bluetooth.dll", folder / "irprops.cpl")
            program = folder / program.name
            extra_env = {"WINEDLLOVERRIDES": wine.env["WINEDLLOVERRIDES"] + ";irprops.cpl=n",
                         "FAKE_BLUETOOTH_WORLD": wine.windows_path(Path(args.bluetooth_world))}
            print(f"  Bluetooth world {args.bluetooth_world}")

        for thread in threads:
            thread.start()
        print(f"running {program.name} {' '.join(args.args)}", flush=True)
        stdin = winetest.subprocess.PIPE if args.script else sys.stdin
        raw = args.output_encoding == "raw"
        read_end = write_end = None
        if not raw:
            read_end, write_end = os.pipe()
        process = wine.start(program, args.args, stdin=stdin, stdout=sys.stdout if raw else write_end,
                             stderr=sys.stderr, extra_env=extra_env)
        if write_end is not None:
            os.close(write_end)
            output = threading.Thread(target=copy_output, args=(read_end, process, args.output_encoding),
                                      daemon=True)
            output.start()
        if args.script:
            threading.Thread(target=feed_script, daemon=True,
                             args=(process.stdin, args.script.split(), args.pace, args.script_delay)).start()
        try:
            code = process.wait(timeout=args.timeout)
        except winetest.subprocess.TimeoutExpired:
            process.send_signal(signal.SIGKILL)
            process.wait()
            print(f"\n{program.name} ended after the {args.timeout} s time-out")
        except KeyboardInterrupt:
            process.kill()
            process.wait()
        time.sleep(0.3)  # the last frames through the relays
        if read_end is not None:
            output.join(timeout=2)
        if code is not None:
            print(f"\n{program.name} exit code {code}")
    finally:
        for relay in relays:
            relay.close()
            if relay.dropped:
                print(f"  ({relay.dropped} bytes from {relay.label} were not read by any tool)")
        if listener:
            listener.close()
            print(f"host listener: {listener.stats.summary()}")
        wine.close()
    return code if code is not None else 1


if __name__ == "__main__":
    sys.exit(main())
