#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the extra CI stages need.
# Safe to run again: with everything there it asks apt nothing. Each name must be a real package,
# not one that another only provides, which would count as missing on every run; setup fails on
# such a name.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ clang clang-format clang-tidy pkg-config
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  # line coverage
  gcovr
  # sanitizers and libFuzzer runtimes for clang
  libclang-rt-14-dev
  # the program
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-translations-l10n
  libgl-dev fonts-liberation fonts-wine
  # the protocol register
  libsqlite3-dev
  # what the print service says of printers and jobs (libcups, which Qt's printing uses too)
  libcups2-dev
  # checking the installed menu entry, AppStream data and the Debian package (CPack finds the
  # binaries to hand to dpkg-shlibdeps with file)
  desktop-file-utils appstream dpkg-dev file lintian
  # looking at windows and printed pages without a display
  xvfb xauth xdotool poppler-utils imagemagick
  # reading the window as a screen reader does (bench/search-answer.sh)
  at-spi2-core dbus-x11 python3-pyatspi
  # the Wine stages (scripts/wine-tests.py, scripts/wine-smoke.py, bench/wine-startup.py)
  python3
  # the Windows device link: cross compiler and Wine to run its tests
  g++-mingw-w64-x86-64-posix wine wine64
  # the Windows program: scripts/qt-windows.sh builds Qt from Debian's source package (fetched
  # with dpkg-dev, above) against the native Qt tools; Qt's Russian texts come from
  # qt6-translations-l10n, also above
  perl
  # and its SQLite: scripts/sqlite-windows.sh generates the amalgamation from Debian's sqlite3
  # source package with the source tree's Tcl scripts
  tcl
  # its installer
  nsis
  # the printing check: a CUPS daemon of its own with the generic PDF printer's PPD
  cups cups-filters printer-driver-cups-pdf
  # the fresh-machine check: a minimal Debian system to run the tests in
  debootstrap
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  as_root apt-get update -qq
  as_root apt-get install -y -qq --no-install-recommends "${missing[@]}"
  for p in "${missing[@]}"; do
    installed "$p" || { echo "setup: apt installed no package named $p" >&2; exit 1; }
  done
fi
