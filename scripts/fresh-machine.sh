#!/usr/bin/env bash
# Runs the README's test command as root on a fresh minimal Debian 12, so that an install step
# missing from scripts/setup.sh cannot hide behind packages this machine already has.
#
# The system is made by debootstrap (minbase) from the Debian archive this machine's apt uses; the
# committed HEAD of this checkout is cloned into it. The chroot runs in its own mount and PID
# namespaces: its mounts never show outside, and nothing started inside outlives the check. Exits
# with the test command's status.
#
# Caches, outside the tree, in ${XDG_CACHE_HOME:-~/.cache}/kvz03/: the packages debootstrap
# downloaded (a tarball per archive). The packages setup.sh installs come from this machine's apt
# cache where it has them (linked, not shared: apt here may run at the same time), but apt inside
# the chroot installs every one of them.
set -euo pipefail
cd "$(dirname "$0")/.."
checkout=$(pwd)
suite=bookworm

fail() {
  echo "fresh-machine: $*" >&2
  exit 1
}

[ "$(id -u)" -eq 0 ] || fail "needs root (debootstrap, mount and chroot)"
for tool in debootstrap unshare chroot git; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/setup.sh installs it)"
done

# The first URI of a deb822 stanza or a one-line entry that offers $suite itself (not -updates or
# -security).
debian_mirror() {
  local file
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    awk -v suite="$suite" '
      function stanza_end() {
        if (index(" " types " ", " deb ") && index(" " suites " ", " " suite " ") && uris != "") {
          split(uris, uri, " ")
          print uri[1]
          found = 1
        }
        types = suites = uris = ""
      }
      found { exit }
      /^[[:space:]]*#/ { next }
      /^[[:space:]]*$/ { stanza_end(); next }
      tolower($1) == "types:" { $1 = ""; types = $0 }
      tolower($1) == "suites:" { $1 = ""; suites = $0 }
      tolower($1) == "uris:" { $1 = ""; uris = $0 }
      END { if (!found) stanza_end() }
    ' "$file"
  done
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$file" ] || continue
    awk -v suite="$suite" '
      $1 == "deb" {
        i = 2
        if ($i ~ /^\[/) { while (i < NF && $i !~ /\]$/) i++; i++ }
        if ($(i + 1) == suite) print $i
      }
    ' "$file"
  done
}

mirror=$(debian_mirror | head -n 1)
[ -n "$mirror" ] || fail "no Debian $suite archive in /etc/apt/sources.list{,.d}"

work=$(mktemp -d "${TMPDIR:-/var/tmp}/kvz03-fresh.XXXXXX")
root=$work/root
ns_pid=

cleanup() {
  local status=$?
  # A second signal must not cut the cleanup short.
  trap '' INT TERM
  # Killing unshare kills the namespace's first process, and with it every process inside; its
  # mounts go when the last one has gone.
  if [ -n "$ns_pid" ] && kill -0 "$ns_pid" 2>/dev/null; then
    kill -KILL "$ns_pid" 2>/dev/null || true
    wait "$ns_pid" 2>/dev/null || true
  fi
  # The mounts were made in the namespace only; should one ever show here, unmount it rather than
  # delete through it.
  local mounted
  mounted=$(awk -v root="$root" 'index($5, root) == 1 { print $5 }' /proc/self/mountinfo)
  if [ -n "$mounted" ]; then
    umount -R "$root" 2>/dev/null || umount -R -l "$root" || true
  fi
  if awk -v root="$root" 'index($5, root) == 1 { found = 1 } END { exit !found }' \
    /proc/self/mountinfo; then
    echo "fresh-machine: $root still has mounts; left in place" >&2
    [ "$status" -ne 0 ] || status=1
  else
    rm -rf --one-file-system "$work"
  fi
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Root's home where the environment names none (a service, a bare CI runner).
cache=${XDG_CACHE_HOME:-${HOME:-/root}/.cache}/kvz03
tarball=$cache/$suite-minbase-$(printf '%s' "$mirror" | sha256sum | cut -c1-16).tgz
start=$SECONDS

if [ ! -f "$tarball" ]; then
  echo "fresh-machine: downloading a minbase $suite from $mirror"
  mkdir -p "$cache"
  debootstrap --variant=minbase --make-tarball="$tarball.part" "$suite" "$work/download" \
    "$mirror" >"$work/debootstrap.log" 2>&1 ||
    { tail -n 30 "$work/debootstrap.log" >&2; fail "debootstrap --make-tarball"; }
  mv "$tarball.part" "$tarball"
  rm -rf "$work/download"
fi

echo "fresh-machine: installing a minbase $suite in $root"
debootstrap --variant=minbase --unpack-tarball="$tarball" "$suite" "$root" "$mirror" \
  >"$work/debootstrap.log" 2>&1 ||
  { tail -n 30 "$work/debootstrap.log" >&2; fail "debootstrap"; }

# No service may start from a maintainer script: this is not a booted system.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"
# apt inside needs the names resolved as here.
cp -L /etc/resolv.conf "$root/etc/resolv.conf"
# Hard links cost nothing and leave this machine's cache alone; on another file system the chroot
# downloads what it needs. debootstrap has left its own packages there already.
apt_cache=/var/cache/apt/archives
if [ "$(stat -c %d "$apt_cache")" = "$(stat -c %d "$root$apt_cache")" ]; then
  find "$apt_cache" -maxdepth 1 -name '*.deb' -exec cp -l -n -t "$root$apt_cache" {} +
else
  echo "fresh-machine: this machine's apt cache is on another file system; apt downloads it all"
fi

git clone --quiet --no-hardlinks "$checkout" "$root/root/kvz03"
echo "fresh-machine: the minbase system was ready after $((SECONDS - start)) s"
echo "fresh-machine: testing $(git -C "$root/root/kvz03" log -1 --format='%h %s')"

# Runs as the first process of the new namespaces: mounts what the tests need, then the test
# command, as root, with no display.
inside() {
  local root=$1
  mount -t proc proc "$root/proc"
  mount -t sysfs sysfs "$root/sys"
  # A /dev of its own: the usual nodes, and pseudo-terminals from a devpts of its own.
  mount -t tmpfs -o mode=755,nosuid dev "$root/dev"
  local node
  for node in 'null 1 3' 'zero 1 5' 'full 1 7' 'random 1 8' 'urandom 1 9' 'tty 5 0'; do
    set -- $node
    mknod -m 666 "$root/dev/$1" c "$2" "$3"
  done
  mkdir "$root/dev/pts" "$root/dev/shm"
  mount -t devpts -o newinstance,ptmxmode=0666,mode=620,gid=5 devpts "$root/dev/pts"
  ln -s pts/ptmx "$root/dev/ptmx"
  mount -t tmpfs -o mode=1777,nosuid,nodev shm "$root/dev/shm"
  ln -s /proc/self/fd "$root/dev/fd"
  ln -s /proc/self/fd/0 "$root/dev/stdin"
  ln -s /proc/self/fd/1 "$root/dev/stdout"
  ln -s /proc/self/fd/2 "$root/dev/stderr"
  # A login's environment, and the way to the archive where this machine needs a proxy.
  local -a proxies=()
  local name
  for name in http_proxy https_proxy no_proxy; do
    [ -z "${!name:-}" ] || proxies+=("$name=${!name}")
  done
  env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    TERM=dumb QT_QPA_PLATFORM=offscreen "${proxies[@]}" \
    chroot "$root" /bin/bash -c 'cd /root/kvz03 && bash scripts/setup.sh && cmake --workflow --preset default' </dev/null
}

unshare --mount --pid --fork --propagation private --kill-child=SIGKILL \
  bash -c "set -euo pipefail; $(declare -f inside); inside \"\$1\"" inside "$root" &
ns_pid=$!
status=0
wait "$ns_pid" || status=$?
ns_pid=
echo "fresh-machine: the test command exited with $status after $((SECONDS - start)) s"
exit "$status"
