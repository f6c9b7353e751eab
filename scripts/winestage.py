"""What the Wine stages share: a Wine prefix and its session, simulated detectors on COM ports,
the pdftotext relay, a virtual screen and its screenshots, named checks, and the clean-up that
ends everything a stage started, whichever way the stage ends.

Safety: the only COM links a stage opens are the ones it makes here. Wine maps the machine's own
serial ports to COM names as well, the console (/dev/ttyS0) among them; a stage never lists or
opens those, and one Wine process holds the session open from start to end, so that Wine never
lays them out again in place of a simulated detector.

Failures of the set-up raise StageError, which ends the stage with its exit status; a failed
check is recorded by Checks and the stage runs on, as an operator's list of faults is worth more
than the first one alone.
"""

from __future__ import annotations

import contextlib
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
from collections.abc import Callable, Iterator, Sequence
from pathlib import Path
from types import FrameType

ROOT = Path(__file__).resolve().parent.parent
CROSS = ROOT / "build-windows"
# The system's list of serial ports, which the program's search reads as Windows' own.
SERIAL_PORTS = r"HKLM\HARDWARE\DEVICEMAP\SERIALCOMM"
SIM_PORT_VALUE = r"\Device\KvzSim0"
INTERRUPTED = 130


class StageError(Exception):
    """The stage cannot go on: its message goes to stderr and the stage exits with `status`."""

    def __init__(self, message: str, status: int = 1) -> None:
        super().__init__(message)
        self.status = status


def step(text: str) -> None:
    """The progress line every stage prints, so that a CI log shows where a run stopped."""
    print(f"== {text}", flush=True)


def wait_for(seconds: float, condition: Callable[[], bool], interval: float = 0.1) -> bool:
    """True once `condition` holds. Limits are generous: Wine's first start in a new prefix takes
    long on a loaded machine."""
    deadline = time.monotonic() + seconds
    while True:
        if condition():
            return True
        if time.monotonic() >= deadline:
            return False
        time.sleep(interval)


def run(command: Sequence[str | Path], *, output: Path | None = None) -> int:
    """Runs a command quietly and returns its exit status. Its output goes to a file or nowhere,
    never to a pipe read here: a Wine process may hand the pipe on to a service that outlives it,
    and the read would then wait for that service's end."""
    with open(output or os.devnull, "wb") as out:
        return subprocess.run([str(c) for c in command], stdin=subprocess.DEVNULL,
                              stdout=out, stderr=subprocess.DEVNULL).returncode


def must(command: Sequence[str | Path], *, output: Path | None = None) -> None:
    """Runs a command the stage cannot go on without; its exit status becomes the stage's."""
    status = run(command, output=output)
    if status != 0:
        raise StageError(f"{' '.join(str(c) for c in command)} exited with {status}", status)


def run_visible(command: Sequence[str | Path]) -> None:
    """A build step whose output belongs in the log, and whose failure ends the stage."""
    status = subprocess.run([str(c) for c in command]).returncode
    if status != 0:
        raise StageError(f"{' '.join(str(c) for c in command)} exited with {status}", status)


def windows_path(path: Path) -> str:
    """The path as a Wine program names it: Linux's root is drive Z:."""
    return "Z:" + str(path).replace("/", "\\")


def build_native_tool(native: Path, *targets: str, quiet: bool = False) -> None:
    """Brings the Linux programs a stage runs up to date in the native build: a stale simulator
    would test the Windows program against yesterday's detector."""
    command = ["bash", str(ROOT / "scripts/native-tools.sh"), str(native), *targets]
    if quiet:
        must(command)
    else:
        run_visible(command)


class Fifo:
    """A named pipe whose write end is held here, so that a reader never sees its end while
    the stage runs, however many others open, write and close it meanwhile."""

    def __init__(self, path: Path) -> None:
        self.path = path
        os.mkfifo(path)
        # Opening either end alone waits for the other: the read end opens without waiting and
        # blocks again once the write end is there, so that its reader waits for lines.
        self._read = os.open(path, os.O_RDONLY | os.O_NONBLOCK)
        self._write: int | None = os.open(path, os.O_WRONLY)
        os.set_blocking(self._read, True)

    def take_read_end(self) -> int:
        """The read end, for a child process or a thread to own from now on."""
        fd, self._read = self._read, -1
        return fd

    def write_line(self, line: str) -> None:
        if self._write is None:
            raise StageError(f"{self.path} is closed")
        os.write(self._write, (line + "\n").encode())

    def close(self) -> None:
        """The reader sees the end of its input."""
        if self._read >= 0:
            os.close(self._read)
            self._read = -1
        if self._write is not None:
            os.close(self._write)
            self._write = None


def end_process(process: subprocess.Popen[bytes], *, grace: float = 10) -> None:
    """Ends a child of the stage: asked first, killed when it does not listen."""
    if process.poll() is None:
        process.terminate()
    try:
        process.wait(grace)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


class Stage:
    """A stage's scratch folder and everything it starts, ended in a fixed order however the
    stage ends. Wine goes first: a simulator or relay ending under a running server made it dump
    its whole object table into the log."""

    def __init__(self, name: str) -> None:
        self.name = name
        self.work = Path(tempfile.mkdtemp(prefix=f"kvz03-{name}.", dir="/tmp"))
        self.wine: WineSession | None = None
        self.others = contextlib.ExitStack()

    def __enter__(self) -> Stage:
        return self

    def __exit__(self, *exc: object) -> None:
        # A second Ctrl-C must not cut the clean-up short and leave a server or Xvfb behind.
        for signum in (signal.SIGINT, signal.SIGTERM):
            signal.signal(signum, signal.SIG_IGN)
        try:
            if self.wine is not None:
                self.wine.close()
            self.others.close()
        finally:
            shutil.rmtree(self.work, ignore_errors=True)

    def start_wine(self, prefix: Path, *, server_log: Path | None = None) -> WineSession:
        """The Wine session of the stage, ended before anything else it started."""
        self.wine = WineSession(prefix, self.work)
        self.wine.start(server_log)
        return self.wine


def configure_wine(prefix: Path, *, unset: Sequence[str]) -> None:
    """The environment every Wine command of the stage inherits. Wine's .NET and HTML engines
    are not wanted: each would offer an install dialogue into a prefix nobody looks at."""
    os.environ["WINEPREFIX"] = str(prefix)
    os.environ["WINEDEBUG"] = "-all"
    os.environ["WINEDLLOVERRIDES"] = "mscoree,mshtml="
    for name in unset:
        os.environ.pop(name, None)


def create_prefix(prefix: Path) -> None:
    """A new Wine prefix, its first start (the longest) over before the stage times anything."""
    prefix.mkdir(parents=True, exist_ok=True)
    must(["wineboot", "--init"])
    must(["wineserver", "--wait"])


def set_windows_version(version: str) -> None:
    """Debian's Wine poses as Windows 7 by default, which the installer refuses."""
    must(["wine", "reg", "add", r"HKCU\Software\Wine", "/v", "Version", "/d", version, "/f"])


def fresh_session(stage: Stage, *, server_log: Path | None = None) -> WineSession:
    """A fresh prefix in the stage's folder posing as Windows 10, its session held open, with
    none of the machine's COM links."""
    prefix = stage.work / "prefix"
    configure_wine(prefix, unset=["WAYLAND_DISPLAY", "QT_QPA_PLATFORM"])
    step(f"fresh Wine prefix {prefix}")
    create_prefix(prefix)
    wine = stage.start_wine(prefix, server_log=server_log)
    # The first command returns once the session's services run: the device manager has laid out
    # its COM links and the registry port list by then, and the links are replaced below.
    set_windows_version("win10")
    wine.remove_com_links()
    return wine


class WineSession:
    """The prefix's Wine server, started here with a persistence of five seconds, and one Wine
    process (`cmd /c pause` on a named pipe that never delivers) holding the session open to
    the end. Whenever the last Wine process ends, Wine stops the session's services and the next
    process starts them anew: the device manager then lays out the machine's own serial ports
    again, the console among them as COM1, in place of a simulated detector. Holding the session
    also spares every test Wine's start-up, some 2.5 s."""

    def __init__(self, prefix: Path, work: Path) -> None:
        self.prefix = prefix
        self.work = work
        self.server_started = False
        self.idle_in: Fifo | None = None
        self.idle: subprocess.Popen[bytes] | None = None
        self.launched: list[subprocess.Popen[bytes]] = []

    def start(self, server_log: Path | None) -> None:
        with open(server_log or os.devnull, "wb") as log:
            status = subprocess.run(["wineserver", "-p5"], stdin=subprocess.DEVNULL,
                                    stderr=log if server_log else None).returncode
        if status != 0:
            raise StageError(f"wineserver -p5 exited with {status}", status)
        self.server_started = True
        self.idle_in = Fifo(self.work / "idle.in")
        idle_read = self.idle_in.take_read_end()
        self.idle = subprocess.Popen(["wine", "cmd", "/c", "pause"], stdin=idle_read,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(idle_read)

    def wait_for_services(self) -> None:
        """Returns once the session's services run, so that the device manager has laid out its
        own COM links before the stage makes its own."""
        must(["wine", "cmd", "/c", "exit"])

    def launch(self, command: Sequence[str | Path], *, cwd: Path, log: Path) -> None:
        """A program left running, its output appended to `log`; the server ends it on exit."""
        with open(log, "ab") as out:
            self.launched.append(subprocess.Popen(
                [str(c) for c in command], cwd=cwd, stdin=subprocess.DEVNULL, stdout=out,
                stderr=subprocess.STDOUT))

    def output(self, command: Sequence[str | Path]) -> tuple[int, str]:
        """A Wine command's exit status and output, read through a file (see run)."""
        file = self.work / "wine-output.txt"
        status = run(command, output=file)
        return status, file.read_text(encoding="utf-8", errors="replace")

    def remove_com_links(self) -> None:
        """Wine's links of the machine's own serial ports go, lest anything open the console."""
        for link in (self.prefix / "dosdevices").glob("com*"):
            if link.is_symlink():
                link.unlink()

    def foreign_com_links(self, mine: Sequence[str]) -> list[str]:
        """COM links in the prefix that the stage did not make."""
        return sorted(link.name for link in (self.prefix / "dosdevices").glob("com*")
                      if link.name not in mine)

    def list_only_simulated_port(self, com: str) -> None:
        """The registry's port list names only the simulated detector. The key is missing when
        Wine found no serial port on this machine: nothing to empty then. It is volatile, so
        only its values go: a key made anew by reg would not be."""
        if run(["wine", "reg", "query", SERIAL_PORTS]) == 0:
            must(["wine", "reg", "delete", SERIAL_PORTS, "/va", "/f"])
        self.plug_port(com)

    def plug_port(self, com: str) -> None:
        must(["wine", "reg", "add", SERIAL_PORTS, "/v", SIM_PORT_VALUE, "/t", "REG_SZ", "/d", com,
              "/f"])

    def unplug_port(self) -> None:
        """As Windows does with a USB adapter, the port leaves the system's list with it."""
        must(["wine", "reg", "delete", SERIAL_PORTS, "/v", SIM_PORT_VALUE, "/f"])

    def running(self, image: str) -> bool:
        """Whether a process of this prefix runs `image`: others' Wine runs on the same machine
        (CI, other checks) are not this stage's business."""
        for proc in Path("/proc").iterdir():
            if not proc.name.isdigit():
                continue
            try:
                cmdline = (proc / "cmdline").read_bytes()
                if image.encode() not in cmdline:
                    continue
                environ = (proc / "environ").read_bytes().split(b"\0")
            except OSError:
                continue
            if f"WINEPREFIX={self.prefix}".encode() in environ:
                return True
        return False

    def close(self) -> None:
        if self.idle_in is not None:
            self.idle_in.close()
        if self.idle is not None and self.idle.poll() is None:
            self.idle.terminate()
        # The server of this prefix was started here; ending it ends whatever Wine process is
        # left, the programs a stage launched among them.
        if self.server_started:
            run(["wineserver", "-k"])
        for process in [*([self.idle] if self.idle else []), *self.launched]:
            end_process(process)


class Simulator:
    """A simulated detector: kvz03-sim on a pseudo-terminal that the COM link `link` names. Its
    stdin is a named pipe held open here, so that commands others write into it (the tests
    unplug and replug a detector themselves) never end it."""

    def __init__(self, sim: Path, com: str, link: Path, work: Path, options: Sequence[str]) -> None:
        self.com = com
        self.link = link
        self.out = work / f"{com}.out"
        self.err = work / f"{com}.err"
        self.stdin = Fifo(work / f"{com}.in")
        read_end = self.stdin.take_read_end()
        with open(self.out, "wb") as out, open(self.err, "wb") as err:
            self.process = subprocess.Popen([str(sim), "--link", str(link), *options],
                                            stdin=read_end, stdout=out, stderr=err)
        os.close(read_end)
        ready = wait_for(5, lambda: self.out.stat().st_size > 0 and link.is_symlink(), 0.05)
        if not ready:
            raise StageError(f"kvz03-sim for {com} did not start:\n"
                             + self.err.read_text(errors="replace"))

    def port(self) -> str:
        """The pseudo-terminal the simulator printed first."""
        return self.out.read_text(errors="replace").splitlines()[0]

    def command(self, line: str) -> None:
        """One stdin command, waiting for the simulator's "ok": the next step depends on it."""
        start = self.out.stat().st_size
        answers: list[str] = []

        def answered() -> bool:
            answers[:] = self.out.read_bytes()[start:].decode(errors="replace").splitlines()
            return any(a == "ok" or a.startswith("error") for a in answers)

        self.stdin.write_line(line)
        if not wait_for(5, answered, 0.05) or "ok" not in answers:
            raise StageError(f"kvz03-sim {self.com}: '{line}' failed")

    def close(self) -> None:
        self.stdin.close()
        end_process(self.process)
        self.link.unlink(missing_ok=True)


def start_simulator(stage: Stage, sim: Path, com: str, options: Sequence[str] = ()) -> Simulator:
    """A simulated detector behind `com` of the stage's prefix, ended with the stage."""
    assert stage.wine is not None
    link = stage.wine.prefix / "dosdevices" / com.lower()
    simulator = Simulator(sim, com, link, stage.work, options)
    stage.others.callback(simulator.close)
    return simulator


def run_pdftotext(pdf: str) -> None:
    """NAME.bbox beside the PDF, renamed into place once whole; empty when pdftotext failed,
    which it explains on stderr."""
    part = pdf + ".part"
    if subprocess.run(["pdftotext", "-bbox", "-l", "1", pdf, part]).returncode != 0:
        Path(part).write_bytes(b"")
    os.replace(part, pdf + ".bbox")


def start_pdftotext_relay(stage: Stage) -> Path:
    """pdftotext for the report tests, which cannot run a Linux program under Wine: each line in
    the returned pipe names a PDF. Ends when the stage closes its write end."""
    fifo = Fifo(stage.work / "pdftotext.in")
    read_end = fifo.take_read_end()

    def relay() -> None:
        with open(read_end, encoding="utf-8", errors="surrogateescape", newline="\n") as lines:
            for line in lines:
                run_pdftotext(line.rstrip("\n"))

    thread = threading.Thread(target=relay, name="pdftotext relay", daemon=True)
    thread.start()

    def stop() -> None:
        fifo.close()
        thread.join(30)

    stage.others.callback(stop)
    return fifo.path


class Screen:
    """A virtual screen of its own (Xvfb), so that the program draws where the stage can take
    screenshots, whatever display the caller has."""

    def __init__(self, stage: Stage, size: str, log: Path | None = None) -> None:
        read_end, write_end = os.pipe()
        with open(log or os.devnull, "wb") as err:
            self.process = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{size}x24", "-nolisten",
                 "tcp"], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=err,
                pass_fds=[write_end])
        os.close(write_end)
        stage.others.callback(end_process, self.process)
        with open(read_end, "rb") as displayfd:
            ready, _, _ = select.select([displayfd], [], [], 30)
            number = displayfd.readline().strip() if ready else b""
        if not number:
            raise StageError("Xvfb did not start:\n"
                             + (log.read_text(errors="replace") if log else ""))
        self.display = f":{number.decode()}"
        os.environ["DISPLAY"] = self.display

    def shot(self, path: Path) -> Path:
        """The whole screen as a PNG."""
        path.parent.mkdir(parents=True, exist_ok=True)
        must(["import", "-display", self.display, "-window", "root", path])
        return path

    def window_shown(self, title_pattern: str, *, visible: bool = True) -> bool:
        command = ["xdotool", "search", *(["--onlyvisible"] if visible else []), "--name",
                   title_pattern]
        return run(command) == 0


def image_query(shot: Path, *operations: str) -> str:
    """One figure ImageMagick computes from a screenshot."""
    result = subprocess.run(["convert", str(shot), *operations], capture_output=True, text=True)
    if result.returncode != 0:
        raise StageError(f"convert {shot}: {result.stderr.strip()}", result.returncode)
    return result.stdout.strip()


def pixels(shot: Path, colour: str) -> int:
    """How many pixels of the screenshot have that colour."""
    return round(float(image_query(shot, "-fill", "black", "+opaque", colour, "-fill", "white",
                                   "-opaque", colour, "-format", "%[fx:round(mean*w*h)]",
                                   "info:")))


class Interrupted(BaseException):
    """Ctrl-C or SIGTERM: not an Exception, so that no check's handler takes it for a failure."""


class Checks:
    """Named checks of a stage: a failure is reported at once with "FAILED:" and the stage goes
    on; the summary at the end lists every check, and its status is 1 if any failed."""

    def __init__(self, stage_name: str) -> None:
        self.stage_name = stage_name
        self.results: dict[str, list[str]] = {}
        self.current: str | None = None
        self.cut_short: str | None = None

    @contextlib.contextmanager
    def named(self, name: str) -> Iterator[None]:
        """Failures inside count against `name`; a StageError inside counts too, then ends the
        stage."""
        self.current = name
        self.results.setdefault(name, [])
        try:
            yield
        except StageError as error:
            self.results[name].append(str(error))
            raise
        except Interrupted:
            self.cut_short = name
            raise
        finally:
            self.current = None

    def fail(self, message: str) -> None:
        print(f"FAILED: {message}", file=sys.stderr, flush=True)
        self.results.setdefault(self.current or "set-up", []).append(message)

    def require(self, ok: bool, message: str) -> bool:
        if not ok:
            self.fail(message)
        return ok

    def failed(self) -> bool:
        return any(self.results.values())

    def summary(self, status: int) -> None:
        """Every check with its outcome, then the stage's verdict: a run cut short says so
        rather than passing on the checks it reached."""
        step(f"{self.stage_name}: named checks")
        for name, failures in self.results.items():
            outcome = "FAILED" if failures else "cut" if name == self.cut_short else "ok"
            print(f"  {outcome:6}  {name}")
        failed = sum(1 for failures in self.results.values() if failures)
        if status == INTERRUPTED:
            verdict = "interrupted"
        elif failed:
            verdict = f"{failed} of {len(self.results)} checks FAILED"
        elif status != 0:
            verdict = f"stopped with status {status}"
        else:
            verdict = "all checks passed"
        print(f"{self.stage_name}: {verdict}", flush=True)


def interrupted(signum: int, frame: FrameType | None) -> None:
    """Ctrl-C and SIGTERM unwind the stage through its clean-up."""
    raise Interrupted


def main(stage_name: str, body: Callable[[Checks], int]) -> int:
    """Runs a stage's body with its checks and prints their summary, whatever ended it; the
    body's status, a StageError's or 130 on Ctrl-C/SIGTERM is the exit status."""
    for signum in (signal.SIGINT, signal.SIGTERM):
        signal.signal(signum, interrupted)
    checks = Checks(stage_name)
    try:
        status = body(checks)
    except StageError as error:
        print(error, file=sys.stderr, flush=True)
        status = error.status
    except Interrupted:
        status = INTERRUPTED
    if checks.results:
        checks.summary(status)
    return status
