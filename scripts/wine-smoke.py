#!/usr/bin/env python3
"""The Windows product as an operator gets it, under Wine on a virtual screen: a fresh Wine prefix
at 120 dpi (125 %) posing as Windows 10, a silent install of
build-windows/kvz03-setup-<version>.exe, a simulated detector behind COM5 that the registry port
list shows, and the installed program started from its Start-menu shortcut with no settings
file. Each named check below says what it proves; the summary at the end lists them all. The
screenshot with the verdict, and the one of the manual, stay for a look.

Only COM5 is listed: Wine maps the machine's own serial ports, the console among them, to COM
names of its own, and the search must never open those; their links are removed as well, and a
program start stops the run if Wine has laid one out again.
"""

from __future__ import annotations

import argparse
import os
import shutil
import sys
import time
from dataclasses import dataclass, field
from pathlib import Path

# The source tree stays as checked out: no bytecode caches beside the scripts.
sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parent))
import winestage as ws  # noqa: E402

SIM_COM = "COM5"
PROGRAM = "KVZApp.exe"
MAIN_WINDOW = "^KVz - 03"
MANUAL_WINDOW = "^Руководство оператора"
START_MENU_LINK = r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\KVZ-03.lnk"
ENTRY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\KVZ-03"
USER_ENTRY = ENTRY.replace("HKLM", "HKCU", 1)
ENTRY_VALUES = ["DisplayName", "DisplayVersion", "Publisher", "DisplayIcon", "UninstallString",
                "QuietUninstallString", "EstimatedSize"]
# Folders named in Cyrillic, and with letters outside Windows-1251.
PORTABLE_FOLDERS = ["Детектор КВЗ", "Tëst 中"]
# The measurement panel's light cyan, and the lamp's colours.
PANEL = "#EAFFFF"
GREEN = "#00FF00"
RED = "#FF0000"


@dataclass
class Smoke:
    """What the checks share: the prefix's places, the screen and the detector."""

    stage: ws.Stage
    wine: ws.WineSession
    screen: ws.Screen
    sim: ws.Simulator
    checks: ws.Checks
    setup: Path
    root_shot: Path
    ini: Path | None = None
    verdict_area: str = ""
    logs: list[Path] = field(default_factory=list)

    @property
    def c(self) -> Path:
        return self.wine.prefix / "drive_c"

    @property
    def program(self) -> Path:
        return self.c / "Program Files/KVZ-03"

    @property
    def shortcuts(self) -> list[Path]:
        return [self.c / "ProgramData/Microsoft/Windows/Start Menu/Programs/KVZ-03.lnk",
                self.c / "users/Public/Desktop/KVZ-03.lnk"]

    def fail(self, message: str) -> None:
        self.checks.fail(message)

    def wine_status(self, *args: str | Path) -> int:
        return ws.run(["wine", *args])

    def entry_exists(self, entry: str) -> bool:
        return ws.run(["wine", "reg", "query", entry, "/reg:64"]) == 0

    def only_simulated_port(self) -> None:
        """Stops the run before the program starts where Wine has laid out a port of the machine
        again: the program would search it, and it may be the console."""
        links = self.wine.foreign_com_links([SIM_COM.lower()])
        if links:
            raise ws.StageError(f"FAILED: Wine laid out the machine's serial ports again "
                                f"({' '.join(links)}): stopped before the program could open them")

    def start_program(self, folder: Path, log: Path) -> None:
        self.only_simulated_port()
        self.wine.launch(["wine", PROGRAM], cwd=folder, log=log)

    def close_program(self) -> None:
        """As the operator's close button would, and waits for the process to end."""
        ws.run(["wine", "taskkill", "/im", PROGRAM])
        if not ws.wait_for(30, lambda: not self.wine.running(PROGRAM)):
            self.fail("the program did not close")

    def check_installed(self, folder: Path) -> str:
        """The files, shortcuts and Programs-and-Features entry of one install; the entry's
        text."""
        for f in [folder / PROGRAM, folder / "Uninstall.exe", folder / "manual/manual.html",
                  *self.shortcuts]:
            self.checks.require(f.is_file(), f"the installer left no {f}")
        status, entry = self.wine.output(["wine", "reg", "query", ENTRY, "/reg:64"])
        self.checks.require(status == 0, f"no entry {ENTRY}")
        lines = entry.splitlines()
        for value in ENTRY_VALUES:
            self.checks.require(any(line.lstrip(" ").startswith(value + " ") for line in lines),
                                f"the entry has no {value}")
        return entry

    def install(self, *options: str, what: str) -> None:
        status = self.wine_status(self.setup, "/S", *options)
        self.checks.require(status == 0, f"{what} exited with {status}")

    def uninstall(self, folder: Path) -> None:
        """The uninstaller copies itself away and runs from there: waits for what it removes."""
        ws.must(["wine", folder / "Uninstall.exe", "/S"])
        if not ws.wait_for(60, lambda: not folder.exists()):
            left = " ".join(sorted(p.name for p in folder.iterdir())) if folder.is_dir() else ""
            self.fail(f"the uninstaller left {folder}" + (f": {left}" if left else ""))

    def find_ini(self) -> bool:
        """The program's settings in the user's %LOCALAPPDATA%\\kvz03, naming the detector."""
        found = sorted((self.c / "users").glob("*/AppData/Local/kvz03/kvzport.ini"))
        self.ini = found[0] if found else None
        return self.ini is not None and names_sim_port(self.ini)

    def lamp(self, colour: str) -> bool:
        """The lamp on the screen now has that colour."""
        return ws.pixels(self.screen.shot(self.stage.work / "lamp.png"), colour) >= 50


def names_sim_port(ini: Path) -> bool:
    try:
        return SIM_COM in ini.read_text(errors="replace")
    except OSError:
        return False


def one_line(path: Path) -> str:
    """A settings file on one line, as the log shows it."""
    return path.read_text(errors="replace").replace("\r", " ").replace("\n", " ")


def panel_geometry(shot: Path) -> str:
    """The measurement panel on the screen, as WIDTHxHEIGHT+X+Y."""
    return ws.image_query(shot, "-fill", "black", "+opaque", PANEL, "-format", "%@", "info:")


def ink(shot: Path, geometry: str) -> int:
    """Pixels other than the panel's own colour inside `geometry`."""
    return round(float(ws.image_query(
        shot, "-crop", geometry, "+repage", "-fill", "black", "+opaque", PANEL, "-fill", "white",
        "-opaque", PANEL, "-negate", "-format", "%[fx:round(mean*w*h)]", "info:")))


def parse_args() -> argparse.Namespace:
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("native", nargs="?", type=Path, default=ws.ROOT / "build",
                        help="the native build with kvz03-sim (default: build/)")
    parser.add_argument("screenshot", nargs="?", type=Path,
                        default=ws.CROSS / "wine-smoke.png",
                        help="where the screenshot with the verdict goes "
                        "(default: build-windows/wine-smoke.png)")
    args = parser.parse_args()
    args.native = args.native.resolve()
    args.screenshot = args.screenshot.resolve()
    return args


def find_installer() -> Path:
    found = sorted(ws.CROSS.glob("kvz03-setup-*.exe"))
    if not found:
        raise ws.StageError("no installer in build-windows/: run scripts/windows.sh first")
    return found[0]


def prepare_prefix(stage: ws.Stage) -> ws.WineSession:
    """A fresh prefix at 120 dpi posing as Windows 10, with none of the machine's COM links."""
    # The server reports a detector unplugged under it with a dump of its objects: kept out of
    # sight.
    wine = ws.fresh_session(stage, server_log=stage.work / "wineserver.log")
    # Qt reads the dots per inch at start.
    ws.must(["wine", "reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t",
             "REG_DWORD", "/d", "120", "/f"])
    return wine


def start_detector(stage: ws.Stage, wine: ws.WineSession, sim: Path) -> ws.Simulator:
    ws.step(f"simulated detector on {SIM_COM}")
    simulator = ws.start_simulator(stage, sim, SIM_COM, ["--mode", "y"])
    wine.list_only_simulated_port(SIM_COM)
    return simulator


def check_portable_copy(s: Smoke, stick: str) -> None:
    """A copy run from a folder of its own finds the detector by its search and keeps
    kvzport.ini beside itself."""
    ws.step(f"a portable copy in C:\\{stick}")
    folder = s.c / stick
    folder.mkdir()
    shutil.copy(ws.CROSS / PROGRAM, folder)
    s.start_program(folder, s.stage.work / "portable.log")
    ini = folder / "kvzport.ini"
    if ws.wait_for(120, lambda: names_sim_port(ini)):
        print(f"kvzport.ini beside the copy: {one_line(ini)}", flush=True)
    else:
        s.fail(f"the portable copy saved no kvzport.ini naming {SIM_COM} beside itself in {stick}")
    s.close_program()


def check_portable_copies_stay_portable(s: Smoke) -> None:
    s.checks.require(not list((s.c / "users").glob("*/AppData/Local/kvz03")),
                     "the portable copy wrote into %LOCALAPPDATA%")


def check_silent_install(s: Smoke) -> None:
    """The program, its uninstaller, both shortcuts and a complete Programs-and-Features entry."""
    ws.step(f"silent install of {s.setup.name}")
    s.install(what="the installer")
    entry = s.check_installed(s.program)
    if not s.checks.failed():
        print(f"installed: {' '.join(entry.split())}", flush=True)


def check_settings_in_local_appdata(s: Smoke) -> None:
    """Started from its Start-menu shortcut, the program finds the detector and saves
    kvzport.ini naming it in %LOCALAPPDATA%\\kvz03, not in Program Files."""
    ws.step("the installed program from its Start-menu shortcut")
    s.only_simulated_port()
    ws.must(["wine", "start", START_MENU_LINK], output=s.stage.work / "app.log")
    if ws.wait_for(120, s.find_ini):
        assert s.ini is not None
        print(f"kvzport.ini in {s.ini.relative_to(s.c)}: {one_line(s.ini)}", flush=True)
    else:
        s.fail(f"the program saved no kvzport.ini naming {SIM_COM} in %LOCALAPPDATA%\\kvz03")
    s.checks.require(not (s.program / "kvzport.ini").exists(),
                     "the program wrote its settings into Program Files")


def check_scaled_window(s: Smoke) -> Path:
    """The measurement panel is the 96-dpi layout scaled by 1.25; returns the screenshot."""
    # Time for the window to paint the connected state.
    time.sleep(3)
    before = s.screen.shot(s.stage.work / "before.png")
    geometry = panel_geometry(before)
    print(f"measurement panel on the screen: {geometry}", flush=True)
    try:
        width, height, x, y = (int(n) for n in geometry.replace("x", "+").split("+"))
    except ValueError:
        raise ws.StageError(f"no measurement panel on the screen: {geometry}") from None
    # 321x151 at 96 dpi, less its 1-pixel border, times 1.25.
    s.checks.require(abs(width - 399) <= 3 and abs(height - 186) <= 3,
                     f"the panel is {width}x{height}, not the 96-dpi 319x149 scaled by 1.25")
    # Below the mode caption, where the verdict goes.
    s.verdict_area = f"{width - 8}x{height - 40}+{x + 4}+{y + 34}"
    return before


def check_verdict(s: Smoke, before: Path) -> None:
    """A result frame puts its verdict on the measurement panel, which was blank before."""
    blank = ink(before, s.verdict_area)
    s.sim.command("work 420 130 3 y")
    time.sleep(3)
    s.screen.shot(s.root_shot)
    written = ink(s.root_shot, s.verdict_area)
    print(f"verdict area: {blank} pixels of ink before the result frame, {written} after",
          flush=True)
    s.checks.require(blank < 20 and written > 300, "no verdict appeared on the measurement panel")


def check_green_lamp(s: Smoke) -> None:
    green = ws.pixels(s.root_shot, GREEN)
    print(f"screenshot {s.root_shot}: {green} pixels of the lamp's green", flush=True)
    s.checks.require(green >= 50, "no green lamp on the screen")


def check_unplug(s: Smoke) -> None:
    """The detector unplugged, its port leaving the registry list as Windows does, turns the
    lamp red."""
    ws.step("the detector unplugged and plugged in again")
    start = time.monotonic()
    s.sim.command("unplug")
    s.wine.unplug_port()
    if ws.wait_for(20, lambda: s.lamp(RED)):
        print(f"red lamp {elapsed_ms(start)} ms after the detector went", flush=True)
    else:
        s.fail("the lamp did not turn red when the detector went")


def check_replug(s: Smoke) -> None:
    """Plugged in again, the detector is found and the lamp green without a click."""
    s.sim.command("replug")
    s.wine.plug_port(SIM_COM)
    start = time.monotonic()
    if ws.wait_for(30, lambda: s.lamp(GREEN)):
        print(f"green lamp {elapsed_ms(start)} ms after the detector came back", flush=True)
    else:
        s.fail("the program did not connect by itself when the detector came back")


def elapsed_ms(start: float) -> int:
    return round((time.monotonic() - start) * 1000)


def check_manual(s: Smoke) -> None:
    """F1 in the main window opens the operator's manual."""
    ws.step("F1 in the main window")
    manual_shot = s.root_shot.with_name(s.root_shot.name.removesuffix(".png") + "-manual.png")
    ws.run(["xdotool", "search", "--onlyvisible", "--name", MAIN_WINDOW, "windowfocus", "--sync",
            "key", "F1"])
    if ws.wait_for(30, lambda: s.screen.window_shown(MANUAL_WINDOW)):
        s.screen.shot(manual_shot)
        print(f"the manual's window: screenshot {manual_shot}", flush=True)
    else:
        s.fail("F1 in the main window opened no manual")
    s.close_program()


def check_upgrade_in_place(s: Smoke) -> None:
    """A second install lands over the first."""
    ws.step("upgrades")
    s.install(what="the second install")
    s.check_installed(s.program)
    s.uninstall(s.program)


def check_upgrade_follows_folder(s: Smoke) -> None:
    """After an install into another folder, the next install goes there."""
    detector = s.c / "Detector"
    # NSIS takes /D= as the last argument, unquoted.
    status = s.wine_status(s.setup, "/S", r"/D=C:\Detector")
    s.checks.require(status == 0, "the install into C:\\Detector failed")
    status = s.wine_status(s.setup, "/S")
    s.checks.require(status == 0, "the install over C:\\Detector failed")
    s.check_installed(detector)
    s.checks.require(not s.program.exists(),
                     "the upgrade went into Program Files, not where the program was")


def check_uninstall_keeps_settings(s: Smoke) -> None:
    """A silent uninstall removes the program, its shortcuts and its entry, and keeps the
    operator's settings."""
    ws.step("silent uninstall")
    s.uninstall(s.c / "Detector")
    for f in s.shortcuts:
        s.checks.require(not f.exists(), f"the uninstaller left {f}")
    s.checks.require(not s.entry_exists(ENTRY), f"the uninstaller left {ENTRY}")
    s.checks.require(s.ini is not None and s.ini.is_file(),
                     "the uninstaller removed the operator's settings")


@dataclass
class UserCopy:
    """A copy installed for one user (/CurrentUser): its folder in %LOCALAPPDATA%\\Programs, the
    user's own shortcuts and an entry under HKCU."""

    folder: Path
    shortcuts: list[Path]

    @classmethod
    def of(cls, s: Smoke) -> UserCopy:
        local_app = (s.ini.parent.parent if s.ini is not None
                     else s.c / "users" / os.environ.get("USER", "root") / "AppData/Local")
        return cls(local_app / "Programs/KVZ-03", [
            local_app.parent / "Roaming/Microsoft/Windows/Start Menu/Programs/KVZ-03.lnk",
            local_app.parent.parent / "Desktop/KVZ-03.lnk"])

    def stamp(self) -> int | None:
        try:
            return int((self.folder / PROGRAM).stat().st_mtime)
        except OSError:
            return None


def check_install_for_one_user(s: Smoke, user: UserCopy) -> None:
    ws.step("a copy for one user, and the program running")
    s.install("/CurrentUser", what="the install for one user")
    for f in [user.folder / PROGRAM, *user.shortcuts]:
        s.checks.require(f.is_file(), f"no {f}")
    s.checks.require(s.entry_exists(USER_ENTRY), f"no entry {USER_ENTRY}")


def expect_refusal(s: Smoke, user: UserCopy, stamp: int | None, what: str,
                   command: list[str | Path]) -> None:
    """An install or an uninstall while the program runs exits with 3 and changes nothing."""
    status = ws.run(command)
    print(f"{what} while the program runs: exit code {status}", flush=True)
    s.checks.require(status == 3, f"{what} while the program runs exited with {status}, not 3")
    s.checks.require(user.stamp() == stamp, f"{what} touched the program")
    s.checks.require(s.entry_exists(USER_ENTRY), f"{what} removed {USER_ENTRY}")


def check_refusals(s: Smoke, user: UserCopy) -> None:
    s.start_program(user.folder, s.stage.work / "app.log")
    if not ws.wait_for(60, lambda: s.screen.window_shown(MAIN_WINDOW, visible=False)):
        s.fail("the program did not start")
    stamp = user.stamp()
    expect_refusal(s, user, stamp, "the install", ["wine", s.setup, "/S", "/CurrentUser"])
    # _?= keeps the uninstaller in place, so its exit code is the one that counts.
    _, folder = s.wine.output(["winepath", "-w", user.folder])
    expect_refusal(s, user, stamp, "the uninstall",
                   ["wine", user.folder / "Uninstall.exe", "/S", f"_?={folder.strip()}"])
    s.checks.require(not (user.folder / "kvzport.ini").exists(),
                     "the copy for one user wrote its settings beside itself")
    s.close_program()


def check_user_copy_upgrade_and_uninstall(s: Smoke, user: UserCopy) -> None:
    s.install(what="the upgrade of the copy for one user")
    s.checks.require(not s.program.exists(),
                     "the upgrade of the copy for one user went to Program Files")
    s.uninstall(user.folder)
    for f in user.shortcuts:
        s.checks.require(not f.exists(), f"the uninstaller left {f}")
    s.checks.require(not s.entry_exists(USER_ENTRY), f"the uninstaller left {USER_ENTRY}")
    s.checks.require(s.ini is not None and s.ini.is_file(),
                     "the uninstaller removed the operator's settings")


def check_windows_7_refused(s: Smoke) -> None:
    """On Windows 7 the installer exits with 4 and installs nothing."""
    ws.step("Windows 7")
    ws.set_windows_version("win7")
    status = s.wine_status(s.setup, "/S")
    print(f"the installer on Windows 7: exit code {status}", flush=True)
    s.checks.require(status == 4 and not s.program.exists(),
                     "the installer did not refuse Windows 7")


def run_checks(s: Smoke) -> None:
    named = s.checks.named
    for stick, name in zip(PORTABLE_FOLDERS, ["Cyrillic", "non-Windows-1251"]):
        with named(f"portable copy in a {name} folder keeps kvzport.ini beside itself"):
            check_portable_copy(s, stick)
    with named("portable copies write nothing into %LOCALAPPDATA%"):
        check_portable_copies_stay_portable(s)
    with named("silent install: files, shortcuts, Programs-and-Features entry"):
        check_silent_install(s)
    with named("installed program saves kvzport.ini in %LOCALAPPDATA%\\kvz03"):
        check_settings_in_local_appdata(s)
    with named("window is the 96-dpi layout scaled by 1.25"):
        before = check_scaled_window(s)
    with named("verdict appears on the measurement panel"):
        check_verdict(s, before)
    with named("green lamp"):
        check_green_lamp(s)
    with named("red lamp when the detector is unplugged"):
        check_unplug(s)
    with named("green lamp when it is plugged in again"):
        check_replug(s)
    with named("F1 opens the operator's manual"):
        check_manual(s)
    with named("second install lands over the first"):
        check_upgrade_in_place(s)
    with named("next install follows the program into its folder"):
        check_upgrade_follows_folder(s)
    with named("silent uninstall keeps the operator's settings"):
        check_uninstall_keeps_settings(s)
    user = UserCopy.of(s)
    with named("install for one user (/CurrentUser)"):
        check_install_for_one_user(s, user)
    with named("install and uninstall refused (3) while the program runs"):
        check_refusals(s, user)
    with named("upgrade and uninstall of the copy for one user"):
        check_user_copy_upgrade_and_uninstall(s, user)
    with named("installer refuses Windows 7 (4)"):
        check_windows_7_refused(s)


def show_program_output(work: Path) -> None:
    print("--- program output", file=sys.stderr, flush=True)
    for log in [work / "portable.log", work / "app.log"]:
        if log.is_file():
            sys.stderr.write(log.read_text(errors="replace"))
    sys.stderr.flush()


def body(checks: ws.Checks) -> int:
    args = parse_args()
    setup = find_installer()
    with ws.Stage("wine-smoke") as stage:
        ws.step(f"kvz03-sim in {args.native}")
        ws.build_native_tool(args.native, "kvz03-sim")
        ws.step("virtual screen")
        screen = ws.Screen(stage, "1024x768", stage.work / "xvfb.log")
        wine = prepare_prefix(stage)
        simulator = start_detector(stage, wine, args.native / "kvz03-sim")
        smoke = Smoke(stage, wine, screen, simulator, checks, setup, args.screenshot)
        run_checks(smoke)
        if checks.failed():
            show_program_output(stage.work)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(ws.main("wine-smoke", body))
