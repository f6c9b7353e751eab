#!/usr/bin/env bash
# The program for 64-bit Windows: one self-contained build-windows/KVZApp.exe.
#
#   scripts/windows.sh [native-build-dir]     (default: build/)
#
# Installs the packages, builds the static Windows Qt the first time (scripts/qt-windows.sh, some
# 20 minutes; later runs reuse it), builds the native picture renderer in the native build, then
# cross-builds the program and checks that the executable is a GUI program that needs nothing
# but Windows' own DLLs.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
native=$(realpath -m "${1:-$root/build}")
cross=$root/build-windows

step() { printf '== %s\n' "$*"; }

bash "$root/scripts/setup.sh"
qt=$(bash "$root/scripts/qt-windows.sh" | tail -n1)
step "Qt for Windows: $qt"

step "native picture renderer in $native"
[ -f "$native/CMakeCache.txt" ] || cmake -S "$root" -B "$native" -G Ninja >/dev/null
cmake --build "$native" --target kvz03-icons

step "cross build in $cross"
work=$(mktemp -d /tmp/kvz03-windows.XXXXXX)
trap 'rm -rf "$work"' EXIT
cmake -S "$root" -B "$cross" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_FIND_ROOT_PATH="$qt" -DCMAKE_PREFIX_PATH="$qt" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DKVZ_ICON_RENDERER="$native/tools/icons/kvz03-icons" \
  -DKVZ_BUILD_TESTS=ON -DKVZ_BUILD_BENCH=OFF >"$work/configure.log" ||
  { cat "$work/configure.log"; exit 1; }
cmake --build "$cross" --target KVZApp
exe=$cross/KVZApp.exe

step "checking $exe"
bash "$root/scripts/check-windows-exe.sh" "$exe"
step "done: $exe"
