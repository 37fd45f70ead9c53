#!/usr/bin/env bash
# The Maintenance commands under a real CUPS scheduler: command files, as the queue's
# Maintenance menu and "lp -o document-format=application/vnd.cups-command" send them,
# reach the printer as its own commands: calibration for the queue's media tracking
# (GAPDETECT, BLINEDETECT, AUTODETECT), SELFTEST and FORMFEED. A command the printer
# does not have stops its job, sending nothing. The queue lists the commands in printer-commands.
#
#   maintenance_queue_test.sh FILTER COMMAND_FILTER PORT
#
# Exits 77 (skipped) when not run as root or when the CUPS scheduler is missing. Leaves
# nothing running and nothing behind.
set -euo pipefail

filter=$(readlink -f "$1")
command_filter=$(readlink -f "$2")
port=$3
source_dir=$(cd "$(dirname "$0")/../.." && pwd)

source "$source_dir/scripts/private_cupsd.sh"
cupsd_test_lock "$port" lpadmin lp lpstat ipptool
source "$source_dir/tests/e2e/label_checks.sh"
work=$(mktemp -d /tmp/vantel-maintenance-test.XXXXXX)
chmod 755 "$work"
trap 'cupsd_stop; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM

cupsd_start "$work/cups" "$port" "$filter" "$command_filter"
out=$CUPSD_DIR/out

# "queue|lpadmin options|job options|commands|bytes the printer gets|job state".
cases=(
  "gap|||Calibrate|GAPDETECT\r\n|completed"
  "mark|-o MediaTracking=1||Calibrate|BLINEDETECT\r\n|completed"
  "continuous|-o MediaTracking=2||Calibrate|AUTODETECT\r\n|completed"
  "job|-o MediaTracking=2|-o MediaTracking=1|Calibrate|BLINEDETECT\r\n|completed"
  "selftest|||PrintSelfTestPage FeedLabel|SELFTEST\r\nFORMFEED\r\n|completed"
  "unknown|||Clean||processing-stopped"
)
declare -A job
for entry in "${cases[@]}"; do
  IFS='|' read -r queue queue_options job_options commands _ <<<"$entry"
  # shellcheck disable=SC2086  # the options are words
  cupsd_add_queue "$queue" "$source_dir/ppd/vantel-203.ppd" $queue_options
  { echo "#CUPS-COMMAND"; for c in $commands; do echo "$c"; done; } >"$work/$queue.cmd"
  # shellcheck disable=SC2086
  job[$queue]=$(cups_client lp -d "$queue" -o document-format=application/vnd.cups-command \
    $job_options "$work/$queue.cmd" | sed -n 's/^request id is .*-\([0-9]*\) .*/\1/p')
done

for entry in "${cases[@]}"; do
  IFS='|' read -r queue _ _ _ bytes want_state <<<"$entry"
  state=$(wait_for_job "${job[$queue]}" 30)
  [ "$state" = "${want_state:-completed}" ] || fail "$queue: job ended as '$state', expected '${want_state:-completed}'"
  printf "$bytes" >"$work/$queue.want"
  cmp -s "$work/$queue.want" "$out/$queue.prn" 2>/dev/null ||
    { [ -z "$bytes" ] && [ ! -s "$out/$queue.prn" ]; } ||
    fail "$queue: the printer got '$(od -c "$out/$queue.prn" 2>/dev/null | head -3)'"
done
grep -q 'Unknown printer command \\"Clean\\"\|Unknown printer command "Clean"' "$CUPSD_DIR/log/error_log" ||
  fail "unknown: the filter's ERROR line is not in the log"

# What the web interface's Maintenance menu and other clients read.
cat >"$work/commands.test" <<'TEST'
{
  OPERATION Get-Printer-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri
  ATTR keyword requested-attributes printer-commands
  STATUS successful-ok
  EXPECT printer-commands OF-TYPE keyword WITH-VALUE-FROM Calibrate,PrintSelfTestPage,FeedLabel
  EXPECT printer-commands COUNT 3
}
TEST
cups_client ipptool -t "ipp://127.0.0.1:$port/printers/gap" "$work/commands.test" >"$work/ipptool.out" ||
  { fail "printer-commands: $(grep -i 'fail\|expected' "$work/ipptool.out" | head -3)"; }

pid=$CUPSD_PID
cupsd_stop
! kill -0 "$pid" 2>/dev/null || fail "cupsd (pid $pid) still runs after SIGTERM"
[ "$failures" -eq 0 ] || exit 1
echo "${#cases[@]} command jobs through cupsd on 127.0.0.1:$port as expected"
