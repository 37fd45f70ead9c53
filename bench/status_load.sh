#!/usr/bin/env bash
# Load on virtual printers through both front ends, with a printer switched off for 5 s
# in the middle of each run:
#  - the printer application: CLIENTS clients at once, each sending JOBS jobs (PNG, PWG
#    raster and PDF in turn, two labels each) to two virtual printers in turn;
#  - a private CUPS scheduler: QUEUE_JOBS two-label PDF jobs to one queue (socket://
#    device without SNMP, StatusQuery=On) on one virtual printer.
# For each it prints jobs per second, the time to the first label, the worst job latency
# (submitted to its connection's end) and the check: every job's labels printed once,
# together and in order. Each job is one connection to its printer, taken in the order of
# the job ids, whose labels must be 1 then 2.
#
#   bench/status_load.sh [CLIENTS [JOBS [QUEUE_JOBS]]]    (default 8 50 400; as root)
#
# Ports: the app 8826, the scheduler 18822, the virtual printers 9195-9197, on 127.0.0.1.
set -euo pipefail
cd "$(dirname "$0")/.."
clients=${1:-8} jobs=${2:-50} queue_jobs=${3:-400}
bench/build.sh rastertovantel pdftolabel vantel-printer-app vantel-virtual-printer label_raster
dir=$PWD/build-bench
source scripts/private_cupsd.sh

work=$(mktemp -d /tmp/vantel-load.XXXXXX)
chmod 755 "$work"
pids=()
stop_all() {
  local pid
  cupsd_stop
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
}
trap 'stop_all; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM

now() { date +%s.%N; }
start_printer() {  # name port
  mkdir -p "$work/$1"
  : >"$work/$1/control"
  "$dir/virtual-printer/vantel-virtual-printer" -p "$2" -o "$work/$1/labels" -l "$work/$1/log" \
    -c "$work/$1/control" >/dev/null &
  pids+=($!)
  for _ in $(seq 100); do grep -q "listening on" "$work/$1/log" 2>/dev/null && break; sleep 0.05; done
}
switch_off_for_5s() {  # name, after seconds
  (sleep "$2"; echo offline >"$work/$1/control"; sleep 5; : >"$work/$1/control") &
  pids+=($!)
}

# The figures and the check of one run, from the submissions ("PRINTER ID EPOCH" lines)
# and the virtual printers' logs.
report() {  # submissions-file start-epoch printer...
  python3 - "$work" "$@" <<'PY'
import datetime, os, re, sys
work, submitted, start, printers = sys.argv[1], sys.argv[2], float(sys.argv[3]), sys.argv[4:]
def epoch(stamp):
    return datetime.datetime.strptime(stamp, "%Y-%m-%d %H:%M:%S.%f").timestamp()
jobs = {}
for line in open(submitted):
    printer, job, when = line.split()
    jobs.setdefault(printer, []).append((int(job), float(when)))
latencies, firsts, last, problems, whole = [], [], start, [], 0
for printer in printers:
    folder = os.path.join(work, printer, "labels")
    ends, labels = {}, {}
    for line in open(os.path.join(work, printer, "log")):
        m = re.match(r"(\S+ \S+) connection (\d+) (ended|dropped|cut|failed)", line)
        if m:
            ends[int(m.group(2))] = epoch(m.group(1))
    for line in open(os.path.join(folder, "printed.log")):
        m = re.match(r"label-\d+\.png: connection (\d+), label (\d+), copy (\d+)", line)
        labels.setdefault(int(m.group(1)), []).append(int(m.group(2)) + int(m.group(3)) - 1)
    pictures = sorted(f for f in os.listdir(folder) if f.endswith(".png"))
    firsts += [os.path.getmtime(os.path.join(folder, f)) for f in pictures]
    printing = [c for c in sorted(ends) if c in labels]
    own = sorted(jobs.get(printer, []))
    if len(printing) < len(own):
        # The app keeps its connection open for the jobs waiting: its jobs print oldest
        # first, so job k's labels are the printer's labels 2k-1 and 2k.
        for k, (job, when) in enumerate(own):
            if 2 * k + 1 < len(pictures):
                done = os.path.getmtime(os.path.join(folder, pictures[2 * k + 1]))
                latencies.append(done - when)
                last = max(last, done)
        if len(pictures) == 2 * len(own):
            whole += len(own)
        else:
            problems.append(f"{printer}: {len(pictures)} labels for {len(own)} jobs of two labels")
        problems.append(f"{printer}: {len(own)} jobs on {len(printing)} connections, labels "
                        + ", ".join(f"1-{max(labels[c])}" for c in printing))
        continue
    for (job, when), connection in zip(own, printing):
        latencies.append(ends[connection] - when)
        last = max(last, ends[connection])
    for connection in sorted(labels):
        if labels[connection] == [1, 2]:
            whole += 1
        else:
            problems.append(f"{printer} connection {connection}: labels {labels[connection]}")
    if len(printing) != len(own):
        problems.append(f"{printer}: {len(own)} jobs, {len(printing)} connections that printed")
n = sum(len(v) for v in jobs.values())
print(f"  {n} jobs in {last - start:.1f} s: {n / (last - start):.1f} jobs/s; first label after "
      f"{min(firsts or [start]) - start:.2f} s; worst job latency {max(latencies or [0]):.1f} s")
print(f"  {whole} of {n} jobs printed whole (labels 1 and 2, once each, in order; on a"
      f" connection that carries several jobs: every label once)")
for p in problems[:10]:
    print("  " + p)
PY
}

# --- Documents: two labels each, as PNG (2 copies), PWG raster and PDF ------------------
convert -size 406x203 xc:white -fill black -draw "rectangle 40,40 120,120" -depth 8 \
  -colorspace Gray "$work/label.png"
"$dir/bench/label_raster" --pwg 2 406 203 >"$work/label.pwg"
{
  echo '%!PS'
  for x in 40 260; do
    echo "<< /PageSize [144 72] >> setpagedevice 72 203 div dup scale 0 setgray $x 60 80 60 rectfill showpage"
  done
} >"$work/two.ps"
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -o "$work/two.pdf" "$work/two.ps"

# --- The printer application ---------------------------------------------------------------
start_printer app-a 9195
start_printer app-b 9196
state=(env "SNAP_COMMON=$work" "TMPDIR=$work" "HOME=$work" "XDG_CONFIG_HOME=$work")
app() { "${state[@]}" "$dir/printer-app/vantel-printer-app" "$@"; }
"${state[@]}" "$dir/printer-app/vantel-printer-app" server -o server-port=8826 \
  -o listen-hostname=127.0.0.1 -o log-file="$work/app.log" >"$work/app.out" 2>&1 &
pids+=($!)
# Only once the port answers: a sub-command that finds no server starts a private one.
for _ in $(seq 100); do
  (exec 3<>/dev/tcp/127.0.0.1/8826) 2>/dev/null && app status >/dev/null 2>&1 && break
  sleep 0.1
done
app add -d a -m vantel_203dpi -v socket://127.0.0.1:9195
app add -d b -m vantel_203dpi -v socket://127.0.0.1:9196

echo "Printer application: $clients clients x $jobs jobs to two virtual printers (a off for 5 s)"
start=$(now)
switch_off_for_5s app-a 3
client_pids=()
for ((c = 0; c < clients; c++)); do
  (
    for ((j = 0; j < jobs; j++)); do
      to=a
      [ $(((c + j) % 2)) = 1 ] && to=b
      case $((j % 3)) in
        0) doc=(-o copies=2 "$work/label.png") ;;
        1) doc=("$work/label.pwg") ;;
        *) doc=("$work/two.pdf") ;;
      esac
      # PAPPL 1.3 refuses a job while another is printing ("Currently printing another
      # job"): the client sends it again, as an IPP client does on server-error-busy.
      until id=$(app submit -d "$to" "${doc[@]}" 2>/dev/null); do sleep 0.2; done
      echo "app-$to ${id##*-} $(now)" >>"$work/app-submitted"
    done
  ) &
  client_pids+=($!)
done
wait "${client_pids[@]}"
for _ in $(seq 600); do
  [ "$( (app jobs -d a; app jobs -d b) | grep -cE 'pending|processing|held')" = 0 ] && break
  sleep 0.5
done
report "$work/app-submitted" "$start" app-a app-b
echo "  jobs that ended otherwise than completed: $( (app jobs -d a; app jobs -d b) | grep -vc completed || true)"

# --- A CUPS queue --------------------------------------------------------------------------
if [ "$(id -u)" -ne 0 ]; then echo "CUPS queue: skipped (needs root)"; exit 0; fi
start_printer cups 9197
# Debian's error policy, with 5 s between tries instead of 300: the job that loses its
# printer while it is off is sent again and goes on from the label it lost.
CUPSD_ERROR_POLICY=retry-job CUPSD_RETRY_INTERVAL=5 \
  cupsd_start "$work/cupsd" 18822 "$dir/filter/rastertovantel" "$dir/prefilter/pdftolabel"
ln -s "$(cups-config --serverbin)/backend/socket" "$CUPSD_DIR/sb/backend/socket"
cups_client lpadmin -p q -E -v 'socket://127.0.0.1:9197/?snmp=false' -P ppd/vantel-203.ppd -o StatusQuery=On \
  2> >(grep -v "Printer drivers are deprecated" >&2)
echo "CUPS queue: $queue_jobs jobs to one virtual printer (off for 5 s)"
start=$(now)
switch_off_for_5s cups 3
for ((j = 0; j < queue_jobs; j++)); do
  id=$(cups_client lp -d q "$work/two.pdf" | sed -n 's/^request id is q-\([0-9]*\).*/\1/p')
  echo "cups $id $(now)" >>"$work/cups-submitted"
done
for _ in $(seq 600); do
  [ -z "$(cups_client lpstat -o q 2>/dev/null)" ] && break
  sleep 0.5
done
report "$work/cups-submitted" "$start" cups
