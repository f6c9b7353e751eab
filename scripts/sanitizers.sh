#!/usr/bin/env bash
# Builds the device link, the simulated detector and their tests with AddressSanitizer+UBSan and
# with ThreadSanitizer, and runs the tests under each.
set -euo pipefail
cd "$(dirname "$0")/.."

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

status=0
for kind in address thread; do
  dir="build-$kind"
  echo "== $kind sanitizer"
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKVZ_SANITIZE="$kind" \
    -DKVZ_DEVICE_ONLY=ON -DKVZ_BUILD_BENCH=OFF >/dev/null
  cmake --build "$dir"
  # Some kernels randomise mmap more than ThreadSanitizer's shadow memory allows; setarch -R
  # turns address randomisation off for the test processes only.
  runner=()
  [ "$kind" = thread ] && runner=(setarch "$(uname -m)" -R)
  (cd "$dir" && "${runner[@]}" ctest -j2 --output-on-failure) || status=1
done
exit $status
