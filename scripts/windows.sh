#!/usr/bin/env bash
# The program for 64-bit Windows: one self-contained build-windows/KVZApp.exe and its installer
# build-windows/kvz03-setup-<version>.exe.
#
#   scripts/windows.sh [native-build-dir]     (default: build/)
#
# Installs the packages, builds the static Windows Qt the first time (scripts/qt-windows.sh, some
# 20 minutes; later runs reuse it) and generates SQLite's amalgamation (scripts/sqlite-windows.sh,
# under a minute, also once), builds the native picture renderer in the native build, then
# cross-builds the program and checks that the executable is a GUI program that needs nothing
# but Windows' own DLLs, then packs it into the installer with NSIS.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
native=$(realpath -m "${1:-$root/build}")
cross=$root/build-windows

step() { printf '== %s\n' "$*"; }

bash "$root/scripts/setup.sh"
qt=$(bash "$root/scripts/qt-windows.sh" | tail -n1)
step "Qt for Windows: $qt"
sqlite=$(bash "$root/scripts/sqlite-windows.sh" | tail -n1)
step "SQLite for Windows: $sqlite"

step "native picture renderer in $native"
bash "$root/scripts/native-tools.sh" "$native" kvz03-icons

step "cross build in $cross"
work=$(mktemp -d /tmp/kvz03-windows.XXXXXX)
trap 'rm -rf "$work"' EXIT
export KVZ_QT_WINDOWS=$qt KVZ_SQLITE_WINDOWS=$sqlite KVZ_ICON_RENDERER=$native/tools/icons/kvz03-icons
(cd "$root" && cmake --preset windows) >"$work/configure.log" ||
  { cat "$work/configure.log"; exit 1; }
cmake --build "$cross" --target KVZApp
exe=$cross/KVZApp.exe

step "checking $exe"
bash "$root/scripts/check-windows-exe.sh" "$exe"
step "installer"
cmake --build "$cross" --target kvz03-setup
step "done: $exe"
step "done: $(ls "$cross"/kvz03-setup-*.exe)"
