#!/usr/bin/env bash
# The time pdftolabel adds to a job, per Letter page: a job of Letter pages, each with a
# 4 x 6 in label in its top-left corner (tests/labelfit/carrier_pages.sh), cut into
# labels for a 4 x 6 in queue, against the same run with LabelFit=Off, which reads the
# job and writes it back as it came. Prints the medians and their difference per page;
# the target is under 100 ms a page.
#   bench/pdftolabel_time.sh [RUNS]    (default 11 runs of each)
#   PAGES=N (default 50), PAGE=layout of carrier_pages.sh (default letter-topleft; letter-scan
#   is a scan, whose label is drawn at the printer's resolution), DPI=203 or 300 (the PPD)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-11}
pages=${PAGES:-50}
layout=${PAGE:-letter-topleft}
dpi=${DPI:-203}

bench/build.sh pdftolabel
dir=build-bench

work=$dir/bench/pdftolabel
mkdir -p "$work"
tests/labelfit/carrier_pages.sh "$work" >/dev/null
page=$work/$layout.pdf
job=$work/letter-$pages.pdf
qpdf --empty --pages $(for _ in $(seq "$pages"); do echo "$page"; done) -- "$job"

run() {  # LabelFit value; prints the wall time in seconds
  local start
  start=$(date +%s%N)
  PPD=$PWD/ppd/vantel-$dpi.ppd "$dir/prefilter/pdftolabel" 1 bench letters 1 \
    "PageSize=w288h432 LabelFit=$1" "$job" >"$work/out.pdf" 2>"$work/err"
  echo "$(( $(date +%s%N) - start ))e-9"
}
run On >/dev/null
labels=$(qpdf --show-npages "$work/out.pdf")
[ "$labels" -eq "$pages" ] || { echo "pdftolabel made $labels labels of $pages pages" >&2; exit 1; }

echo "Job: $pages pages of $layout, $dpi dpi; $(wc -c <"$job") bytes"
echo "Machine: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) CPUs, load $(cut -d' ' -f1-3 /proc/loadavg)"
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
on=() off=()
# Turn about, so that a change in the load of a shared machine falls on both.
for _ in $(seq "$runs"); do
  on+=("$(run On)")
  off+=("$(run Off)")
done
on_s=$(printf '%s\n' "${on[@]}" | median)
off_s=$(printf '%s\n' "${off[@]}" | median)
awk -v on="$on_s" -v off="$off_s" -v n="$runs" -v pages="$pages" 'BEGIN {
  printf "Median of %d runs each: LabelFit=On %.3f s, LabelFit=Off %.3f s\n", n, on, off
  printf "Added per page: %.1f ms (target < 100 ms)\n", (on - off) * 1000 / pages }'
