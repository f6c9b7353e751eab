#!/usr/bin/env bash
# Builds the Linux programs that the Windows stages run on the build machine (the picture
# renderer, the simulated detector) in a native build folder, configuring it first when it is
# new. Targets that are up to date cost nothing, so a stale copy is never used.
#
#   scripts/native-tools.sh NATIVE-BUILD-DIR TARGET...
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
native=$(realpath -m "$1")
shift
if [ ! -f "$native/CMakeCache.txt" ]; then
  if [ "$native" = "$root/build" ]; then
    (cd "$root" && cmake --preset default >/dev/null)
  else
    cmake -S "$root" -B "$native" -G Ninja >/dev/null
  fi
fi
cmake --build "$native" --target "$@"
