#!/usr/bin/env bash
# Line coverage of the program's code by the whole test suite, per file and in total, from a
# build with gcov's counters (build-coverage/). The report stays in build-coverage/coverage.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset coverage >/dev/null
cmake --build build-coverage
find build-coverage -name '*.gcda' -delete
QT_QPA_PLATFORM=offscreen ctest --test-dir build-coverage -j2 --output-on-failure -LE install
gcovr --root . --object-directory build-coverage --exclude 'build-coverage/' --exclude 'tests/' \
  --exclude 'bench/' --print-summary --txt build-coverage/coverage.txt
