#!/usr/bin/env python3
"""Start-up of the Windows program under Wine, warm: time from `wine KVZApp.exe` to its main window
on screen, with a simulated detector on COM5 and the program's files beside it, as a portable copy
keeps them. One untimed run first fills Wine's and the system's caches; the figure is the median
of the timed runs. A prefix, a virtual screen and a Wine session of its own, all ended on exit.

Needs build-windows/KVZApp.exe (scripts/windows.sh) and kvz03-sim in the native build.
"""

from __future__ import annotations

import argparse
import contextlib
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

# The source tree stays as checked out: no bytecode caches beside the scripts.
sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "scripts"))
import winestage as ws  # noqa: E402

PROGRAM = "KVZApp.exe"
MAIN_WINDOW = "^KVz - 03"
SIM_COM = "COM5"
WINDOW_LIMIT = 60


def parse_args() -> argparse.Namespace:
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("native", nargs="?", type=Path, default=ws.ROOT / "build",
                        help="the native build with kvz03-sim (default: build/)")
    parser.add_argument("runs", nargs="?", type=int, default=5,
                        help="timed runs (default: 5)")
    args = parser.parse_args()
    args.native = args.native.resolve()
    return args


def prepare(stage: ws.Stage, native: Path) -> Path:
    """Prefix, screen, session, detector and the program's folder; returns the folder."""
    exe = ws.CROSS / PROGRAM
    if not exe.is_file():
        raise ws.StageError(f"no {exe}: run scripts/windows.sh first")
    ws.step(f"kvz03-sim in {native}")
    ws.build_native_tool(native, "kvz03-sim", quiet=True)
    ws.step("virtual screen")
    ws.Screen(stage, "1280x800")
    # A Wine process kept alive holds the session open, as an operator's logged-in desktop does.
    wine = ws.fresh_session(stage)
    ws.step(f"simulated detector on {SIM_COM}")
    ws.start_simulator(stage, native / "kvz03-sim", SIM_COM, ["--demo"])
    wine.list_only_simulated_port(SIM_COM)
    folder = wine.prefix / "drive_c/KVZ"
    folder.mkdir(parents=True)
    shutil.copy(exe, folder)
    (folder / "kvzport.ini").write_bytes(f"COMName={SIM_COM}\r\n".encode())
    return folder


def start_once(wine: ws.WineSession, folder: Path) -> int:
    """Milliseconds from the start to the main window, then the program is closed."""
    start = time.monotonic()
    app = subprocess.Popen(["wine", PROGRAM], cwd=folder, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        if not ws.wait_for(WINDOW_LIMIT, lambda: ws.run(
                ["xdotool", "search", "--onlyvisible", "--name", MAIN_WINDOW]) == 0, 0.005):
            raise ws.StageError(f"no main window after {WINDOW_LIMIT} s")
        shown = round((time.monotonic() - start) * 1000)
        time.sleep(1)
        ws.run(["wine", "taskkill", "/im", PROGRAM])
        with contextlib.suppress(subprocess.TimeoutExpired):
            app.wait(WINDOW_LIMIT)
        ws.wait_for(WINDOW_LIMIT, lambda: not wine.running(PROGRAM), 0.05)
        return shown
    finally:
        ws.end_process(app)


def body(checks: ws.Checks) -> int:
    args = parse_args()
    with ws.Stage("wine-startup") as stage:
        folder = prepare(stage, args.native)
        assert stage.wine is not None
        with checks.named(f"main window within {WINDOW_LIMIT} s in every run"):
            ws.step("untimed run")
            start_once(stage.wine, folder)
            ws.step(f"{args.runs} timed runs")
            figures = []
            for run in range(1, args.runs + 1):
                figures.append(start_once(stage.wine, folder))
                print(f"run {run}: main window shown after {figures[-1]} ms", flush=True)
    print(f"median of {args.runs}: {statistics.median_low(figures)} ms", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(ws.main("wine-startup", body))
