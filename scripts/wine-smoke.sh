#!/usr/bin/env bash
# The Windows program itself under Wine on a virtual screen: a fresh Wine prefix, a simulated
# detector behind COM5 that the registry port list shows, and build-windows/KVZApp.exe started
# from a folder of its own without a settings file. Passes when the program has found the
# detector by its search (it saved kvzport.ini beside itself naming COM5) and the lamp on the
# screen is green; the screenshot stays for a look.
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
exe=$root/build-windows/KVZApp.exe
[ -f "$exe" ] || { echo "no $exe: run scripts/windows.sh first" >&2; exit 1; }

work=$(mktemp -d /tmp/kvz03-wine-smoke.XXXXXX)
export WINEPREFIX=$work/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset WAYLAND_DISPLAY
xvfb_pid=
sim_pid=
app_pid=
server_started=0

# shellcheck disable=SC2317  # runs from the EXIT trap
cleanup() {
  if [ "$server_started" -eq 1 ]; then wineserver -k 2>/dev/null || true; fi
  local pid
  for pid in $app_pid $sim_pid $xvfb_pid; do kill "$pid" 2>/dev/null || true; done
  for pid in $app_pid $sim_pid $xvfb_pid; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

step() { printf '== %s\n' "$*"; }

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

sim=$native/kvz03-sim
if [ ! -x "$sim" ]; then
  step "building kvz03-sim in $native"
  [ -f "$native/CMakeCache.txt" ] || cmake -S "$root" -B "$native" -G Ninja >/dev/null
  cmake --build "$native" --target kvz03-sim
fi

step "virtual screen"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
wait_for 30 test -s "$work/display" || { cat "$work/xvfb.log" >&2; exit 1; }
DISPLAY=:$(cat "$work/display")
export DISPLAY

step "fresh Wine prefix $WINEPREFIX"
mkdir -p "$WINEPREFIX"
wineboot --init >/dev/null 2>&1
wineserver --wait
wineserver -p5
server_started=1
# Returns once the session's services run: the device manager has laid out its COM links and the
# registry port list by then, and both are replaced below.
wine cmd /c exit >/dev/null 2>&1
find "$WINEPREFIX/dosdevices" -maxdepth 1 -name 'com*' -type l -delete

step "simulated detector on COM5"
mkfifo "$work/sim.in"
"$sim" --link "$WINEPREFIX/dosdevices/com5" --demo --demo-interval 1500 \
  <"$work/sim.in" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
exec {sim_fd}>"$work/sim.in"
wait_for 10 test -L "$WINEPREFIX/dosdevices/com5" || { cat "$work/sim.err" >&2; exit 1; }
ports='HKLM\HARDWARE\DEVICEMAP\SERIALCOMM'
# The key is missing when Wine found no serial port on this machine: nothing to empty then. It is
# volatile, so only its values go: a key made anew by reg would not be.
if wine reg query "$ports" >/dev/null 2>&1; then wine reg delete "$ports" /va /f >/dev/null 2>&1; fi
wine reg add "$ports" /v '\Device\KvzSim0' /t REG_SZ /d COM5 /f >/dev/null 2>&1

step "KVZApp.exe from a folder of its own"
mkdir "$work/app"
cp "$exe" "$work/app/"
(cd "$work/app" && exec wine KVZApp.exe >"$work/app.log" 2>&1) &
app_pid=$!
# Ended by the Wine server at exit, which kills it: no job report for that.
disown "$app_pid"

status=0
if wait_for 120 grep -qs 'COM5' "$work/app/kvzport.ini"; then
  echo "kvzport.ini: $(tr '\r\n' '  ' <"$work/app/kvzport.ini")"
else
  echo "the program saved no kvzport.ini naming COM5" >&2
  status=1
fi
# Time for the demo's first measurements to reach the window.
sleep 8
mkdir -p "$(dirname "$shot")"
import -display "$DISPLAY" -window root "$shot"
green=$(convert "$shot" -fill black +opaque '#00FF00' -fill white -opaque '#00FF00' \
  -format '%[fx:round(mean*w*h)]' info:)
echo "screenshot $shot: $green pixels of the lamp's green"
if [ "$green" -lt 50 ]; then
  echo "no green lamp on the screen" >&2
  status=1
fi
if [ "$status" -ne 0 ]; then
  echo "--- program output" >&2
  cat "$work/app.log" >&2
fi
exec {sim_fd}>&-
exit "$status"
