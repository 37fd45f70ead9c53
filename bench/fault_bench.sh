#!/usr/bin/env bash
# Faults at a random label of 20-label jobs, through a CUPS scheduler set up as Debian ships
# it (ErrorPolicy retry-job, JobRetryInterval 300 s, JobRetryLimit 5, LogLevel warn) and
# queues set up as the README says (socket://HOST:PORT/?snmp=false, StatusQuery=On), on
# virtual printers at real speed. Each fault is tried RUNS times on a queue of its own
# printer (the runs at once) and RUNS times on a class of three printers (CLASSES classes at
# once):
#   off    the printer is switched off at a random moment of a random label, on again 10 s later
#   drop   the connection is cut at a random byte of the job (the printer stays on)
#   paper  the roll runs out after a random label; paper is loaded 3 s after it is reported
#   head   the head is opened at a random moment of a random label, closed 3 s after
# For each it prints the labels printed, printed twice and lost, how the jobs ended and
# why, and for paper and head the longest time from the printer reporting the fault to the
# queue showing it (the start of the first lpstat -l -p, asked every 0.1 s, that has the
# reason among its Alerts).
#
#   bench/fault_bench.sh [RUNS [CLASSES [FAULTS...]]]   (default 50 10 off drop paper head; as root)
#
# FAULT_BENCH_MODES="queue" (or "class") tries only those; FAULT_BENCH_KEEP=DIR keeps each
# run's printers (their logs and labels) and jobs in DIR.
#
# Ports: the scheduler 18830, the virtual printers from 9300 on, on 127.0.0.1. A run of the
# off and drop faults on a queue takes the 300 s CUPS holds a job it could not send.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-50} classes=${2:-10}
shift $(($# < 2 ? $# : 2))
faults=("$@")
[ ${#faults[@]} -gt 0 ] || faults=(off drop paper head)
[ "$(id -u)" -eq 0 ] || { echo "fault_bench.sh: needs root (cupsd runs filters as lp)"; exit 1; }
bench/build.sh rastertovantel commandtovantel pdftolabel vantel-virtual-printer label-preview
dir=$PWD/build-bench
source scripts/private_cupsd.sh

work=$(mktemp -d /tmp/vantel-faults.XXXXXX)
chmod 755 "$work"
pids=()
stop_printers() {
  local pid
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  pids=()
}
trap 'stop_printers; cupsd_stop; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM

label_seconds=1.5  # a 6 in label at 4 in/s
label_bytes=123627 # its bitmap: 812 x 1218 dots
now() { date +%s.%N; }

# --- The job: 20 labels of 4 x 6 in, each with its number and its box somewhere else ---
{
  echo '%!PS'
  for i in $(seq 1 20); do
    echo "<< /PageSize [288 432] >> setpagedevice /Helvetica findfont 120 scalefont setfont"
    echo "0 setgray 40 250 moveto ($i) show $((10 + i * 12)) 40 30 150 rectfill showpage"
  done
} >"$work/job.ps"
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -o "$work/job.pdf" "$work/job.ps"

CUPSD_ERROR_POLICY=retry-job CUPSD_LOG_LEVEL=warn \
  cupsd_start "$work/cups" 18830 "$dir/filter/rastertovantel" "$dir/prefilter/pdftolabel" \
  "$dir/filter/commandtovantel"
ln -s "$(cups-config --serverbin)/backend/socket" "$CUPSD_DIR/sb/backend/socket"
lpadmin_quiet() { cups_client lpadmin "$@" 2> >(grep -v "Printer drivers are deprecated" >&2); }
submit() { cups_client lp -o PageSize=w288h432 "$@" | sed -n 's/^request id is .*-\([0-9]*\) .*/\1/p'; }

# The pictures of the 20 labels, from a file:// queue: a printed label is known by its own.
lpadmin_quiet -p ref -E -v "file://$CUPSD_DIR/out/ref.prn" -P ppd/vantel-203.ppd
[ "$(wait_for_job "$(submit -d ref "$work/job.pdf")" 120)" = completed ] || { echo "no reference"; exit 1; }
mkdir "$work/ref"
"$dir/tools/label-preview" -o "$work/ref/label" "$CUPSD_DIR/out/ref.prn" >/dev/null
for i in $(seq 1 20); do echo "$(md5sum <"$work/ref/label-$i.png" | cut -c1-32) $i"; done >"$work/ref/sums"

port=9300
start_printer() {  # name
  local d=$work/p/$1
  mkdir -p "$d"
  echo real-speed >"$d/control"
  "$dir/virtual-printer/vantel-virtual-printer" -p "$port" -o "$d/labels" -l "$d/log" -c "$d/control" >/dev/null &
  pids+=($!)
  for _ in $(seq 100); do grep -q "listening on" "$d/log" 2>/dev/null && break; sleep 0.05; done
  lpadmin_quiet -p "$1" -E -v "socket://127.0.0.1:$port/?snmp=false" -P ppd/vantel-203.ppd -o StatusQuery=On
  port=$((port + 1))
}
faults_of() { printf 'real-speed\n%s' "$2" >"$work/p/$1/control"; }
printed() { cat "$work"/p/"$1"/labels/printed.log 2>/dev/null | wc -l; }
rnd() { python3 -c "import random; print(random.uniform($1, $2))"; }
rint() { python3 -c "import random; print(random.randint($1, $2))"; }

# The member of `printers` that is printing the job now: the one whose log saw a connection last.
busy_member() {
  local p best= when=
  for p in "$@"; do
    local t
    t=$(grep "connection .* from" "$work/p/$p/log" 2>/dev/null | tail -1 | cut -c1-23)
    [ -n "$t" ] && { [ -z "$when" ] || [[ "$t" > "$when" ]]; } && { best=$p; when=$t; }
  done
  echo "$best"
}
total_printed() { local n=0 p; for p in "$@"; do n=$((n + $(printed "$p"))); done; echo "$n"; }

# One run's fault, on the printers that serve it (one, or a class's three).
inject() {  # run fault printers...
  local run=$1 fault=$2
  shift 2
  local k at p
  k=$(rint 1 20)
  case $fault in
    drop)
      # The order was given before the job was sent (prepare_drop): wait for the cut.
      for _ in $(seq 6000); do
        for p in "$@"; do grep -q "dropped by order" "$work/p/$p/log" && break 2; done
        sleep 0.1
      done
      for p in "$@"; do faults_of "$p" ""; done ;;
    paper)
      # The roll was ordered before the job was sent (prepare): wait for it to run out.
      for _ in $(seq 1200); do
        for p in "$@"; do grep -q "out of paper" "$work/p/$p/log" && break 2; done
        sleep 0.1
      done
      echo "$run paper-out $p" >>"$work/injected"
      shown_at "$p" media-empty-error
      sleep 3
      for p in "$@"; do faults_of "$p" ""; done ;;
    off | head)
      for _ in $(seq 12000); do
        [ "$(total_printed "$@")" -ge $((k - 1)) ] && [ -n "$(busy_member "$@")" ] && break
        sleep 0.05
      done
      sleep "$(rnd 0 $label_seconds)"
      p=$(busy_member "$@")
      if [ "$fault" = off ]; then
        faults_of "$p" "offline"$'\n'
        echo "$run off-at-label $k $p" >>"$work/injected"
        sleep 10
      else
        faults_of "$p" "head-open"$'\n'
        echo "$run head-at-label $k $p" >>"$work/injected"
        shown_at "$p" cover-open-error
        sleep 3
      fi
      faults_of "$p" "" ;;
  esac
}
# The faults ordered before run $1's job is sent, so that they fall where they are meant to:
# the connection cut at a random byte of the job, the roll out after a random label.
prepare() {  # run fault printers...
  local run=$1 fault=$2 at p order
  shift 2
  case $fault in
    drop) at=$(rint 1 $((20 * label_bytes))); order="drop-after $at" ;;
    paper) at=$(rint 0 19); order="out-of-paper-after $at" ;;
    *) return 0 ;;
  esac
  for p in "$@"; do faults_of "$p" "$order"$'\n'; done
  echo "$run $order" >>"$work/prepared"
}

queue_alerts() { cups_client lpstat -l -p "$1" 2>/dev/null | sed -n 's/^\s*Alerts: //p'; }

# Asks the queue of printer $1 for its alerts every 0.1 s (for at most 10 s) until they
# hold $2, and notes when the first lpstat that showed it began.
shown_at() {
  local began
  for _ in $(seq 100); do
    began=$(now)
    grep -q "$2" <<<"$(queue_alerts "$1")" && { echo "$1 $began" >>"$work/shown"; return 0; }
    sleep 0.1
  done
}

run_fault() {  # mode fault
  local mode=$1 fault=$2 n c i members
  rm -rf "$work/p" "$work/injected" "$work/prepared" "$work/jobs"
  mkdir -p "$work/p"
  : >"$work/injected"
  : >"$work/prepared"
  : >"$work/shown"
  local injectors=()
  if [ "$mode" = queue ]; then
    for ((i = 0; i < runs; i++)); do start_printer "q$i"; done
    for ((i = 0; i < runs; i++)); do prepare "$i" "$fault" "q$i"; done
    sleep 0.3  # read by the printers
    for ((i = 0; i < runs; i++)); do
      echo "$i $(submit -d "q$i" "$work/job.pdf") q$i" >>"$work/jobs"
      inject "$i" "$fault" "q$i" &
      injectors+=($!)
    done
  else
    for ((c = 0; c < runs; c += classes)); do
      for ((i = c; i < c + classes && i < runs; i++)); do
        for m in a b c; do start_printer "c$i$m"; lpadmin_quiet -p "c$i$m" -c "k$i"; done
        cups_client cupsenable "k$i"
        cups_client cupsaccept "k$i"
        prepare "$i" "$fault" "c${i}a" "c${i}b" "c${i}c"
        sleep 0.3
        echo "$i $(submit -d "k$i" "$work/job.pdf") c${i}a c${i}b c${i}c" >>"$work/jobs"
        inject "$i" "$fault" "c${i}a" "c${i}b" "c${i}c" &
        injectors+=($!)
      done
      wait_all_jobs 1800
      wait "${injectors[@]}" 2>/dev/null || true
      injectors=()
    done
  fi
  wait_all_jobs 1800
  [ ${#injectors[@]} -eq 0 ] || wait "${injectors[@]}" 2>/dev/null || true
  report "$mode" "$fault"
  stop_printers
  # FAULT_BENCH_KEEP=DIR keeps each run's printers (logs, labels) and jobs there.
  if [ -n "${FAULT_BENCH_KEEP:-}" ]; then
    mkdir -p "$FAULT_BENCH_KEEP/$mode-$fault"
    cp -r "$work/p" "$work/injected" "$work/prepared" "$work/jobs" "$work/results" "$FAULT_BENCH_KEEP/$mode-$fault/"
  fi
  local q
  for q in $(cups_client lpstat -p 2>/dev/null | awk '/^printer/{print $2}'); do
    [ "$q" = ref ] || cups_client lpadmin -x "$q" 2>/dev/null || true
  done
  for q in $(cups_client lpstat -c 2>/dev/null | awk '/^members of class/{print $4}' | tr -d :); do
    cups_client lpadmin -x "$q" 2>/dev/null || true
  done
}

wait_all_jobs() {  # seconds
  local id rest
  for _ in $(seq "$1"); do
    rest=0
    while read -r _ id _; do
      case $(job_state "$id") in completed | aborted | canceled | processing-stopped) ;; *) rest=1 ;; esac
    done <"$work/jobs"
    [ "$rest" = 0 ] && return 0
    sleep 1
  done
}

report() {  # mode fault
  local run id members state message
  while read -r run id members; do
    state=$(job_state "$id")
    message=$(cups_client lpstat -W all -l -o 2>/dev/null | awk -v j="-$id " 'index($0, j){f=1; next} f && /Status:/{sub(/^[ \t]*Status: */, ""); print; exit}')
    echo "$run|$state|$message|$(for m in $members; do ls "$work/p/$m/labels"/label-*.png 2>/dev/null; done | xargs -r md5sum | cut -c1-32 | tr '\n' ' ')"
  done <"$work/jobs" >"$work/results"
  python3 - "$1" "$2" "$work" <<'PY'
import collections, datetime, re, sys
mode, fault, work = sys.argv[1:4]
ref = dict(line.split() for line in open(f"{work}/ref/sums"))
printed = doubled = lost = 0
ends = collections.Counter()
completed_missing = 0
for line in open(f"{work}/results"):
    run, state, message, sums = line.rstrip("\n").split("|", 3)
    counts = collections.Counter(ref.get(s, "?") for s in sums.split())
    printed += sum(1 for i in map(str, range(1, 21)) if counts[i] >= 1)
    doubled += sum(max(counts[i] - 1, 0) for i in map(str, range(1, 21))) + counts["?"]
    missing = sum(1 for i in map(str, range(1, 21)) if counts[i] == 0)
    lost += missing
    if state == "completed" and missing:
        completed_missing += 1
    ends[state if state == "completed" else f"{state}: {message or '(no message)'}"] += 1
# Time from the printer reporting the fault (its log) to the queue showing it.
delays = []
for line in open(f"{work}/shown"):
    printer, shown = line.split()
    log = open(f"{work}/p/{printer}/log").read()
    m = re.findall(r"^(\S+ \S+) (?:out of paper after|faults: .*head open)", log, re.M)
    if m:
        at = datetime.datetime.strptime(m[0], "%Y-%m-%d %H:%M:%S.%f").timestamp()
        delays.append(max(float(shown) - at, 0))
runs = sum(ends.values())
line = (f"| {fault} | {mode} | {runs} | {printed} | {doubled} | {lost} | {completed_missing} | "
        + "; ".join(f"{n} {e}" for e, n in ends.most_common()) + " | "
        + (f"{max(delays):.2f} s" if delays else "—") + " |")
print(line, flush=True)
PY
}

echo "| fault | to | runs | labels printed | printed twice | lost | completed with labels missing | how the jobs ended | shown on the queue within |"
echo "|---|---|---|---|---|---|---|---|---|"
for fault in "${faults[@]}"; do
  for mode in ${FAULT_BENCH_MODES:-queue class}; do run_fault "$mode" "$fault"; done
done

