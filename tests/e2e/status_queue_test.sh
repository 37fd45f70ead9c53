#!/usr/bin/env bash
# CUPS queues on virtual printers (socket:// devices, CUPS's socket backend), set up as the
# README says (StatusQuery=On, ?snmp=false) under Debian's error policy (retry-job), through
# every fault: the printer off when the job starts or switched off mid-job, the connection
# cut mid-job, the roll running out, the head open, a paused printer, one that never
# answers the status query, and a class of two with one switched off. Every job must end
# "completed" with each of its labels printed once, in order, once the fault is cleared;
# never "completed" with labels missing, never a label twice. The printed labels are
# compared, picture by picture, with what the same job gives on a file:// queue.
#
#   status_queue_test.sh FILTER PDFTOLABEL VIRTUAL_PRINTER PREVIEW PORT PRINTER_PORT
#
# PORT is the scheduler's, PRINTER_PORT the first of ten ports for virtual printers.
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

# Debian's error policy; a job held after a lost printer is sent again after 2 s, not 300.
CUPSD_ERROR_POLICY=retry-job CUPSD_RETRY_INTERVAL=2 cupsd_start "$work/cups" "$port" "$filter" "$prefilter"
ln -s "$(cups-config --serverbin)/backend/socket" "$CUPSD_DIR/sb/backend/socket"

# The labels of the job as a file:// queue gets them: the pictures every printer must make.
cups_client lpadmin -p ref -E -v "file://$CUPSD_DIR/out/ref.prn" -P "$source_dir/ppd/vantel-203.ppd" \
  2> >(grep -v "Printer drivers are deprecated" >&2)
submit() { cups_client lp "$@" | sed -n 's/^request id is .*-\([0-9]*\) .*/\1/p'; }
ref_job=$(submit -d ref "$work/three.pdf")
[ "$(wait_for_job "$ref_job" 60)" = completed ] || { echo "the reference job did not complete"; exit 1; }
mkdir "$work/ref"
"$preview" -o "$work/ref/label" "$CUPSD_DIR/out/ref.prn" >/dev/null

# A virtual printer of its own for each case, and a queue on it as the README sets one up.
n=0
start_printer() {  # name, faults for its control file, [extra lpadmin options]
  local dir=$work/$1
  mkdir -p "$dir"
  printf '%s' "$2" >"$dir/control"
  "$vprinter" --port $((printer_port + n)) -o "$dir/labels" --log "$dir/log" --control "$dir/control" \
    >/dev/null &
  printers+=($!)
  for _ in $(seq 100); do grep -q "listening on\|offline" "$dir/log" 2>/dev/null && break; sleep 0.05; done
  cups_client lpadmin -p "$1" -E -v "socket://127.0.0.1:$((printer_port + n))/?snmp=false" \
    -P "$source_dir/ppd/vantel-203.ppd" -o StatusQuery=On 2> >(grep -v "Printer drivers are deprecated" >&2)
  n=$((n + 1))
}
set_faults() { printf '%s' "$2" >"$work/$1/control"; sleep 0.3; }
printed() { ls "$work/$1/labels" 2>/dev/null | grep -c '^label-.*\.png$' || true; }
wait_printed() {  # name, count: waits up to 10 s until the printer has printed that many
  for _ in $(seq 200); do [ "$(printed "$1")" -ge "$2" ] && return 0; sleep 0.05; done
  return 1
}

# The labels printed are the job's labels FIRST.. in order, each once.
expect_labels() {  # name, count, when, [first label]
  local i=${4:-1} f
  shopt -s nullglob
  [ "$(printed "$1")" = "$2" ] || { fail "$1 ($3): $(printed "$1") labels printed, expected $2"; return; }
  for f in "$work/$1/labels"/label-*.png; do
    cmp -s "$f" "$work/ref/label-$i.png" || fail "$1 ($3): $(basename "$f") is not label $i of the job"
    i=$((i + 1))
  done
}
queue_text() { cups_client lpstat -l -p "$1" | tr '\n' ' ' | tr -s ' \t' ' '; }
jobs_text() { cups_client lpstat -W all -l -o "$1" | tr '\n' ' ' | tr -s ' \t' ' '; }
# Waits up to $3 seconds until lpstat -l -p shows $2 for queue $1; prints how long it took.
shows_within() {
  local start=$SECONDS
  for _ in $(seq $(($3 * 10))); do
    grep -qF "$2" <<<"$(queue_text "$1")" && { echo $((SECONDS - start)); return 0; }
    sleep 0.1
  done
  return 1
}

# Faults that stop the printer: the job waits, shown on the queue, and completes once the
# fault is cleared.  name|faults|labels printed while it waits|reason lpstat -l -p shows
cases=(
  "paper|real-speed\nout-of-paper-after 1\n|1|media-empty-error"
  "head|head-open\n|0|cover-open-error"
  "paused|paused\n|0|other-error"
)
for entry in "${cases[@]}"; do
  IFS='|' read -r name faults _ _ <<<"$entry"
  start_printer "$name" "$(printf "$faults")"
done
start_printer ready ""
start_printer silent "no-status"$'\n'
start_printer off "offline"$'\n'
start_printer cut "drop-after 600"$'\n'
start_printer midway "real-speed"$'\n'
start_printer member1 "real-speed"$'\n'
start_printer member2 "real-speed"$'\n'
cups_client lpadmin -p member1 -c pair
cups_client lpadmin -p member2 -c pair
cups_client cupsenable pair
cups_client cupsaccept pair

declare -A job
for name in paper head paused ready silent off cut; do job[$name]=$(submit -d "$name" "$work/three.pdf"); done

for entry in "${cases[@]}"; do
  IFS='|' read -r name _ count words <<<"$entry"
  wait_printed "$name" "$count" || true
  took=$(shows_within "$name" "$words" 5) || fail "$name: lpstat -l -p does not show $words: $(queue_text "$name")"
  got=$(job_state "${job[$name]}")
  [ "$got" = processing ] || fail "$name: the job is '$got' while the printer is stopped, expected processing"
  expect_labels "$name" "$count" "while faulted"
  echo "== $name: shown after ${took:-?} s; lpstat -l -p: $(queue_text "$name")"
  set_faults "$name" "$(grep -q real-speed "$work/$name/control" && echo real-speed)"
  got=$(wait_for_job "${job[$name]}" 60)
  [ "$got" = completed ] || fail "$name: the job ended '$got' once the fault was cleared, expected completed"
  expect_labels "$name" 3 "after the fault was cleared"
  grep -qF "$words" <<<"$(queue_text "$name")" && fail "$name: $words still shown: $(queue_text "$name")"
done

for name in ready silent; do
  got=$(wait_for_job "${job[$name]}" 60)
  [ "$got" = completed ] || fail "$name: the job ended '$got', expected completed"
  expect_labels "$name" 3 "done"
done

# Off when the job starts: the backend waits for the printer and prints once it is on.
got=$(job_state "${job[off]}")
[ "$got" = processing ] || fail "off: the job is '$got' while the printer is off, expected processing"
set_faults off ""
got=$(wait_for_job "${job[off]}" 60)
[ "$got" = completed ] || fail "off: the job ended '$got' once the printer was on, expected completed"
expect_labels off 3 "once on"

# The connection cut after 600 bytes, inside the first label: the job is held and sent
# again; once the connection holds, every label prints once.
for _ in $(seq 100); do grep -q "dropped by order" "$work/cut/log" && break; sleep 0.1; done
set_faults cut ""
got=$(wait_for_job "${job[cut]}" 60)
[ "$got" = completed ] || fail "cut: the job ended '$got', expected completed"
expect_labels cut 3 "sent again"

# Switched off as the second label prints, on again 2 s later: the job is sent again and
# goes on from the label the printer lost.
job[midway]=$(submit -d midway "$work/three.pdf")
wait_printed midway 1 || fail "midway: the first label did not print"
set_faults midway "real-speed"$'\n'"offline"$'\n'
sleep 2
echo "== midway: job while off: $(jobs_text midway)"
set_faults midway "real-speed"$'\n'
got=$(wait_for_job "${job[midway]}" 60)
[ "$got" = completed ] || fail "midway: the job ended '$got', expected completed: $(jobs_text midway)"
expect_labels midway 3 "once on again"

# A class of two: the member printing the job is switched off after its first label; the
# job goes on on the other member from the label that was lost.
job[pair]=$(submit -d pair "$work/three.pdf")
for _ in $(seq 200); do
  first=
  [ "$(printed member1)" -ge 1 ] && first=member1
  [ "$(printed member2)" -ge 1 ] && first=member2
  [ -n "$first" ] && break
  sleep 0.05
done
if [ -z "$first" ]; then
  fail "pair: no member printed"
else
  other=$([ "$first" = member1 ] && echo member2 || echo member1)
  set_faults "$first" "real-speed"$'\n'"offline"$'\n'
  got=$(wait_for_job "${job[pair]}" 60)
  [ "$got" = completed ] || fail "pair: the job ended '$got', expected completed"
  expect_labels "$first" 1 "switched off"
  expect_labels "$other" 2 "took over" 2
  set_faults "$first" ""
fi

echo "== error_log of the jobs sent again:"
grep -E 'ERROR|INFO: Going|held for' "$CUPSD_DIR/log/error_log" | grep -v "^D" | sed 's/^/   /' | head -20

if [ "$failures" -gt 0 ]; then
  for d in "$work"/*/log; do [ -f "$d" ] && { echo "== $d"; tail -15 "$d"; }; done
  grep -E '^E|STATE:|ERROR|INFO: (Going|Waiting)' "$CUPSD_DIR/log/error_log" | tail -60
  exit 1
fi
echo "10 queues on virtual printers behaved as expected"
