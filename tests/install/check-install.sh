#!/usr/bin/env bash
# Checks of the installed program, one per CTest test:
#
#   check-install.sh CHECK BUILD_DIR WORK_DIR
#
#   staged        installs BUILD_DIR into WORK_DIR/stage (prefix /usr, as the package has it) and
#                 compares every file there with the list below
#   desktop_entry the staged menu entry passes desktop-file-validate
#   metainfo      the staged AppStream data passes appstreamcli, alone and with the tree around it
#   udev_rule     the staged udev rule is well formed
#   deb           CPack makes the package in WORK_DIR/deb; right files, fields, scripts; lintian-clean
#
# Everything is written under WORK_DIR; nothing is installed into the system.
set -euo pipefail

check=$1
build=$2
work=$3
stage=$work/stage

app_id=org.kvz03.companion
icon_sizes=(16 24 32 48 64 128 256)
manual=$(dirname "$0")/../../doc/manual

# Every file the installation consists of, relative to the /usr prefix.
expected_files() {
  printf '%s\n' \
    bin/KVZApp \
    bin/kvz03 \
    lib/udev/rules.d/60-kvz03.rules \
    share/applications/kvz03.desktop \
    share/doc/kvz03/changelog.Debian.gz \
    share/doc/kvz03/copyright \
    share/doc/kvz03/manual.html \
    share/lintian/overrides/kvz03 \
    share/man/man1/KVZApp.1.gz \
    share/man/man1/kvz03.1.gz \
    "share/metainfo/$app_id.metainfo.xml" \
    share/icons/hicolor/scalable/apps/kvz03.svg
  for size in "${icon_sizes[@]}"; do
    echo "share/icons/hicolor/${size}x${size}/apps/kvz03.png"
  done
  for picture in "$manual"/pictures/*.png; do
    echo "share/doc/kvz03/pictures/${picture##*/}"
  done
}

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

need() {
  command -v "$1" >/dev/null || fail "$1 is missing (scripts/setup.sh installs it)"
}

# Compares two sorted lists and shows what differs.
same_list() {
  local what=$1 want=$2 got=$3
  if [ "$want" != "$got" ]; then
    echo "$what differ (< expected, > found):" >&2
    diff <(echo "$want") <(echo "$got") >&2 || true
    exit 1
  fi
}

# Width and height from a PNG header: the signature, then IHDR's two 32-bit big-endian numbers.
png_size() {
  local -a b
  read -r -a b < <(od -An -v -tu1 -N24 "$1" | tr '\n' ' ')
  if [ "${#b[@]}" -ne 24 ] || [ "${b[1]}${b[2]}${b[3]}" != 807871 ]; then
    fail "$1 is not a PNG"
  fi
  local width=$(((b[16] << 24) | (b[17] << 16) | (b[18] << 8) | b[19]))
  local height=$(((b[20] << 24) | (b[21] << 16) | (b[22] << 8) | b[23]))
  echo "${width}x${height}"
}

check_staged() {
  rm -rf "$stage"
  DESTDIR=$stage cmake --install "$build" --prefix /usr >"$work/install.log" ||
    { cat "$work/install.log" >&2; fail "cmake --install"; }

  local got
  got=$(cd "$stage" && find . ! -type d | sed 's|^\./||' | sort)
  same_list "installed files" "$(expected_files | sed 's|^|usr/|' | sort)" "$got"

  [ -x "$stage/usr/bin/KVZApp" ] || fail "KVZApp is not executable"
  [ "$(readlink "$stage/usr/bin/kvz03")" = KVZApp ] || fail "bin/kvz03 does not point to KVZApp"
  [ "$(readlink "$stage/usr/share/man/man1/KVZApp.1.gz")" = kvz03.1.gz ] ||
    fail "KVZApp.1.gz does not point to kvz03.1.gz"
  for size in "${icon_sizes[@]}"; do
    local png=$stage/usr/share/icons/hicolor/${size}x${size}/apps/kvz03.png got_size
    got_size=$(png_size "$png")
    [ "$got_size" = "${size}x${size}" ] || fail "$png is $got_size"
  done
  cmp -s "$stage/usr/share/icons/hicolor/scalable/apps/kvz03.svg" \
    "$(dirname "$0")/../../resources/kvz03.svg" ||
    fail "the scalable icon is not resources/kvz03.svg"
}

check_desktop_entry() {
  need desktop-file-validate
  local file=$stage/usr/share/applications/kvz03.desktop out
  # Errors make it exit non-zero; warnings would be ignored by it, but not here. Hints may stay.
  out=$(desktop-file-validate "$file" 2>&1) || { echo "$out" >&2; fail "desktop-file-validate"; }
  if grep -E 'error:|warning:' <<<"$out" >&2; then fail "desktop-file-validate complained"; fi

  # What the menu needs from it, and where the validator has no opinion.
  local -a lines=('Exec=KVZApp' 'Icon=kvz03' 'Terminal=false' 'Type=Application'
    'Name[ru]=KVZ-03' 'Comment[ru]=Электрохимический детектор металлов')
  for line in "${lines[@]}"; do
    grep -q -F -- "$line" "$file" || fail "kvz03.desktop lacks '$line'"
  done
}

check_metainfo() {
  need appstreamcli
  appstreamcli validate --no-net "$stage/usr/share/metainfo/$app_id.metainfo.xml" ||
    fail "appstreamcli validate"
  # The tree check also finds the menu entry the data points to.
  appstreamcli validate-tree --no-net "$stage" || fail "appstreamcli validate-tree"
  # Software centres hide or flag a program without an age rating; the validator does not insist.
  grep -q '<content_rating type="oars-1.1"' "$stage/usr/share/metainfo/$app_id.metainfo.xml" ||
    fail "no content rating"
}

# udev itself checks rules only from version 253 on (udevadm verify); Debian 12 has 252. Without
# it every line must still be a list of KEY[{attr}] OP "value" with keys and operators that udev
# knows and uses as written, and every GOTO must have its LABEL.
check_udev_rule() {
  local file=$stage/usr/lib/udev/rules.d/60-kvz03.rules
  if command -v udevadm >/dev/null && udevadm verify --help >/dev/null 2>&1; then
    udevadm verify --resolve-names=never "$file" || fail "udevadm verify"
  fi

  local match_keys=' ACTION DEVPATH KERNEL KERNELS NAME SYMLINK SUBSYSTEM SUBSYSTEMS DRIVER DRIVERS
    ATTR ATTRS SYSCTL ENV CONST TAG TAGS TEST PROGRAM RESULT '
  local assign_keys=' NAME SYMLINK OWNER GROUP MODE SECLABEL ATTR SYSCTL ENV TAG RUN LABEL GOTO
    IMPORT OPTIONS '
  local keyed=' ATTR ATTRS SYSCTL ENV CONST SECLABEL '
  # Line breaks in the lists become spaces, so that " KEY " finds every key.
  match_keys=${match_keys//[[:space:]]/ } assign_keys=${assign_keys//[[:space:]]/ }
  # KEY, {attr}, operator, "value", then a comma or the end of the line.
  local token='^[[:space:]]*([A-Z_]+)(\{[^}]+\})?[[:space:]]*(==|!=|\+=|-=|:=|=)'
  token+='[[:space:]]*"([^"]*)"[[:space:]]*(,|$)'
  local -a labels=() gotos=()
  local n=0 line rest key op value assigned
  while IFS= read -r line || [ -n "$line" ]; do
    n=$((n + 1))
    [[ $line =~ ^[[:space:]]*(#|$) ]] && continue
    rest=$line assigned=0
    while [ -n "${rest//[[:space:]]/}" ]; do
      [[ $rest =~ $token ]] || fail "line $n: cannot read '$rest'"
      key=${BASH_REMATCH[1]} op=${BASH_REMATCH[3]} value=${BASH_REMATCH[4]}
      if [[ $keyed == *" $key "* ]] && [ -z "${BASH_REMATCH[2]}" ]; then
        fail "line $n: $key needs {name}"
      fi
      case $op in
        == | !=)
          [[ $match_keys == *" $key "* ]] || fail "line $n: $key cannot be matched"
          ;;
        *)
          [[ $assign_keys == *" $key "* ]] || fail "line $n: $key cannot be assigned"
          assigned=1
          ;;
      esac
      [ "$key" = LABEL ] && labels+=("$value")
      [ "$key" = GOTO ] && gotos+=("$value")
      rest=${rest:${#BASH_REMATCH[0]}}
    done
    # A rule of matches only does nothing: udev would say so and drop it.
    [ $assigned -eq 1 ] || fail "line $n: no assignment"
  done <"$file"

  for goto in "${gotos[@]}"; do
    [[ " ${labels[*]} " == *" $goto "* ]] || fail "GOTO=\"$goto\" has no LABEL"
  done
  # What the rule is for.
  grep -q -E '^[^#]*TAG\+="uaccess"' "$file" || fail "no uaccess tag"
  grep -q -E '^[^#]*ENV\{ID_MM_DEVICE_IGNORE\}="1"' "$file" || fail "ModemManager is not told off"
}

# A maintainer script runs with a PATH that has no udevadm, and with one whose udevadm fails and
# logs its arguments: neither may fail the installation, and the second must have been asked for
# each of the calls given after the action.
check_maintainer_script() {
  local script=$1 action=$2 bin=$work/deb/fake-bin call
  shift 2
  sh -n "$script" || fail "$script does not parse"
  rm -rf "$bin" && mkdir -p "$bin"
  local name
  name=$(basename "$script")
  PATH=$bin /bin/sh "$script" "$action" || fail "$name $action fails without udevadm"
  printf '#!/bin/sh\necho "$@" >>"%s/udevadm.calls"\nexit 1\n' "$bin" >"$bin/udevadm"
  chmod +x "$bin/udevadm"
  PATH=$bin /bin/sh "$script" "$action" || fail "$name $action fails with udevadm failing"
  for call in "$@"; do
    grep -q -e "$call" "$bin/udevadm.calls" || fail "$name does not call udevadm $call"
  done
}

check_deb() {
  need cpack
  need dpkg-deb
  need lintian
  local out=$work/deb
  rm -rf "$out" && mkdir -p "$out"
  (cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1) ||
    { cat "$out/cpack.log" >&2; fail "cpack"; }
  local -a debs=("$out"/kvz03_*.deb)
  if [ "${#debs[@]}" -ne 1 ] || [ ! -f "${debs[0]}" ]; then fail "cpack made no kvz03_*.deb"; fi
  local deb=${debs[0]}

  local got
  got=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./||' | sort)
  same_list "packaged files" "$(expected_files | sed 's|^|usr/|' | sort)" "$got"

  [ "$(dpkg-deb -f "$deb" Package)" = kvz03 ] || fail "package name"
  [ -n "$(dpkg-deb -f "$deb" Version)" ] || fail "no version"
  [ -n "$(dpkg-deb -f "$deb" Section)" ] || fail "no section"
  [ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "no maintainer"
  local depends
  depends=$(dpkg-deb -f "$deb" Depends)
  echo "Depends: $depends"
  for package in libqt6core6 libqt6gui6 libqt6widgets6 libqt6printsupport6 libqt6svg6 \
    qt6-translations-l10n fonts-liberation fonts-dejavu-core; do
    grep -q -E "(^|, )$package( |,|$)" <<<"$depends" || fail "Depends lacks $package"
  done

  mkdir -p "$out/control"
  dpkg-deb -e "$deb" "$out/control"
  check_maintainer_script "$out/control/postinst" configure 'control --reload-rules' \
    'trigger --action=change'
  check_maintainer_script "$out/control/postrm" remove 'control --reload-rules'
  # Besides the package, lintian reads the man pages, the copyright file and the changelog.
  lintian --pedantic --info --fail-on error,warning "$deb" || fail "lintian"
}

case $check in
  staged | desktop_entry | metainfo | udev_rule | deb) "check_$check" ;;
  *) fail "unknown check '$check'" ;;
esac
echo "ok: $check"
