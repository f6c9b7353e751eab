#!/usr/bin/env bash
# Installs what is needed, builds, and starts the program against the simulated detector playing
# its demo. The program runs from a copy in build/demo/, so its settings file lives there and no
# other installation's files are touched.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset default
cmake --build build

demo="$PWD/build/demo"
mkdir -p "$demo"
cp build/KVZApp "$demo/KVZApp"
port="$demo/kvz03-port"
printf 'COMName=%s\r\nCOMSpeed=921600\r\nCOMByteSize=8\r\nCOMParity=0\r\nCOMStopBits=0\r\n' \
  "$port" >"$demo/kvzport.ini"

build/kvz03-sim --demo --link "$port" </dev/null >/dev/null &
sim=$!
trap 'kill "$sim" 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "$port" ] && break; sleep 0.1; done
"$demo/KVZApp"
