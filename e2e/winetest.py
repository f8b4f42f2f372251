"""Harness for running the real Windows programs under Wine.

One fresh Wine prefix per test run (null graphics driver, no crash dialog, a
persistent wineserver with muted stderr), COM ports backed by ptys, present
Ports-class devices declared in the registry, sleeper processes under a chosen
executable name, and the host's TCP listener on 127.0.0.1:51234.

Environment read:
  TOOLS_BIN_DIR  folder holding the built .exe files (Pantrel.exe, e2e_sleeper.exe, ...)
  WINE_ARCH      win32 or win64, the bitness of those .exe files
"""

import os
import shutil
import socket
import subprocess
import tempfile
import termios
import threading
import time
import tty
import unittest
from pathlib import Path

PORTS_CLASS_GUID = "{4D36E978-E325-11CE-BFC1-08002BE10318}"
HOST_ADDRESS = ("127.0.0.1", 51234)


def bin_dir() -> Path:
    return Path(os.environ.get("TOOLS_BIN_DIR", ".")).resolve()


def wine_arch() -> str:
    return os.environ.get("WINE_ARCH", "win64")


def exe(name: str) -> Path:
    return bin_dir() / name


def _wine_loader(arch: str) -> str:
    # Debian's /usr/bin/wine picks the loader itself; call the right one directly
    # so a 64-bit prefix never depends on the 32-bit loader.
    name = "wine64" if arch == "win64" else "wine"
    for candidate in (f"/usr/lib/wine/{name}", shutil.which(name)):
        if candidate and os.path.exists(candidate):
            return candidate
    raise unittest.SkipTest(f"no Wine loader for {arch}")


def _wineserver() -> str:
    for candidate in ("/usr/lib/wine/wineserver", shutil.which("wineserver")):
        if candidate and os.path.exists(candidate):
            return candidate
    raise unittest.SkipTest("no wineserver")


def _reg_quote(text: str) -> str:
    return text.replace("\\", "\\\\").replace('"', '\\"')


class PtyPort:
    """One end of a COM port: the test reads and writes the pty master."""

    def __init__(self) -> None:
        self.master, self.slave = os.openpty()
        # Raw from the start: no echo, no line-end translation of the program's bytes.
        tty.setraw(self.slave)
        os.set_blocking(self.master, False)
        self.slave_path = os.ttyname(self.slave)

    def write(self, data: bytes) -> None:
        view = memoryview(data)
        while view:
            try:
                written = os.write(self.master, view)
                view = view[written:]
            except BlockingIOError:
                time.sleep(0.001)

    def read_available(self) -> bytes:
        chunks = []
        while True:
            try:
                chunk = os.read(self.master, 65536)
            except (BlockingIOError, OSError):
                break
            if not chunk:
                break
            chunks.append(chunk)
        return b"".join(chunks)

    def read_timed(self, duration: float):
        """Everything that arrives within duration seconds, as (time, bytes) pieces."""
        pieces = []
        end = time.monotonic() + duration
        while time.monotonic() < end:
            data = self.read_available()
            if data:
                pieces.append((time.monotonic(), data))
            else:
                time.sleep(0.001)
        return pieces

    def read_until(self, count: int, timeout: float) -> bytes:
        data = b""
        end = time.monotonic() + timeout
        while len(data) < count and time.monotonic() < end:
            more = self.read_available()
            if more:
                data += more
            else:
                time.sleep(0.002)
        return data

    def speed(self) -> int:
        """The line speed the program set, in baud."""
        attrs = termios.tcgetattr(self.master)
        codes = {getattr(termios, f"B{n}"): n for n in (
            300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400)}
        return codes.get(attrs[5], -1)

    def close(self) -> None:
        for fd in (self.master, self.slave):
            try:
                os.close(fd)
            except OSError:
                pass


class WinePrefix:
    """A fresh prefix for one test class; close() ends its wineserver and removes it.
    With path, that prefix is used (made there when missing) and kept by close()."""

    def __init__(self, arch: str = None, path=None) -> None:
        self.arch = arch or wine_arch()
        self.loader = _wine_loader(self.arch)
        self.server = _wineserver()
        self.root = Path(tempfile.mkdtemp(prefix=f"wine-{self.arch}-"))
        self.path = Path(path).resolve() if path else self.root / "prefix"
        self.env = dict(os.environ)
        self.env.update({
            "WINEPREFIX": str(self.path),
            "WINEARCH": self.arch,
            "WINEDEBUG": "-all",
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
        })
        self.env.pop("DISPLAY", None)
        self._server_process = None
        self._processes = []
        self._ports = []
        self._boot()

    @property
    def drive_c(self) -> Path:
        return self.path / "drive_c"

    def _quiet(self, args, timeout=180):
        return subprocess.run(args, env=self.env, stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=timeout)

    def _boot(self) -> None:
        if not (self.path / "system.reg").exists():
            try:
                self._quiet([self.loader, "wineboot", "-i"], timeout=600)
                # The registry files appear when the server saves them at its exit.
                self._quiet([self.server, "-w"])
            except (subprocess.TimeoutExpired, OSError):
                # OSError: the loader itself cannot be executed (a 32-bit program
                # on a kernel that refuses those).
                if self.arch == "win64":
                    raise
        if not (self.path / "system.reg").exists():
            # The 32-bit loader is a 32-bit Linux program; some kernels refuse to run those.
            raise unittest.SkipTest(f"Wine cannot start a {self.arch} prefix on this machine")
        self.import_registry([
            "[HKEY_CURRENT_USER\\Software\\Wine\\Drivers]",
            '"Graphics"="null"',
            "",
            "[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]",
            '"ShowCrashDialog"=dword:00000000',
        ])
        # The graphics driver is read when the server starts: restart it, and keep
        # it running for the whole class so each program starts quickly.
        self._quiet([self.server, "-k"])
        self._quiet([self.server, "-w"])
        self._server_process = subprocess.Popen(
            [self.server, "-p", "-f"], env=self.env, stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(0.5)

    def import_registry(self, lines) -> None:
        text = "Windows Registry Editor Version 5.00\r\n\r\n" + "\r\n".join(lines) + "\r\n"
        reg_file = self.root / "import.reg"
        reg_file.write_bytes(b"\xff\xfe" + text.encode("utf-16-le"))
        self._quiet([self.loader, "regedit", "/S", str(reg_file)])

    def declare_port(self, friendly_name: str, enumerator="ACPI", device="PNP0501",
                     instance=None) -> None:
        """A present Ports-class device with the given friendly name."""
        instance = instance or f"{len(self._ports) + 1}"
        key = f"HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\{enumerator}\\{device}\\{instance}"
        self.import_registry([
            f"[{key}]",
            f'"ClassGUID"="{PORTS_CLASS_GUID}"',
            f'"FriendlyName"="{_reg_quote(friendly_name)}"',
        ])
        self._ports.append(key)

    def make_com_port(self, number: int) -> PtyPort:
        """COMn backed by a fresh pty; the test holds the master."""
        port = PtyPort()
        link = self.path / "dosdevices" / f"com{number}"
        if link.is_symlink() or link.exists():
            link.unlink()
        link.symlink_to(port.slave_path)
        self._opened_ports = getattr(self, "_opened_ports", []) + [port]
        return port

    def windows_path(self, path: Path) -> str:
        return "Z:" + str(Path(path).resolve()).replace("/", "\\")

    def start(self, program, args=(), stdin=subprocess.DEVNULL, stdout=None, stderr=None,
              extra_env=None) -> subprocess.Popen:
        """Start a program under Wine. Output goes to files (Wine's services would
        inherit pipes and hold them open)."""
        env = dict(self.env)
        if extra_env:
            env.update(extra_env)
        process = subprocess.Popen([self.loader, str(program), *args], env=env, stdin=stdin,
                                   stdout=stdout or subprocess.DEVNULL,
                                   stderr=stderr or subprocess.DEVNULL)
        self._processes.append(process)
        return process

    def run(self, program, args=(), input_bytes: bytes = b"", timeout: float = 60,
            extra_env=None):
        """Run to the end; returns (exit code, stdout bytes, stderr bytes)."""
        out_path = self.root / "stdout.bin"
        err_path = self.root / "stderr.bin"
        in_path = self.root / "stdin.bin"
        in_path.write_bytes(input_bytes)
        with open(in_path, "rb") as fin, open(out_path, "wb") as fout, open(err_path, "wb") as ferr:
            process = self.start(program, args, stdin=fin, stdout=fout, stderr=ferr,
                                 extra_env=extra_env)
            code = process.wait(timeout=timeout)
        return code, out_path.read_bytes(), err_path.read_bytes()

    def start_sleeper(self, exe_name: str) -> subprocess.Popen:
        """A process that shows in the system's process list as exe_name."""
        target = self.drive_c / exe_name
        shutil.copyfile(exe("e2e_sleeper.exe"), target)
        process = self.start(target)
        time.sleep(1.0)
        return process

    def close(self) -> None:
        for process in self._processes:
            if process.poll() is None:
                process.kill()
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    pass
        self._quiet([self.server, "-k"], timeout=30)
        if self._server_process:
            try:
                self._server_process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self._server_process.kill()
        for port in getattr(self, "_opened_ports", []):
            port.close()
        shutil.rmtree(self.root, ignore_errors=True)


class HostListener:
    """The host's side of the TCP link: accepts connections on 127.0.0.1:51234
    and keeps every byte received, with the time it arrived."""

    def __init__(self, address=HOST_ADDRESS, wait: float = 120.0) -> None:
        self._server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self._server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        # The port is fixed; another run (a benchmark, say) may hold it for a while.
        deadline = time.monotonic() + wait
        while True:
            try:
                self._server.bind(address)
                break
            except OSError:
                if time.monotonic() > deadline:
                    self._server.close()
                    raise
                time.sleep(1)
        self._server.listen(8)
        self._lock = threading.Lock()
        self.pieces = []  # (time, bytes)
        self.connections = 0
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
                self.connections += 1
            threading.Thread(target=self._receive, args=(connection,), daemon=True).start()

    def _receive(self, connection) -> None:
        with connection:
            while True:
                try:
                    data = connection.recv(65536)
                except OSError:
                    return
                if not data:
                    return
                with self._lock:
                    self.pieces.append((time.monotonic(), data))

    def received(self) -> bytes:
        with self._lock:
            return b"".join(data for _, data in self.pieces)

    def wait_for(self, predicate, timeout: float) -> bytes:
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            data = self.received()
            if predicate(data):
                return data
            time.sleep(0.02)
        return self.received()

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
