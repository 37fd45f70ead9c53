#!/usr/bin/env bash
# The driver under a real CUPS scheduler: a private cupsd on 127.0.0.1, queues made with
# lpadmin from the project's PPDs, documents printed with lp, and each job's output file
# read back: one label block per page, the setup lines the queue and the job ask for, and
# the printed dots where the document has them. A job the filter refuses must end as a
# failed job, not as a completed one.
#
#   cups_queue_test.sh FILTER QUEUE_TOOL PORT PDFTOLABEL
#
# Exits 77 (skipped) when not run as root or when the CUPS scheduler or Ghostscript is
# missing. Leaves nothing running and nothing behind.
set -euo pipefail

filter=$(readlink -f "$1")
tool=$(readlink -f "$2")
port=$3
prefilter=$(readlink -f "$4")  # the PPDs send PDF jobs through it first
source_dir=$(cd "$(dirname "$0")/../.." && pwd)

source "$source_dir/scripts/private_cupsd.sh"
cupsd_test_lock "$port" lpadmin lp ipptool gs
source "$source_dir/tests/e2e/label_checks.sh"
work=$(mktemp -d /tmp/vantel-cups-test.XXXXXX)
chmod 755 "$work"  # the scheduler runs the filters as lp
trap 'cupsd_stop; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM  # so that the EXIT trap runs on these too

# --- Documents -----------------------------------------------------------------------
# Drawn in printer dots (the scale makes one unit one dot), from the bottom left as
# PostScript counts; the checks below count rows from the top, as the label does.

# 2 pages of 2 x 1 in (406 x 203 dots at 203 dpi). Page 1: a black box at x 40-119,
# y 30-89 and a 55 % gray box at x 200-279 that a threshold at 128 leaves white.
# Page 2: one black box at x 300-379, y 120-179.
cat >"$work/two-pages.ps" <<'PS'
%!PS
<< /PageSize [144 72] >> setpagedevice
72 203 div dup scale
0 setgray 40 113 80 60 rectfill
0.55 setgray 200 113 80 60 rectfill
showpage
<< /PageSize [144 72] >> setpagedevice
72 203 div dup scale
0 setgray 300 23 80 60 rectfill
showpage
PS
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -o "$work/two-pages.pdf" "$work/two-pages.ps"

# 200 x 100 points at 300 dpi (833 x 417 dots): a black box at x 60-239, y 60-179 and a
# 50 % gray box at x 450-649, y 60-179.
cat >"$work/photo.ps" <<'PS'
%!PS
<< /PageSize [200 100] >> setpagedevice
72 300 div dup scale
0 setgray 60 237 180 120 rectfill
0.5 setgray 450 237 200 120 rectfill
showpage
PS
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pnggray -r300 -o "$work/photo.png" "$work/photo.ps"

# Rasters the filter refuses: a page that claims 100000 x 100000 pixels, and pages in
# formats it can't print (24-bit color, 8-bit black, 1-bit).
refused=(oversized rgb k 1bit)
for format in "${refused[@]}"; do "$tool" raster "$format" >"$work/$format.ras"; done

# --- Scheduler, queues and jobs ------------------------------------------------------
cupsd_start "$work/cups" "$port" "$filter" "$prefilter"
out=$CUPSD_DIR/out

# Queue defaults set with lpadmin go into the queue's copy of the PPD, which the filter
# reads; job options come on top of them.
add_queue() {
  local name=$1 ppd=$2
  shift 2
  cupsd_add_queue "$name" "$source_dir/ppd/$ppd" "$@"
}
add_queue stock vantel-203.ppd -o PrintMode=0
add_queue custom vantel-300.ppd -o Darkness=3 -o Horizontal=12
add_queue broken vantel-203.ppd

submit() {
  cups_client lp "$@" | sed -n 's/^request id is .*-\([0-9]*\) .*/\1/p'
}
stock_job=$(submit -d stock -n 2 -o PageSize=w144h72 -o Darkness=12 -o PrintSpeed=30 \
  -o Horizontal=16 -o Vertical=8 "$work/two-pages.pdf")
custom_job=$(submit -d custom -o PageSize=Custom.200x100 -o PrintMode=2 -o PrintSpeed=60 \
  -o Vertical=24 "$work/photo.png")
declare -A refused_job
for format in "${refused[@]}"; do refused_job[$format]=$(submit -d broken "$work/$format.ras"); done
# Custom sizes as the queue's default and as job options, each with its unit, one queue
# each: "job options|SIZE line". lpadmin writes the queue's custom default without a unit,
# which CUPS reads as points.
custom_sizes=("|SIZE 59mm,39mm" "-o PageSize=Custom.60x40mm|SIZE 60mm,40mm"
              "-o PageSize=Custom.4x6in|SIZE 101mm,152mm")
custom_size_job=()
for i in "${!custom_sizes[@]}"; do
  add_queue "size$i" vantel-203.ppd -o PageSize=Custom.170x113
  options=${custom_sizes[$i]%%|*}
  # shellcheck disable=SC2086  # the options are words
  custom_size_job+=("$(submit -d "size$i" $options "$work/two-pages.pdf")")
done

job_log() { grep -F "[Job $1]" "$CUPSD_DIR/log/error_log" | grep -vE '\] (argv|envp)\['; }

expect_state() {
  local job=$1 want=$2 got
  got=$(wait_for_job "$job" 30)
  if [ "$got" != "$want" ]; then
    fail "job $job ended as '$got', expected '$want'"
    job_log "$job" | tail -20
  fi
}
expect_state "$stock_job" completed
expect_state "$custom_job" completed
for format in "${refused[@]}"; do expect_state "${refused_job[$format]}" processing-stopped; done
for job in "${custom_size_job[@]}"; do expect_state "$job" completed; done

# --- Output files --------------------------------------------------------------------
# Stock size from the PPD's list, 2 pages, 2 copies each; PrintMode 0 from the queue.
# 51 x 25 mm; speed 30 / 10; the bitmap at (16, 8); each page printed twice.
"$tool" dump "$out/stock.prn" >"$work/stock.txt" || fail "stock job: $(tail -1 "$work/stock.txt")"
for page in 1 2; do
  setup_lines 51 25 3 12
  printf '%s\n' "BITMAP 16,8,51,203,1," "PRINT 1,2"
done >"$work/stock.want"
diff -u "$work/stock.want" <(commands "$work/stock.txt") || fail "stock job: commands differ"
boxes=$(grep '^  printed dots' "$work/stock.txt" || true)
expect_box "stock job, page 1" "$(sed -n 1p <<<"$boxes")" 40,30-119,89
expect_box "stock job, page 2" "$(sed -n 2p <<<"$boxes")" 300,120-379,179

# Custom size in points at 300 dpi, a PNG, dithered. 200 x 100 points are 71 x 35 mm
# (the width rounded, the height truncated); darkness 3 and +1 mm (12 dots) across from
# the queue, speed, mode and 24 dots down from the job.
"$tool" dump "$out/custom.prn" 60,60,239,179 460,70,639,169 >"$work/custom.txt" ||
  fail "custom job: $(tail -1 "$work/custom.txt")"
{
  setup_lines 71 35 6 3
  printf '%s\n' "BITMAP 12,24,W,H,1," "PRINT 1,1"
} >"$work/custom.want"
# The converter decides the raster's size: about 833 x 417 dots, 104 or 105 bytes a row.
bitmap=$(grep -m1 '^BITMAP' "$work/custom.txt" || true)
if [[ $bitmap =~ ^BITMAP\ -?[0-9]+,-?[0-9]+,(10[45]),(41[4-7]),1,$ ]]; then
  bitmap_size=${BASH_REMATCH[1]},${BASH_REMATCH[2]}
else
  fail "custom job: '$bitmap' is not the bitmap of a 200 x 100 point page at 300 dpi"
  bitmap_size=x
fi
diff -u "$work/custom.want" <(commands "$work/custom.txt" | sed "s/,$bitmap_size,1,\$/,W,H,1,/") ||
  fail "custom job: commands differ"
expect_box "custom job" "$(grep -m1 '^  printed dots' "$work/custom.txt")" 60,60-649,179
expect_share "custom job, black box" "$(grep -m1 '^  region 60,60' "$work/custom.txt")" 100 100
expect_share "custom job, 50 % gray dithered" \
  "$(grep -m1 '^  region 460,70' "$work/custom.txt")" 45 55

# Custom sizes: both labels of each job have the size its queue default or job option
# names, in whole millimetres.
for i in "${!custom_sizes[@]}"; do
  want=${custom_sizes[$i]#*|}
  "$tool" dump "$out/size$i.prn" >"$work/size$i.txt" || fail "$want: $(tail -1 "$work/size$i.txt")"
  [ "$(grep '^SIZE' "$work/size$i.txt")" = "$want"$'\n'"$want" ] ||
    fail "custom size job $i: $(grep '^SIZE' "$work/size$i.txt" | tr '\n' ' '), expected $want twice"
done

# The refused jobs: each reason in its job's log, and nothing sent to the printer.
for entry in "oversized|Page 1 is too large to print" \
  "rgb|Page 1 has an unsupported raster format (24 bits per pixel, color space 1)" \
  "k|Page 1 has an unsupported raster format (8 bits per pixel, color space 3)" \
  "1bit|Page 1 has an unsupported raster format (1 bits per pixel, color space 0)"; do
  job_log "${refused_job[${entry%%|*}]}" | grep -qF "${entry#*|}" ||
    fail "refused ${entry%%|*} raster: the filter's ERROR line is not in the job's log"
done
[ ! -s "$out/broken.prn" ] || fail "refused jobs: $(wc -c <"$out/broken.prn") bytes were printed"

# --- Nothing left running ------------------------------------------------------------
pid=$CUPSD_PID
cupsd_stop
! kill -0 "$pid" 2>/dev/null || fail "cupsd (pid $pid) still runs after SIGTERM"
if pgrep -f "$work" >/dev/null; then
  fail "processes of the test still run: $(pgrep -af "$work")"
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed; outputs:"
  for f in "$work"/stock.txt "$work"/custom.txt; do echo "== $f"; cat "$f"; done
  exit 1
fi
echo "$((2 + ${#refused[@]} + ${#custom_sizes[@]})) jobs through cupsd on 127.0.0.1:$port as expected"
