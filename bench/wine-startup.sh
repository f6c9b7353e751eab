#!/usr/bin/env bash
# Start-up of the Windows program under Wine, warm: time from `wine KVZApp.exe` to its main window
# on screen, with a simulated detector on COM5 and the program's files beside it, as a portable
# copy keeps them. One untimed run first fills Wine's and the system's caches; the figure is the
# median of the timed runs. A prefix, a virtual screen and a Wine session of its own, all ended
# on exit.
#
#   bench/wine-startup.sh [native-build-dir] [runs]      (defaults: build 5)
#
# Needs build-windows/KVZApp.exe (scripts/windows.sh) and kvz03-sim in the native build.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
native=$(realpath -m "${1:-$root/build}")
runs=${2:-5}
exe=$root/build-windows/KVZApp.exe
[ -f "$exe" ] || { echo "no $exe: run scripts/windows.sh first" >&2; exit 1; }

work=$(mktemp -d /tmp/kvz03-wine-startup.XXXXXX)
export WINEPREFIX=$work/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
pids=()
idle_fd=
server_started=0

# shellcheck disable=SC2317  # runs from the EXIT trap
cleanup() {
  if [ -n "$idle_fd" ]; then exec {idle_fd}>&-; fi
  if [ "$server_started" -eq 1 ]; then wineserver -k 2>/dev/null || true; fi
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

bash "$root/scripts/native-tools.sh" "$native" kvz03-sim >/dev/null

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 300); do [ -s "$work/display" ] && break; sleep 0.1; done
DISPLAY=:$(cat "$work/display")
export DISPLAY

mkdir -p "$WINEPREFIX"
wineboot --init >/dev/null 2>&1
wineserver --wait
wineserver -p5
server_started=1
wine reg add 'HKCU\Software\Wine' /v Version /d win10 /f >/dev/null 2>&1
# A Wine process kept alive holds the session open, as an operator's logged-in desktop does.
mkfifo "$work/idle.in"
wine cmd /c pause <"$work/idle.in" >/dev/null 2>&1 &
pids+=($!)
exec {idle_fd}>"$work/idle.in"

find "$WINEPREFIX/dosdevices" -maxdepth 1 -name 'com*' -type l -delete
"$native/kvz03-sim" --demo --link "$WINEPREFIX/dosdevices/com5" </dev/null >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -L "$WINEPREFIX/dosdevices/com5" ] && break; sleep 0.05; done
ports='HKLM\HARDWARE\DEVICEMAP\SERIALCOMM'
if wine reg query "$ports" >/dev/null 2>&1; then wine reg delete "$ports" /va /f >/dev/null 2>&1; fi
wine reg add "$ports" /v '\Device\KvzSim0' /t REG_SZ /d COM5 /f >/dev/null 2>&1

folder=$WINEPREFIX/drive_c/KVZ
mkdir -p "$folder"
cp "$exe" "$folder/"
printf 'COMName=COM5\r\n' >"$folder/kvzport.ini"

# start_once: milliseconds from the start to the main window, then the program is closed.
start_once() {
  local start shown
  start=$(date +%s%N)
  (cd "$folder" && exec wine KVZApp.exe >/dev/null 2>&1) &
  local app=$!
  until xdotool search --onlyvisible --name '^KVz - 03' >/dev/null 2>&1; do
    (($(date +%s%N) - start < 60000000000)) || { echo "no main window after 60 s" >&2; exit 1; }
    sleep 0.005
  done
  shown=$(date +%s%N)
  sleep 1
  wine taskkill /im KVZApp.exe >/dev/null 2>&1 || true
  wait "$app" 2>/dev/null || true
  while pgrep -f 'KVZApp[.]exe' >/dev/null; do sleep 0.05; done
  echo $(((shown - start) / 1000000))
}

start_once >/dev/null
figures=()
for run in $(seq "$runs"); do
  figures+=("$(start_once)")
  echo "run $run: main window shown after ${figures[-1]} ms"
done
median=$(printf '%s\n' "${figures[@]}" | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}')
echo "median of $runs: ${median} ms"
