#!/usr/bin/env bash
# A short fixed-time fuzz run of the frame extraction and dispatch and of the settings loader.
# FUZZ_SECONDS sets the time per target (default 30).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-30}"

cmake --preset fuzz >/dev/null
cmake --build build-fuzz

corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
mkdir -p "$corpus/frames" "$corpus/settings"
printf '\x0a[$%%]Me{#&}\x10[$%%]W\x00\xf4\x01\x38\xff3y{#&}' >"$corpus/frames/seed"
printf 'COMName=COM3\r\nCOMSpeed=921600\r\nCOMByteSize=8\r\nCOMParity=0\r\nCOMStopBits=0\r\n' \
  >"$corpus/settings/seed"

build-fuzz/FuzzFrames -max_total_time="$seconds" -dict=tests/fuzz/frames.dict -print_final_stats=1 \
  "$corpus/frames"
build-fuzz/FuzzSettings -max_total_time="$seconds" -print_final_stats=1 "$corpus/settings"
