#!/usr/bin/env bash
# Runs the checks of .clang-tidy over every C++ file of the default build (build/, built first so
# the generated headers exist); any finding fails.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build build
run-clang-tidy -p build -quiet -j "$(nproc)" \
  "^$root/(app|base|bench|device|dialogs|emulator|protocol|register|report|tests|tools|ui)/" >build/tidy.log 2>&1 ||
  { grep -E -A3 'warning:|error:' build/tidy.log >&2 || cat build/tidy.log >&2; exit 1; }
echo "clang-tidy: no findings"
