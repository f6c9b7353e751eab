#!/usr/bin/env bash
# A static Qt for 64-bit Windows, built once from Debian's own qt6-base source package with the
# project's mingw-w64 toolchain, and reused from then on. Debian's native Qt tools (moc, rcc, uic)
# serve as its host tools, so only the target libraries and plugins are built here.
#
#   scripts/qt-windows.sh
#
# The Qt lands in $KVZ_QT_WINDOWS (default: ${XDG_CACHE_HOME:-$HOME/.cache}/kvz03/qt-windows-6.4.2),
# outside the work tree so that a fresh clone or a removed build folder keeps it. A stamp in that
# folder is written only after a complete install; without it the folder is built anew. Progress
# goes to stderr; the last line on stdout is the Qt folder, for `qt=$(scripts/qt-windows.sh)`.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
qt_version=6.4.2
cache=${XDG_CACHE_HOME:-${HOME:-/root}/.cache}/kvz03
prefix=$(realpath -m "${KVZ_QT_WINDOWS:-$cache/qt-windows-$qt_version}")
stamp=$prefix/kvz03-qt-complete

step() { printf '== %s\n' "$*" >&2; }

source "$root/scripts/debian-source.sh"
build_once "$prefix" "$stamp"

bash "$root/scripts/setup.sh" >&2

# --- the source package -------------------------------------------------------------------------
work=$prefix.work
src=$(debian_source qt-windows qt6-base "$qt_version" "$work")
grep -q "QT_REPO_MODULE_VERSION \"$qt_version\"" "$src/.cmake.conf" ||
  { echo "qt-windows: $src is not Qt $qt_version" >&2; exit 1; }

# The installed Qt keeps the path of the toolchain it was built with: a copy beside it stays valid
# when the work tree moves.
mkdir -p "$prefix"
cp "$root/cmake/mingw-w64.cmake" "$prefix/mingw-w64.cmake"

# --- configure, build, install ------------------------------------------------------------------
# Debian's source leaves out the Wintab headers, hence no tablet events. The Windows platform
# plugin of this version does not compile without OpenGL, so OpenGL stays, loaded at run time.
step "configuring Qt $qt_version for Windows"
start=$(date +%s)
cmake -S "$src" -B "$work/build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$prefix/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DQT_HOST_PATH=/usr \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DBUILD_SHARED_LIBS=OFF \
  -DQT_BUILD_EXAMPLES=OFF \
  -DQT_BUILD_TESTS=OFF \
  -DFEATURE_network=OFF \
  -DFEATURE_sql=OFF \
  -DFEATURE_dbus=OFF \
  -DFEATURE_concurrent=OFF \
  -DFEATURE_xml=OFF \
  -DFEATURE_testlib=ON \
  -DFEATURE_printsupport=ON \
  -DFEATURE_tabletevent=OFF \
  -DFEATURE_opengl=ON \
  -DINPUT_opengl=desktop \
  >"$work/configure.log" 2>&1 || { tail -n 60 "$work/configure.log" >&2; exit 1; }

step "building Qt (some 20 minutes on two cores; log: $work/build.log)"
nice cmake --build "$work/build" >"$work/build.log" 2>&1 || { tail -n 60 "$work/build.log" >&2; exit 1; }
cmake --install "$work/build" >"$work/install.log" 2>&1 || { tail -n 60 "$work/install.log" >&2; exit 1; }

printf 'Qt %s for Windows, built in %d s from %s\n' "$qt_version" "$(($(date +%s) - start))" \
  "$(basename "$src")" >"$stamp"
rm -rf "$work"
step "Qt for Windows ready in $prefix"
echo "$prefix"
