#!/usr/bin/env bash
# Runs the test suite under AddressSanitizer+UBSan (the whole program) and under ThreadSanitizer
# (the layers without Qt: the device link and the register, whose threads are where races could
# live; Qt itself is not built for ThreadSanitizer, so its windows would only add false reports).
set -euo pipefail
cd "$(dirname "$0")/.."

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
export QT_QPA_PLATFORM=offscreen

status=0
run() {
  local kind="$1" dir="build-$1"
  echo "== $kind sanitizer"
  cmake --preset "$kind" >/dev/null
  cmake --build "$dir"
  # Some kernels randomise mmap more than ThreadSanitizer's shadow memory allows; setarch -R
  # turns address randomisation off for the test processes only.
  local runner=()
  [ "$kind" = thread ] && runner=(setarch "$(uname -m)" -R)
  # The install checks stage and package the program; they test no code of ours.
  (cd "$dir" && "${runner[@]}" ctest -j2 --output-on-failure -LE install) || status=1
}

run address
run thread
exit $status
