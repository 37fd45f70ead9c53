#!/usr/bin/env bash
# The stock and the finishing under a real CUPS scheduler: queues set up with lpadmin for
# black-mark, continuous, peel-off and cut-every-3 stock, and jobs that name the options
# themselves, each job's output read back for its setup lines: each setting changes the
# lines that carry it and no other, and a queue or job that names none prints the lines
# every label has always had. lpoptions lists every option with its choices.
#
#   media_queue_test.sh FILTER QUEUE_TOOL PORT PDFTOLABEL
#
# Exits 77 (skipped) when not run as root or when the CUPS scheduler or Ghostscript is
# missing. Leaves nothing running and nothing behind.
set -euo pipefail

filter=$(readlink -f "$1")
tool=$(readlink -f "$2")
port=$3
prefilter=$(readlink -f "$4")
source_dir=$(cd "$(dirname "$0")/../.." && pwd)

source "$source_dir/scripts/private_cupsd.sh"
cupsd_test_lock "$port" lpadmin lp lpoptions ipptool gs
source "$source_dir/tests/e2e/label_checks.sh"
work=$(mktemp -d /tmp/vantel-media-test.XXXXXX)
chmod 755 "$work"
trap 'cupsd_stop; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM

# One 2 x 1 in page with a black box.
cat >"$work/label.ps" <<'PS'
%!PS
<< /PageSize [144 72] >> setpagedevice
0 setgray 20 20 60 30 rectfill
showpage
PS
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -o "$work/label.pdf" "$work/label.ps"

cupsd_start "$work/cups" "$port" "$filter" "$prefilter"
out=$CUPSD_DIR/out

# "queue|lpadmin options|job options|lines that differ from the default block".
cases=(
  "plain|||"
  "mark|-o MediaTracking=1||GAP 0.120,0.000>BLINE 0.120,0.000"
  "continuous|-o MediaTracking=2 -o GapHeight=400||GAP 0.120,0.000>GAP 0.000,0.000"
  "peel|-o LabelMode=1 -o TearOffset=-100||OFFSET 0.000>OFFSET -0.039;SET PEEL OFF>SET PEEL ON;SET TEAR ON>SET TEAR OFF"
  "cut3|-o LabelMode=2 -o CutInterval=3||SET CUTTER OFF>SET CUTTER 3;SET TEAR ON>SET TEAR OFF"
  "batch|-o LabelMode=3||SET CUTTER OFF>SET CUTTER BATCH;SET TEAR ON>SET TEAR OFF"
  "job||-o MediaTracking=1 -o GapHeight=300 -o GapOffset=100 -o PrintShift=-8 -o PrintDirection=1|GAP 0.120,0.000>BLINE 0.118,0.039;DIRECTION 0,0>DIRECTION 1,0;SHIFT 0>SHIFT -8"
  "override|-o MediaTracking=1 -o LabelMode=1|-o MediaTracking=0 -o GapHeight=300 -o PrintDirection=2|GAP 0.120,0.000>GAP 0.118,0.000;DIRECTION 0,0>DIRECTION 0,1;SET PEEL OFF>SET PEEL ON;SET TEAR ON>SET TEAR OFF"
)
declare -A job
for entry in "${cases[@]}"; do
  IFS='|' read -r queue queue_options job_options _ <<<"$entry"
  # shellcheck disable=SC2086  # the options are words
  cupsd_add_queue "$queue" "$source_dir/ppd/vantel-203.ppd" $queue_options
  # shellcheck disable=SC2086
  job[$queue]=$(cups_client lp -d "$queue" -o PageSize=w144h72 $job_options "$work/label.pdf" |
    sed -n 's/^request id is .*-\([0-9]*\) .*/\1/p')
done

# Every option with its choices, the queue's default marked; lpoptions shows the choices'
# names only, so the option's text says what the numbers are.
cups_client lpoptions -p cut3 -l >"$work/lpoptions"
for want in "MediaTracking/Media Tracking (0 gap, 1 black mark, 2 continuous): \*0 1 2" \
  "GapHeight/Gap or Mark Height (1/100 mm): 200 250 300 \*305 350 400 500 600 800 1000" \
  "GapOffset/Gap or Mark Offset (1/100 mm): \*0 100 200 300 500 1000 2000" \
  "LabelMode/After Printing (0 tear off, 1 peel off, 2 cut, 3 cut once): 0 1 \*2 3" \
  "CutInterval/Cut After (labels): 1 2 \*3 4 5 10 20 50 100" \
  "TearOffset/Tear-Off Position (1/100 mm): -300 -200 -100 -50 \*0 50 100 200 300" \
  "PrintShift/Fine Vertical Position (dots): -24 -16 -8 -4 \*0 4 8 16 24" \
  "PrintDirection/Print Direction (0 normal, 1 upside down, 2 mirrored): \*0 1 2" \
  "PrintMode/Print Mode (5 bold, 0 sharp, 2 fine, 3 coarse, 4 smooth): \*5 0 2 3 4"; do
  grep -qx "$want" "$work/lpoptions" || fail "lpoptions -l lacks '$want'"
done

for entry in "${cases[@]}"; do
  IFS='|' read -r queue _ _ changes <<<"$entry"
  state=$(wait_for_job "${job[$queue]}" 60)
  [ "$state" = completed ] || { fail "$queue: job ended as '$state'"; continue; }
  setup_lines 51 25 4 7 >"$work/$queue.want"
  IFS=';' read -ra edits <<<"$changes"
  for edit in "${edits[@]}"; do
    sed -i "s/^${edit%%>*}\$/${edit#*>}/" "$work/$queue.want"
  done
  "$tool" dump "$out/$queue.prn" >"$work/$queue.txt" || fail "$queue: $(tail -1 "$work/$queue.txt")"
  diff -u "$work/$queue.want" <(commands "$work/$queue.txt" | sed '/^BITMAP/,$d') ||
    fail "$queue: setup lines differ"
done

pid=$CUPSD_PID
cupsd_stop
! kill -0 "$pid" 2>/dev/null || fail "cupsd (pid $pid) still runs after SIGTERM"
[ "$failures" -eq 0 ] || { cat "$work/lpoptions"; exit 1; }
echo "${#cases[@]} queues' stock and finishing through cupsd on 127.0.0.1:$port as expected"
