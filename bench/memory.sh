#!/usr/bin/env bash
# Peak memory of the filter on large pages, measured with /usr/bin/time -v, over the
# baseline of a tiny page. The filter converts a few rows at a time, so the peak should
# stay within about 2 MiB of the baseline whatever the page's height:
#   a 600 dpi A4-sized page (4960 x 7016), a 102 x 330 mm and a 102 x 1000 mm label at
#   300 dpi, and an 1800-byte raster whose header claims a 30000 x 30000 page.
#   bench/memory.sh [OTHER_FILTER]
# With OTHER_FILTER (another build of rastertovantel, say of an earlier commit) its peaks
# are printed beside this build's, measured on the same rasters.
set -euo pipefail
cd "$(dirname "$0")/.."
other=${1:-}
bench/build.sh rastertovantel label_raster
dir=build-bench

peak_kb() {  # peak resident set of filter $1 on raster $2, in KiB
  /usr/bin/time -v "$1" 1 bench memory 1 "" "$2" 2>&1 >/dev/null |
    sed -n 's/^[[:space:]]*Maximum resident set size (kbytes): //p'
}

raster=$dir/bench/memory.ras
trap 'rm -f "$raster"' EXIT
columns=(page "raster bytes" "peak KiB" "over base")
[ -n "$other" ] && columns+=("other KiB" "over base")
row() { printf '%-36s %12s' "$1" "$2"; shift 2; printf ' %10s' "$@"; echo; }
row "${columns[@]}"
base=() other_base=
for page in "100 x 100 (baseline):100:100" "A4 at 600 dpi:4960:7016" \
  "102 x 330 mm at 300 dpi:1205:3898" "102 x 1000 mm at 300 dpi:1205:11811" \
  "30000 x 30000 claimed, header only:30000:30000:0"; do
  IFS=: read -r name width height rows <<<"$page"
  "$dir/bench/label_raster" 1 "$width" "$height" ${rows:+"$rows"} >"$raster"
  peak=$(peak_kb "$dir/filter/rastertovantel" "$raster")
  [ ${#base[@]} -eq 0 ] && base=("$peak")
  line=("$name" "$(wc -c <"$raster")" "$peak" "$((peak - base[0]))")
  if [ -n "$other" ]; then
    other_peak=$(peak_kb "$other" "$raster")
    [ -z "$other_base" ] && other_base=$other_peak
    line+=("$other_peak" "$((other_peak - other_base))")
  fi
  row "${line[@]}"
done
