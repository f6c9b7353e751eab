#!/usr/bin/env python3
"""The Windows program and all its tests under Wine: cross-builds everything into build-windows/
(scripts/windows.sh, the same build the executable comes from), maps COM ports to simulated
detectors on Linux pseudo-terminals, and runs ctest there with Qt's offscreen platform. Exits
with ctest's status; a set-up that fails exits with the failed command's.

The simulator is a Linux program from the native build; it is brought up to date there. Only the
COM ports made here (COM21..COM24, COM31..COM33) are ever opened: Wine maps the machine's own
serial ports, the console among them, to other COM names that the tests never touch.
"""

from __future__ import annotations

import argparse
import os
import subprocess
import sys
import time
from pathlib import Path

# The source tree stays as checked out: no bytecode caches beside the scripts.
sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parent))
import winestage as ws  # noqa: E402

# The tests find each detector by the variable naming its port.
NAMED_SIMULATORS = [
    ("COM21", "KVZ_WINE_SIM_PORT", []),
    ("COM22", "KVZ_WINE_SILENT_PORT", []),
    ("COM23", "KVZ_WINE_DEMO_PORT", ["--demo", "--demo-interval", "100"]),
    # The tests unplug and replug this one themselves, writing commands into its stdin pipe.
    ("COM24", "KVZ_WINE_UNPLUG_PORT", []),
]
# The window tests borrow these one at a time and set each up as they need it.
POOL = ["COM31", "COM32", "COM33"]


def parse_args() -> argparse.Namespace:
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("native", nargs="?", type=Path, default=ws.ROOT / "build",
                        help="the native build with kvz03-sim (default: build/)")
    parser.add_argument("ctest_options", nargs=argparse.REMAINDER,
                        help="passed on to ctest, e.g. -R Win32")
    args = parser.parse_args()
    args.native = args.native.resolve()
    return args


def build(native: Path) -> None:
    """The simulator and the Windows build, both brought up to date."""
    ws.step(f"kvz03-sim in {native}")
    ws.build_native_tool(native, "kvz03-sim")
    ws.run_visible(["bash", ws.ROOT / "scripts/windows.sh", native])
    ws.step(f"the tests for Windows in {ws.CROSS}")
    ws.run_visible(["cmake", "--build", ws.CROSS])


def start_wine(stage: ws.Stage, prefix: Path) -> ws.WineSession:
    """The shared prefix, created once, and a session held open for all the tests."""
    if not (prefix / "system.reg").is_file():
        ws.step(f"creating the Wine prefix {prefix}")
        ws.create_prefix(prefix)
    ws.step("starting Wine")
    wine = stage.start_wine(prefix)
    wine.wait_for_services()
    return wine


def check_simulated_detectors(stage: ws.Stage, sim: Path) -> None:
    """Every detector the tests name is up on its COM port and set up as they expect."""
    ws.step("simulated detectors")
    for com, variable, options in NAMED_SIMULATORS:
        simulator = ws.start_simulator(stage, sim, com, options)
        os.environ[variable] = com
        print(f"{com} -> {simulator.port()}", flush=True)
        if com == "COM22":
            simulator.command("silent 1")
    os.environ["KVZ_WINE_UNPLUG_CONTROL"] = ws.windows_path(stage.work / "COM24.in")
    for com in POOL:
        print(f"{com} -> {ws.start_simulator(stage, sim, com).port()}", flush=True)
    os.environ["KVZ_WINE_SIM_POOL"] = " ".join(POOL)
    os.environ["KVZ_WINE_SIM_DIR"] = ws.windows_path(stage.work)


def start_pdftotext(stage: ws.Stage) -> None:
    """The report tests cannot run a Linux program under Wine: the relay reads their PDFs."""
    os.environ["KVZ_WINE_PDFTOTEXT"] = ws.windows_path(ws.start_pdftotext_relay(stage))


def failed_tests(since: float) -> list[str]:
    """The tests ctest's last run failed, from its own list (left from an older run otherwise)."""
    log = ws.CROSS / "Testing/Temporary/LastTestsFailed.log"
    if not log.is_file() or log.stat().st_mtime < since:
        return []
    return [line.split(":", 1)[-1] for line in log.read_text().splitlines() if line]


def check_ctest(checks: ws.Checks, ctest_options: list[str]) -> int:
    """The whole test suite under Wine; its status is the stage's."""
    ws.step("ctest under Wine")
    start = time.time()
    status = subprocess.run(["ctest", "--output-on-failure", "--no-tests=error", "--timeout",
                                "60", *ctest_options], cwd=ws.CROSS).returncode
    if status != 0:
        failed = failed_tests(start)
        checks.fail(f"ctest exited with {status}" + (f": {' '.join(failed)}" if failed else ""))
    return status


def body(checks: ws.Checks) -> int:
    args = parse_args()
    prefix = Path(os.environ.get("KVZ_WINEPREFIX", "/tmp/kvz03-wine"))
    ws.configure_wine(prefix, unset=["DISPLAY", "WAYLAND_DISPLAY"])
    with ws.Stage("wine-tests") as stage:
        build(args.native)
        start_wine(stage, prefix)
        with checks.named("simulated detectors on COM21..COM24, COM31..COM33"):
            check_simulated_detectors(stage, args.native / "kvz03-sim")
        start_pdftotext(stage)
        with checks.named("ctest under Wine"):
            return check_ctest(checks, args.ctest_options)


if __name__ == "__main__":
    sys.exit(ws.main("wine-tests", body))
