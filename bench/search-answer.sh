#!/usr/bin/env bash
# How long the window takes to answer a screen reader while it searches for a missing detector:
# the program starts with no detector and no serial port in the system's list (the list is hidden
# in a mount namespace of its own, so no real port is touched), and bench/atspi-probe.py reads the
# window through the accessibility bus throughout the five seconds the search takes.
# Usage: bench/search-answer.sh [build-dir]   (an Xvfb display and a session bus of its own)
set -euo pipefail
build="$(realpath "${1:-build}")"
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

export DISPLAY=:88
Xvfb "$DISPLAY" -screen 0 1280x800x24 >/dev/null 2>&1 &
pids+=($!)
eval "$(dbus-launch --sh-syntax)"
pids+=("$DBUS_SESSION_BUS_PID")
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
pids+=($!)
sleep 1

cp "$build/KVZApp" "$work/KVZApp"
printf 'COMName=%s\r\n' "$work/absent" >"$work/kvzport.ini"
[ "$(id -u)" -eq 0 ] && namespace=(unshare -m) || namespace=(unshare -rm)
"${namespace[@]}" sh -c 'mount -t tmpfs none /sys/class/tty && exec env \
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$0"' "$work/KVZApp" >/dev/null 2>&1 &
pids+=($!)
/usr/bin/python3 "$here/atspi-probe.py" 7
