#!/usr/bin/env bash
# The Windows program and all its tests under Wine: cross-builds everything into build-windows/
# (scripts/windows.sh, the same build the executable comes from), maps COM ports to simulated
# detectors on Linux pseudo-terminals, and runs ctest there with Qt's offscreen platform. Exits
# with ctest's status.
#
#   scripts/wine-tests.sh [native-build-dir [ctest options...]]     (default: build/)
#
# The simulator is a Linux program from the native build; it is brought up to date there. Only
# the COM ports made here (COM21..COM24, COM31..COM33) are ever opened: Wine maps the machine's
# own serial ports, the console among them, to other COM names that the tests never touch.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
native=$(realpath -m "${1:-$root/build}")
shift $(($# > 0))
cross=$root/build-windows

export WINEPREFIX=${KVZ_WINEPREFIX:-/tmp/kvz03-wine}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

work=$(mktemp -d /tmp/kvz03-wine-tests.XXXXXX)
pids=()
links=()
declare -A sim_stdin
idle_pid=
idle_fd=
pdftotext_fd=
server_started=0

# shellcheck disable=SC2317  # runs from the EXIT trap
cleanup() {
  # Wine goes first: ending the simulators under a running server made it dump its whole object
  # table into the log.
  if [ -n "$idle_pid" ]; then
    exec {idle_fd}>&-
    kill "$idle_pid" 2>/dev/null || true
  fi
  # The server of this prefix was started here; ending it ends whatever Wine process is left.
  if [ "$server_started" -eq 1 ]; then wineserver -k 2>/dev/null || true; fi
  # Without a writer the pdftotext relay reads the end of its pipe and stops.
  if [ -n "$pdftotext_fd" ]; then exec {pdftotext_fd}>&-; fi
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}" $idle_pid; do wait "$pid" 2>/dev/null || true; done
  rm -f "${links[@]}"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

step() { printf '== %s\n' "$*"; }

# --- the simulator, from the native build -----------------------------------------------------
sim=$native/kvz03-sim
step "kvz03-sim in $native"
bash "$root/scripts/native-tools.sh" "$native" kvz03-sim

# --- the cross build --------------------------------------------------------------------------
bash "$root/scripts/windows.sh" "$native"
step "the tests for Windows in $cross"
cmake --build "$cross"

# --- Wine -------------------------------------------------------------------------------------
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  step "creating the Wine prefix $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  wineboot --init >/dev/null 2>&1
  wineserver --wait
fi
step "starting Wine"
wineserver -p5
server_started=1
# One Wine process kept alive holds the session open; without it every test pays for Wine's
# start-up, some 2.5 s. Its stdin is a pipe that never delivers, so "pause" waits until killed.
mkfifo "$work/idle.in"
wine cmd /c pause <"$work/idle.in" >/dev/null 2>&1 &
idle_pid=$!
exec {idle_fd}>"$work/idle.in"
# Returns once the session's services run, so the device manager has laid out its own COM links
# before ours are made.
wine cmd /c exit >/dev/null 2>&1

# --- simulated detectors on COM ports ----------------------------------------------------------
# start_sim COM VARIABLE [sim options...]: the detector's pty becomes COM (a dosdevices link the
# simulator keeps), VARIABLE (if not empty) names it for the tests, and the simulator's stdin
# stays open here, so that the tests' own writes into it never end it.
start_sim() {
  local com=$1 variable=$2
  shift 2
  local link=$WINEPREFIX/dosdevices/${com,,}
  mkfifo "$work/$com.in"
  "$sim" --link "$link" "$@" <"$work/$com.in" >"$work/$com.out" 2>"$work/$com.err" &
  pids+=($!)
  links+=("$link")
  local fd
  exec {fd}>"$work/$com.in"
  sim_stdin[$com]=$fd
  local i
  for ((i = 0; i < 100; i++)); do
    [ -s "$work/$com.out" ] && [ -L "$link" ] && break
    sleep 0.05
  done
  if ! [ -L "$link" ]; then
    echo "kvz03-sim for $com did not start:" >&2
    cat "$work/$com.err" >&2
    exit 1
  fi
  if [ -n "$variable" ]; then export "$variable=$com"; fi
  echo "$com -> $(head -n1 "$work/$com.out")"
}

# sim_command COM LINE: one stdin command, waiting for its answer.
sim_command() {
  local com=$1 line=$2
  local before
  before=$(wc -l <"$work/$com.out")
  echo "$line" >&"${sim_stdin[$com]}"
  local i
  for ((i = 0; i < 100; i++)); do
    [ "$(wc -l <"$work/$com.out")" -gt "$before" ] && break
    sleep 0.05
  done
  tail -n1 "$work/$com.out" | grep -qx ok || { echo "kvz03-sim $com: '$line' failed" >&2; exit 1; }
}

step "simulated detectors"
start_sim COM21 KVZ_WINE_SIM_PORT
start_sim COM22 KVZ_WINE_SILENT_PORT
sim_command COM22 "silent 1"
start_sim COM23 KVZ_WINE_DEMO_PORT --demo --demo-interval 100
# The tests unplug and replug this one themselves, writing commands into its stdin pipe.
start_sim COM24 KVZ_WINE_UNPLUG_PORT
export KVZ_WINE_UNPLUG_CONTROL="Z:${work//\//\\}\\COM24.in"
# The window tests borrow these one at a time and set each up as they need it.
pool=(COM31 COM32 COM33)
for com in "${pool[@]}"; do start_sim "$com" ""; done
export KVZ_WINE_SIM_POOL="${pool[*]}"
export KVZ_WINE_SIM_DIR="Z:${work//\//\\}"

# pdftotext for the report tests, which cannot read a Linux program's output under Wine: each
# line in the pipe names a PDF, and its words come back beside it as NAME.bbox, renamed into
# place once whole (empty when pdftotext failed, which it explains on stderr here).
mkfifo "$work/pdftotext.in"
while IFS= read -r pdf; do
  pdftotext -bbox -l 1 "$pdf" "$pdf.part" || : >"$pdf.part"
  mv "$pdf.part" "$pdf.bbox"
done <"$work/pdftotext.in" &
pids+=($!)
exec {pdftotext_fd}>"$work/pdftotext.in"
export KVZ_WINE_PDFTOTEXT="Z:${work//\//\\}\\pdftotext.in"

# --- the tests --------------------------------------------------------------------------------
step "ctest under Wine"
status=0
(cd "$cross" && ctest --output-on-failure --no-tests=error --timeout 60 "$@") || status=$?
exit "$status"
