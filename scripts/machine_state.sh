#!/usr/bin/env bash
# Writes, as text, the state of this machine that the test suite must leave as it found
# it: the filter's real log file (owner, group, mode, content), the installed packages,
# everything under /etc/cups (owners, modes, contents), the machine's own CUPS scheduler
# (its process, its queues and jobs) and everything under /usr (each entry's owner, mode,
# size and change times). scripts/test.sh writes it before and after the tests and
# compares.
#
#   machine_state.sh LOG_PATH > FILE
set -euo pipefail
log=${1:-/var/log/cups/korvel.log}
export LC_ALL=C

# stat's line for a path: type, mode, owner, group, size; "absent" when there is none.
describe() { stat -c '%F %a %U:%G %s' "$1" 2>/dev/null || echo absent; }

echo "== the filter's log $log"
echo "folder: $(describe "$(dirname "$log")")"
echo "file: $(describe "$log")"
if [ -f "$log" ]; then echo "content: $(sha256sum <"$log" | cut -d' ' -f1)"; fi

echo "== installed packages"
dpkg-query -W -f='${binary:Package} ${Version} ${db:Status-Abbrev}\n' 2>/dev/null | sort

echo "== /etc/cups"
if [ -d /etc/cups ]; then
  { find /etc/cups -printf '%P %y %m %u:%g %s\n' 2>&1 || true; } | sort
  find /etc/cups -type f -print0 2>/dev/null | sort -z | xargs -0 -r sha256sum 2>&1 || true
fi

# The machine's own scheduler: the cupsd processes not started with a configuration of
# their own (-c), and what it says through its socket. Private schedulers of tests and
# samples use -c and never this socket.
echo "== the machine's scheduler"
for pid in $(pgrep -x cupsd || true); do
  cmdline=$(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null || true)
  case " $cmdline" in *" -c "*) ;; *) echo "cupsd pid $pid: $cmdline" ;; esac
done
if [ -S /run/cups/cups.sock ] && command -v lpstat >/dev/null; then
  for query in -v "-W all -o" -a; do
    # shellcheck disable=SC2086
    echo "lpstat $query:"
    CUPS_SERVER=/run/cups/cups.sock timeout 10 lpstat $query 2>&1 | sed 's/^/  /' || true
  done
fi

# /usr: too large to hash every file each run, but any write, chmod, chown or new or
# removed entry changes a line (the change time moves with every one of them).
echo "== /usr"
# (An entry that vanishes during the walk makes find complain: that shows as a change.)
{ find /usr -xdev -printf '%p %y %m %U:%G %s %T@ %C@\n' 2>&1 || true; } | sort
