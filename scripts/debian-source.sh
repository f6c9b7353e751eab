# Sourced by the scripts that build something for Windows from Debian's own source packages
# (qt-windows.sh, sqlite-windows.sh).
#
#   build_once <prefix> <stamp>
#
# Two builds into one folder would wreck each other: waits for any other build into <prefix>, and
# when that one completed it (<stamp> is there), ends the calling script with <prefix> on stdout,
# as a build of its own would. The lock is held until the calling script ends.
#
#   debian_source <tool> <package> <version> <work folder>
#
# Fetches the package's source into the work folder, made anew, and prints the unpacked folder.
# When apt knows no source of that version, the machine's own Debian entries are added as source
# entries first, so the mirror and suites stay whatever this machine uses. Messages name <tool>.

build_once() {
  local prefix=$1 stamp=$2
  mkdir -p "$(dirname "$prefix")"
  exec {build_once_lock}>"$prefix.lock"
  flock "$build_once_lock"
  if [ -f "$stamp" ]; then
    echo "$prefix"
    exit 0
  fi
}

debian_source() {
  local tool=$1 package=$2 version=$3 work=$4
  local system_sources=/etc/apt/sources.list.d/debian.sources
  local own_sources=/etc/apt/sources.list.d/kvz03-deb-src.sources
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  if ! apt-cache showsrc "$package" 2>/dev/null | grep -q "^Version: $version"; then
    [ -f "$system_sources" ] ||
      { echo "$tool: no $system_sources to derive a source entry from" >&2; return 1; }
    printf '== %s\n' "adding the source entries $own_sources" >&2
    sed 's/^Types:[[:space:]]*deb[[:space:]]*$/Types: deb-src/' "$system_sources" |
      "${sudo[@]}" tee "$own_sources" >/dev/null
    grep -q '^Types: deb-src$' "$own_sources" ||
      { echo "$tool: $system_sources has no deb entry" >&2; return 1; }
    "${sudo[@]}" apt-get update -qq
  fi

  rm -rf "$work"
  mkdir -p "$work"
  printf '== %s\n' "fetching the $package source into $work" >&2
  (cd "$work" && apt-get source -qq "$package" >/dev/null 2>"$work/source.log") ||
    { cat "$work/source.log" >&2; return 1; }
  local src
  src=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name "$package-*" | head -n1)
  [ -n "$src" ] || { echo "$tool: apt-get source left no $package folder" >&2; return 1; }
  echo "$src"
}
