#!/usr/bin/env bash
# Runs a test so that it can never touch the machine's own filter log: in a private mount
# namespace whose log folder (/var/log/cups) is an empty tmpfs, seen by this test alone,
# and in a private PID namespace, so that nothing the test starts (a scheduler, a filter)
# outlives it, even when it is killed. Nothing of it is left when the test ends, however
# it ends.
#
#   private_log.sh LOG_PATH COMMAND [ARGS...]
#
# As root the namespaces are the machine's own kind; otherwise a user namespace maps the
# caller to root inside. Where neither can be made, the command runs as it is only when
# the caller cannot write the real log folder anyway; else it refuses.
set -euo pipefail

log_dir=$(dirname "$1")
shift

if [ "$(id -u)" -eq 0 ]; then
  namespaces=(unshare --mount --propagation private --pid --fork --kill-child --mount-proc)
else
  namespaces=(unshare --map-root-user --mount --pid --fork --kill-child --mount-proc)
fi

if ! "${namespaces[@]}" true 2>/dev/null; then
  if [ -w "$log_dir" ] || { [ ! -e "$log_dir" ] && [ -w "$(dirname "$log_dir")" ]; }; then
    echo "private_log.sh: no private mount namespace here, and $log_dir is writable:" \
      "refusing to run a test that would write the machine's filter log" >&2
    exit 1
  fi
  exec "$@"
fi

# Inside: an empty tmpfs over the log folder, or over its parent (and the folder made in
# it) when the machine has no log folder, so that none is created on the real disk.
exec "${namespaces[@]}" bash -c '
  dir=$1
  shift
  if [ -d "$dir" ]; then
    mount -t tmpfs -o mode=0755 vantel-private-log "$dir"
  else
    mount -t tmpfs -o mode=0755 vantel-private-log "$(dirname "$dir")" && mkdir -m 0755 "$dir"
  fi || { echo "private_log.sh: cannot mount a private $dir" >&2; exit 1; }
  exec "$@"' private_log.sh "$log_dir" "$@"
