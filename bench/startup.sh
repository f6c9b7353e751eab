#!/usr/bin/env bash
# Start-up figures of the program against the simulated detector: time from process start to the
# main window on screen, and peak resident memory once the detector is connected.
# Usage: bench/startup.sh [build-dir] [runs]   (uses an Xvfb display of its own when none is set)
set -euo pipefail
build="$(realpath "${1:-build}")"
runs="${2:-5}"
work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
  export DISPLAY=:87
  Xvfb "$DISPLAY" -screen 0 1280x800x24 >/dev/null 2>&1 &
  pids+=($!)
  sleep 1
fi

cp "$build/KVZApp" "$work/KVZApp"
"$build/kvz03-sim" --demo --link "$work/port" --verbose </dev/null >/dev/null 2>>"$work/traffic" &
pids+=($!)
for _ in $(seq 50); do [ -e "$work/port" ] && break; sleep 0.1; done

for run in $(seq "$runs"); do
  printf 'COMName=%s\r\n' "$work/port" >"$work/kvzport.ini"
  : >"$work/traffic"
  start=$(date +%s%N)
  "$work/KVZApp" &
  app=$!
  until xdotool search --onlyvisible --name "KVz - 03" >/dev/null 2>&1; do sleep 0.005; done
  shown=$(date +%s%N)
  # Connected once the readiness request ("R", 0x52) has come in and been answered.
  for _ in $(seq 100); do grep -q -- "<- 52" "$work/traffic" && break; sleep 0.05; done
  sleep 0.5
  peak=$(awk '/VmHWM/ {print $2, $3}' "/proc/$app/status")
  kill "$app"
  wait "$app" 2>/dev/null || true
  echo "run $run: main window shown after $(((shown - start) / 1000000)) ms; peak resident memory after connect: $peak"
done
