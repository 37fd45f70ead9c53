#!/usr/bin/env bash
# A CUPS queue on the virtual printer (socket:// device, the socket backend) through every
# fault: the printer off when the job starts, the connection cut mid-job, the roll running
# out, the head open, a printer that never answers the status query. A job may wait and
# print, or end stopped with the printer's reason; it must never end "completed" with
# labels missing, and no label may print twice. The printed labels are compared, picture
# by picture, with what the same job gives on a file:// queue.
#
#   status_queue_test.sh FILTER PDFTOLABEL VIRTUAL_PRINTER PREVIEW PORT PRINTER_PORT
#
# PORT is the scheduler's, PRINTER_PORT the first of six ports for virtual printers.
# Exits 77 (skipped) when not run as root or when cupsd or Ghostscript is missing.
set -euo pipefail

filter=$(readlink -f "$1")
prefilter=$(readlink -f "$2")
vprinter=$(readlink -f "$3")
preview=$(readlink -f "$4")
port=$5
printer_port=$6
source_dir=$(cd "$(dirname "$0")/../.." && pwd)

source "$source_dir/scripts/private_cupsd.sh"
cupsd_test_lock "$port" lpadmin lp lpstat ipptool gs
work=$(mktemp -d /tmp/vantel-status-test.XXXXXX)
chmod 755 "$work"
printers=()
stop_printers() {
  local pid
  for pid in "${printers[@]}"; do kill -TERM "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
}
trap 'stop_printers; cupsd_stop; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Three labels of 2 x 1 in, each with its box somewhere else, so that a label printed
# twice or out of order shows.
{
  echo '%!PS'
  for x in 40 150 260; do
    echo "<< /PageSize [144 72] >> setpagedevice 72 203 div dup scale 0 setgray $x 60 80 60 rectfill showpage"
  done
} >"$work/three.ps"
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -o "$work/three.pdf" "$work/three.ps"

cupsd_start "$work/cups" "$port" "$filter" "$prefilter"
ln -s "$(cups-config --serverbin)/backend/socket" "$CUPSD_DIR/sb/backend/socket"

# The labels of the job as a file:// queue gets them: the pictures every printer must make.
cups_client lpadmin -p ref -E -v "file://$CUPSD_DIR/out/ref.prn" -P "$source_dir/ppd/vantel-203.ppd" \
  2> >(grep -v "Printer drivers are deprecated" >&2)
submit() { cups_client lp "$@" | sed -n 's/^request id is .*-\([0-9]*\) .*/\1/p'; }
ref_job=$(submit -d ref "$work/three.pdf")
[ "$(wait_for_job "$ref_job" 60)" = completed ] || { echo "the reference job did not complete"; exit 1; }
mkdir "$work/ref"
"$preview" -o "$work/ref/label" "$CUPSD_DIR/out/ref.prn" >/dev/null

# A virtual printer of its own for each case, and a queue on it that asks its status.
n=0
start_printer() {  # name, faults for its control file
  local dir=$work/$1
  mkdir -p "$dir"
  printf '%s' "$2" >"$dir/control"
  "$vprinter" --port $((printer_port + n)) -o "$dir/labels" --log "$dir/log" --control "$dir/control" \
    >/dev/null &
  printers+=($!)
  for _ in $(seq 100); do grep -q "listening on\|offline" "$dir/log" 2>/dev/null && break; sleep 0.05; done
  cups_client lpadmin -p "$1" -E -v "socket://127.0.0.1:$((printer_port + n))" \
    -P "$source_dir/ppd/vantel-203.ppd" -o StatusQuery=On 2> >(grep -v "Printer drivers are deprecated" >&2)
  n=$((n + 1))
}
set_faults() { printf '%s' "$2" >"$work/$1/control"; sleep 0.3; }
printed() { ls "$work/$1/labels" | grep -c '^label-.*\.png$' || true; }

# The labels printed so far are the job's first ones, in order, each once.
expect_labels() {  # name, count, when
  local i=1 f
  shopt -s nullglob
  [ "$(printed "$1")" = "$2" ] || { fail "$1 ($3): $(printed "$1") labels printed, expected $2"; return; }
  for f in "$work/$1/labels"/label-*.png; do
    cmp -s "$f" "$work/ref/label-$i.png" || fail "$1 ($3): $(basename "$f") is not label $i of the job"
    i=$((i + 1))
  done
}
queue_text() { cups_client lpstat -l -p "$1" | tr '\n' ' ' | tr -s ' \t' ' '; }
jobs_text() { cups_client lpstat -W all -l -o "$1" | tr '\n' ' ' | tr -s ' \t' ' '; }

# Each case: its faults when the job starts, the state the job reaches with them, the
# labels printed by then, what lpstat shows of the queue then; then the faults are cleared.
#   name|faults|job state|labels|words lpstat -l -p shows
cases=(
  "ready||completed|3|"
  "paper|out-of-paper-after 1\n|processing-stopped|1|media-empty-error"
  "head|head-open\n|processing-stopped|0|cover-open-error"
  "paused|paused\n|processing-stopped|0|other-error"
  "silent|no-status\n|completed|3|"
)
for entry in "${cases[@]}"; do
  IFS='|' read -r name faults _ _ _ <<<"$entry"
  start_printer "$name" "$(printf "$faults")"
done
start_printer off "offline"$'\n'
start_printer cut "drop-after 600"$'\n'

declare -A job
for entry in "${cases[@]}" "off|" "cut|"; do
  name=${entry%%|*}
  job[$name]=$(submit -d "$name" "$work/three.pdf")
done

for entry in "${cases[@]}"; do
  IFS='|' read -r name faults want count words <<<"$entry"
  got=$(wait_for_job "${job[$name]}" 60)
  [ "$got" = "$want" ] || fail "$name: the job ended '$got', expected '$want'"
  expect_labels "$name" "$count" "while faulted"
  if [ -n "$words" ]; then
    text=$(queue_text "$name")
    grep -qF "$words" <<<"$text" || fail "$name: lpstat -l -p does not show $words: $text"
    echo "== $name: lpstat -l -p: $text"
    echo "== $name: lpstat -l -o: $(jobs_text "$name")"
  fi
  # Cleared, the printer prints what it holds, and nothing twice.
  set_faults "$name" ""
  sleep 0.3
  expect_labels "$name" 3 "after the fault was cleared"
done

# Off when the job starts: the backend waits for the printer and prints once it is on.
sleep 2
got=$(job_state "${job[off]}")
[ "$got" = processing ] || fail "off: the job is '$got' while the printer is off, expected processing"
echo "== off: lpstat -l -p: $(queue_text off)"
set_faults off ""
got=$(wait_for_job "${job[off]}" 60)
[ "$got" = completed ] || fail "off: the job ended '$got' once the printer was on, expected completed"
expect_labels off 3 "once on"

# The connection cut after 600 bytes, inside the first label: nothing printed, and the job
# must not be complete.
got=$(wait_for_job "${job[cut]}" 60)
case $got in completed | timeout*) fail "cut: the job ended '$got' with labels missing" ;; esac
echo "== cut: job $got; lpstat -l -o: $(jobs_text cut)"
expect_labels cut 0 "after the cut"

if [ "$failures" -gt 0 ]; then
  for d in "$work"/*/log; do [ -f "$d" ] && { echo "== $d"; tail -15 "$d"; }; done
  grep -E '^E|STATE:|ERROR' "$CUPSD_DIR/log/error_log" | tail -40
  exit 1
fi
echo "$((${#cases[@]} + 2)) queues on virtual printers behaved as expected"
