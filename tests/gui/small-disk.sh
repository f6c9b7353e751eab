#!/bin/sh
# Runs a test command with KVZ_SMALL_DISK naming a folder on a small disk of its own that fills up:
# a private tmpfs mount, where the system lets one be made (root, or a user namespace). Exit code
# 77, a skipped test, where it does not.
folder=$1
shift
for how in -m -rm; do
  unshare $how true 2>/dev/null || continue
  exec unshare $how sh -c 'mkdir -p "$0" && mount -t tmpfs -o size=400k none "$0" || exit 77
    KVZ_SMALL_DISK="$0" exec "$@"' "$folder" "$@"
done
exit 77
