#!/usr/bin/env bash
# The Windows product as an operator gets it, under Wine on a virtual screen: a fresh Wine prefix
# at 120 dpi (125 %) posing as Windows 10, a silent install of
# build-windows/kvz03-setup-<version>.exe, a simulated detector behind COM5 that the registry port
# list shows, and the installed program started from its Start-menu shortcut with no settings
# file. Passes when
#   - a portable copy run from a folder of its own, one named in Cyrillic and one with letters
#     outside Windows-1251, finds the detector by its search and keeps kvzport.ini beside itself;
#   - the installer left the program, its uninstaller, both shortcuts and a complete
#     Programs-and-Features entry;
#   - the program found the detector by its search and saved kvzport.ini naming COM5 in the
#     user's %LOCALAPPDATA%\kvz03, not in Program Files;
#   - the window is the 96-dpi layout scaled by 1.25, the lamp is green, and a result frame puts
#     its verdict on the measurement panel, which was blank before;
#   - the detector unplugged (its port leaving the registry list, as Windows does) turns the lamp
#     red, and plugged in again green without a click;
#   - a second install lands over the first, and one into another folder is followed there by
#     the next;
#   - a silent uninstall removes the program, its shortcuts and its entry, and keeps the
#     operator's settings;
#   - the same for a copy installed for one user (/CurrentUser): in its folder in
#     %LOCALAPPDATA%\Programs, with the user's own shortcuts and an entry under HKCU;
#   - F1 in the main window opens the operator's manual;
#   - an install or an uninstall while the program runs exits with 3 and changes nothing;
#   - on Windows 7 the installer exits with 4 and installs nothing.
# The screenshot with the verdict stays for a look.
#
#   scripts/wine-smoke.sh [native-build-dir] [screenshot.png]
#       (defaults: build/ and build-windows/wine-smoke.png)
#
# Only COM5 is listed: Wine maps the machine's own serial ports, the console among them, to COM
# names of its own, and the search must never open those; their links are removed as well.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
native=$(realpath -m "${1:-$root/build}")
shot=$(realpath -m "${2:-$root/build-windows/wine-smoke.png}")
setup=$(find "$root/build-windows" -maxdepth 1 -name 'kvz03-setup-*.exe' | head -n1)
[ -n "$setup" ] || { echo "no installer in build-windows/: run scripts/windows.sh first" >&2; exit 1; }

work=$(mktemp -d /tmp/kvz03-wine-smoke.XXXXXX)
export WINEPREFIX=$work/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# The program is to draw on the virtual screen, whatever platform the caller's tests chose.
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
xvfb_pid=
sim_pid=
sim_fd=
idle_pid=
idle_fd=
server_started=0

# shellcheck disable=SC2317  # runs from the EXIT trap
cleanup() {
  # Wine goes first: a simulator ending under a running server makes it dump its object table.
  if [ -n "$idle_fd" ]; then exec {idle_fd}>&-; fi
  if [ "$server_started" -eq 1 ]; then wineserver -k 2>/dev/null || true; fi
  if [ -n "$idle_pid" ]; then wait "$idle_pid" 2>/dev/null || true; fi
  if [ -n "$sim_fd" ]; then exec {sim_fd}>&-; fi
  local pid
  for pid in $sim_pid $xvfb_pid; do kill "$pid" 2>/dev/null || true; done
  for pid in $sim_pid $xvfb_pid; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

step() { printf '== %s\n' "$*"; }
status=0
fail() {
  echo "FAILED: $*" >&2
  status=1
}

# wait_for SECONDS COMMAND...: true once COMMAND succeeds. The limits are generous: Wine's first
# start in a new prefix takes long on a loaded machine.
wait_for() {
  local seconds=$1 i
  shift
  for ((i = 0; i < seconds * 10; i++)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}
gone() { ! test -e "$1"; }

sim=$native/kvz03-sim
step "kvz03-sim in $native"
bash "$root/scripts/native-tools.sh" "$native" kvz03-sim

step "virtual screen"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
wait_for 30 test -s "$work/display" || { cat "$work/xvfb.log" >&2; exit 1; }
DISPLAY=:$(cat "$work/display")
export DISPLAY

step "fresh Wine prefix $WINEPREFIX at 120 dpi"
mkdir -p "$WINEPREFIX"
wineboot --init >/dev/null 2>&1
wineserver --wait
# The server reports a detector unplugged under it with a dump of its objects: kept out of sight.
wineserver -p5 2>"$work/wineserver.log"
server_started=1
# One Wine process kept alive holds the session open to the end. Whenever the last one ends, Wine
# stops the session's services, and the next process starts them again: the device manager then
# lays out the machine's own serial ports anew, the console among them, as COM1 in the registry
# port list, in place of the simulated detector's COM5.
mkfifo "$work/idle.in"
wine cmd /c pause <"$work/idle.in" >/dev/null 2>&1 &
idle_pid=$!
exec {idle_fd}>"$work/idle.in"
# Returns once the session's services run: the device manager has laid out its COM links and the
# registry port list by then, and both are replaced below. Qt reads the dots per inch at start.
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 120 /f >/dev/null 2>&1
# Debian's Wine poses as Windows 7 by default, which the installer refuses.
wine reg add 'HKCU\Software\Wine' /v Version /d win10 /f >/dev/null 2>&1
find "$WINEPREFIX/dosdevices" -maxdepth 1 -name 'com*' -type l -delete

c=$WINEPREFIX/drive_c
program=$c/Program\ Files/KVZ-03
start_menu=$c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/KVZ-03.lnk
desktop=$c/users/Public/Desktop/KVZ-03.lnk
entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\KVZ-03'

# check_installed FOLDER: the files, shortcuts and Programs-and-Features entry of one install.
check_installed() {
  local folder=$1 f value
  for f in "$folder/KVZApp.exe" "$folder/Uninstall.exe" "$folder/manual/manual.html" "$start_menu" \
    "$desktop"; do
    [ -f "$f" ] || fail "the installer left no $f"
  done
  wine reg query "$entry" /reg:64 >"$work/entry.txt" 2>/dev/null || fail "no entry $entry"
  for value in DisplayName DisplayVersion Publisher DisplayIcon UninstallString \
    QuietUninstallString EstimatedSize; do
    grep -q "^ *$value " "$work/entry.txt" || fail "the entry has no $value"
  done
}

step "simulated detector on COM5"
mkfifo "$work/sim.in"
"$sim" --link "$WINEPREFIX/dosdevices/com5" --mode y \
  <"$work/sim.in" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
exec {sim_fd}>"$work/sim.in"
wait_for 10 test -L "$WINEPREFIX/dosdevices/com5" || { cat "$work/sim.err" >&2; exit 1; }
ports='HKLM\HARDWARE\DEVICEMAP\SERIALCOMM'
# The key is missing when Wine found no serial port on this machine: nothing to empty then. It is
# volatile, so only its values go: a key made anew by reg would not be.
if wine reg query "$ports" >/dev/null 2>&1; then wine reg delete "$ports" /va /f >/dev/null 2>&1; fi
wine reg add "$ports" /v '\Device\KvzSim0' /t REG_SZ /d COM5 /f >/dev/null 2>&1

# only_simulated_port: stops the run before the program starts where Wine has laid out a port of
# the machine again: the program would search it, and it may be the console.
only_simulated_port() {
  local links
  links=$(find "$WINEPREFIX/dosdevices" -maxdepth 1 -name 'com*' ! -name com5 -printf '%f ')
  [ -z "$links" ] && return
  echo "FAILED: Wine laid out the machine's serial ports again ($links): stopped before the program could open them" >&2
  exit 1
}

# close_program: as the operator's close button would, and waits for the process to end.
close_program() {
  wine taskkill /im KVZApp.exe >/dev/null 2>&1 || true
  wait_for 30 eval '! pgrep -f "KVZApp[.]exe" >/dev/null' || fail "the program did not close"
}

# A portable copy in a folder with Cyrillic letters, and in one with letters outside Windows-1251.
for stick in "Детектор КВЗ" "Tëst 中"; do
  step "a portable copy in C:\\$stick"
  mkdir "$c/$stick"
  cp "$root/build-windows/KVZApp.exe" "$c/$stick/"
  only_simulated_port
  (cd "$c/$stick" && exec wine KVZApp.exe >>"$work/portable.log" 2>&1) &
  # Ended by the Wine server, which kills it: no job report for that.
  disown $!
  if wait_for 120 grep -qs COM5 "$c/$stick/kvzport.ini"; then
    echo "kvzport.ini beside the copy: $(tr '\r\n' '  ' <"$c/$stick/kvzport.ini")"
  else
    fail "the portable copy saved no kvzport.ini naming COM5 beside itself in $stick"
  fi
  close_program
done
[ -z "$(find "$c/users" -path '*/AppData/Local/kvz03' 2>/dev/null)" ] ||
  fail "the portable copy wrote into %LOCALAPPDATA%"

step "silent install of $(basename "$setup")"
wine "$setup" /S >/dev/null 2>&1 || fail "the installer exited with $?"
check_installed "$program"
[ "$status" -eq 0 ] && echo "installed: $(tr -s ' \r\n' ' ' <"$work/entry.txt")"

step "the installed program from its Start-menu shortcut"
only_simulated_port
wine start "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\KVZ-03.lnk" \
  >"$work/app.log" 2>&1
ini=
find_ini() {
  ini=$(find "$c/users" -path '*/AppData/Local/kvz03/kvzport.ini' 2>/dev/null | head -n1)
  [ -n "$ini" ] && grep -qs COM5 "$ini"
}
if wait_for 120 find_ini; then
  echo "kvzport.ini in ${ini#"$c"/}: $(tr '\r\n' '  ' <"$ini")"
else
  fail "the program saved no kvzport.ini naming COM5 in %LOCALAPPDATA%\\kvz03"
fi
[ -e "$program/kvzport.ini" ] && fail "the program wrote its settings into Program Files"

# panel SHOT: the measurement panel's light cyan, as WIDTHxHEIGHT+X+Y on the screen.
panel() { convert "$1" -fill black +opaque '#EAFFFF' -format '%@' info:; }
# ink SHOT GEOMETRY: pixels other than the panel's own colour inside GEOMETRY.
ink() {
  convert "$1" -crop "$2" +repage -fill black +opaque '#EAFFFF' -fill white -opaque '#EAFFFF' \
    -negate -format '%[fx:round(mean*w*h)]' info:
}
# Time for the window to paint the connected state.
sleep 3
import -display "$DISPLAY" -window root "$work/before.png"
geometry=$(panel "$work/before.png")
echo "measurement panel on the screen: $geometry"
read -r width height x y <<<"$(tr 'x+' '  ' <<<"$geometry")"
# 321x151 at 96 dpi, less its 1-pixel border, times 1.25.
[ $((width - 399)) -ge -3 ] && [ $((width - 399)) -le 3 ] && [ $((height - 186)) -ge -3 ] &&
  [ $((height - 186)) -le 3 ] || fail "the panel is ${width}x$height, not the 96-dpi 319x149 scaled by 1.25"
# Below the mode caption, where the verdict goes.
verdict_area="$((width - 8))x$((height - 40))+$((x + 4))+$((y + 34))"
blank=$(ink "$work/before.png" "$verdict_area")

echo "work 420 130 3 y" >&"$sim_fd"
sleep 3
mkdir -p "$(dirname "$shot")"
import -display "$DISPLAY" -window root "$shot"
written=$(ink "$shot" "$verdict_area")
echo "verdict area: $blank pixels of ink before the result frame, $written after"
[ "$blank" -lt 20 ] && [ "$written" -gt 300 ] || fail "no verdict appeared on the measurement panel"
# pixels SHOT COLOUR: how many pixels of the screenshot have that colour.
pixels() {
  convert "$1" -fill black +opaque "$2" -fill white -opaque "$2" -format '%[fx:round(mean*w*h)]' info:
}
green=$(pixels "$shot" '#00FF00')
echo "screenshot $shot: $green pixels of the lamp's green"
[ "$green" -ge 50 ] || fail "no green lamp on the screen"

step "the detector unplugged and plugged in again"
# lamp COLOUR: the lamp on the screen now has that colour.
lamp() {
  import -display "$DISPLAY" -window root "$work/lamp.png"
  [ "$(pixels "$work/lamp.png" "$1")" -ge 50 ]
}
# As Windows does with a USB adapter, the port leaves the system's list with the device.
start=$(date +%s%N)
echo unplug >&"$sim_fd"
wine reg delete "$ports" /v '\Device\KvzSim0' /f >/dev/null 2>&1
if wait_for 20 lamp '#FF0000'; then
  echo "red lamp $((($(date +%s%N) - start) / 1000000)) ms after the detector went"
else
  fail "the lamp did not turn red when the detector went"
fi
echo replug >&"$sim_fd"
wine reg add "$ports" /v '\Device\KvzSim0' /t REG_SZ /d COM5 /f >/dev/null 2>&1
start=$(date +%s%N)
if wait_for 30 lamp '#00FF00'; then
  echo "green lamp $((($(date +%s%N) - start) / 1000000)) ms after the detector came back"
else
  fail "the program did not connect by itself when the detector came back"
fi

step "F1 in the main window"
manual_shot=${shot%.png}-manual.png
xdotool search --onlyvisible --name '^KVz - 03' windowfocus --sync key F1 2>/dev/null || true
if wait_for 30 eval 'xdotool search --onlyvisible --name "^Руководство оператора" >/dev/null 2>&1'; then
  import -display "$DISPLAY" -window root "$manual_shot"
  echo "the manual's window: screenshot $manual_shot"
else
  fail "F1 in the main window opened no manual"
fi

close_program

step "upgrades"
wine "$setup" /S >/dev/null 2>&1 || fail "the second install exited with $?"
check_installed "$program"
wine "$program/Uninstall.exe" /S >/dev/null 2>&1
wait_for 60 gone "$program" || fail "the uninstaller left $program"
# NSIS takes /D= as the last argument, unquoted.
wine "$setup" /S '/D=C:\Detector' >/dev/null 2>&1 || fail "the install into C:\\Detector failed"
wine "$setup" /S >/dev/null 2>&1 || fail "the install over C:\\Detector failed"
check_installed "$c/Detector"
[ -e "$program" ] && fail "the upgrade went into Program Files, not where the program was"

step "silent uninstall"
# The uninstaller copies itself away and runs from there: wait for what it removes.
wine "$c/Detector/Uninstall.exe" /S >/dev/null 2>&1
wait_for 60 gone "$c/Detector" || fail "the uninstaller left $c/Detector"
for f in "$start_menu" "$desktop"; do [ -e "$f" ] && fail "the uninstaller left $f"; done
wine reg query "$entry" /reg:64 >/dev/null 2>&1 && fail "the uninstaller left $entry"
[ -n "$ini" ] && [ -f "$ini" ] || fail "the uninstaller removed the operator's settings"

step "a copy for one user, and the program running"
local_app=${ini%/kvz03/kvzport.ini}
mine=$local_app/Programs/KVZ-03
user_links=("$local_app/../Roaming/Microsoft/Windows/Start Menu/Programs/KVZ-03.lnk"
  "$local_app/../../Desktop/KVZ-03.lnk")
user_entry=${entry/HKLM/HKCU}
wine "$setup" /S /CurrentUser >/dev/null 2>&1 || fail "the install for one user exited with $?"
for f in "$mine/KVZApp.exe" "${user_links[@]}"; do [ -f "$f" ] || fail "no $f"; done
wine reg query "$user_entry" /reg:64 >/dev/null 2>&1 || fail "no entry $user_entry"
only_simulated_port
(cd "$mine" && exec wine KVZApp.exe >>"$work/app.log" 2>&1) &
disown $!
wait_for 60 eval 'xdotool search --name "^KVz - 03" >/dev/null 2>&1' || fail "the program did not start"
stamp=$(stat -c %Y "$mine/KVZApp.exe")
# expect_refusal WHAT COMMAND...: exits with 3, the program and its entry as they were.
expect_refusal() {
  local what=$1 code=0
  shift
  "$@" >/dev/null 2>&1 || code=$?
  echo "$what while the program runs: exit code $code"
  [ "$code" -eq 3 ] || fail "$what while the program runs exited with $code, not 3"
  [ "$(stat -c %Y "$mine/KVZApp.exe" 2>/dev/null)" = "$stamp" ] || fail "$what touched the program"
  wine reg query "$user_entry" /reg:64 >/dev/null 2>&1 || fail "$what removed $user_entry"
}
expect_refusal "the install" wine "$setup" /S /CurrentUser
# _?= keeps the uninstaller in place, so its exit code is the one that counts.
expect_refusal "the uninstall" wine "$mine/Uninstall.exe" /S "_?=$(winepath -w "$mine")"
[ -e "$mine/kvzport.ini" ] && fail "the copy for one user wrote its settings beside itself"
close_program
wine "$setup" /S >/dev/null 2>&1 || fail "the upgrade of the copy for one user exited with $?"
[ -e "$program" ] && fail "the upgrade of the copy for one user went to Program Files"
wine "$mine/Uninstall.exe" /S >/dev/null 2>&1
wait_for 60 gone "$mine" || fail "the uninstaller left $mine:" "$(ls "$mine")"
for f in "${user_links[@]}"; do [ -e "$f" ] && fail "the uninstaller left $f"; done
wine reg query "$user_entry" /reg:64 >/dev/null 2>&1 && fail "the uninstaller left $user_entry"
[ -f "$ini" ] || fail "the uninstaller removed the operator's settings"

step "Windows 7"
wine reg add 'HKCU\Software\Wine' /v Version /d win7 /f >/dev/null 2>&1
code=0
wine "$setup" /S >/dev/null 2>&1 || code=$?
echo "the installer on Windows 7: exit code $code"
[ "$code" -eq 4 ] && [ ! -e "$program" ] || fail "the installer did not refuse Windows 7"

if [ "$status" -ne 0 ]; then
  echo "--- program output" >&2
  cat "$work/portable.log" "$work/app.log" >&2
else
  echo "wine-smoke: all checks passed"
fi
exit "$status"
