#!/usr/bin/env bash
# Peak memory of the filter on one large page, measured with /usr/bin/time -v: a 600 dpi
# A4-sized page (4960 x 7016) and a 102 x 330 mm label at 300 dpi (1205 x 3898). The
# design holds one gray page (rows padded to whole bytes) and its 1-bit bitmap, so the
# peak should be about 1.125 bytes per pixel over the program's own baseline.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
dir=build-bench
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTEL_BUILD_BENCH=ON \
  -DVANTEL_BUILD_TESTS=OFF -DVANTEL_LOG_PATH="$PWD/$dir/korvel-bench.log" >/dev/null
cmake --build "$dir" -j2 --target rastertovantel label_raster >/dev/null

peak_kb() {  # peak resident set of the filter on raster $1, in KiB
  /usr/bin/time -v "$dir/filter/rastertovantel" 1 bench memory 1 "" "$1" 2>&1 >/dev/null |
    sed -n 's/^[[:space:]]*Maximum resident set size (kbytes): //p'
}

# The baseline: the same program on a tiny page.
"$dir/bench/label_raster" 1 100 100 >"$dir/bench/tiny.ras"
base=$(peak_kb "$dir/bench/tiny.ras")
printf '%-34s %10s %12s %12s %8s\n' page pixels "peak KiB" "expected KiB" ratio
printf '%-34s %10s %12s %12s %8s\n' "100 x 100 (baseline)" 10000 "$base" - -
for page in "A4 at 600 dpi:4960:7016" "102 x 330 mm at 300 dpi:1205:3898"; do
  IFS=: read -r name width height <<<"$page"
  "$dir/bench/label_raster" 1 "$width" "$height" >"$dir/bench/memory.ras"
  peak=$(peak_kb "$dir/bench/memory.ras")
  stride=$(( (width + 7) / 8 * 8 ))
  expected=$(( (stride * height + stride / 8 * height) / 1024 ))
  printf '%-34s %10d %12d %12d %8s\n' "$name ($width x $height)" $((width * height)) "$peak" \
    "$expected" "$(awk -v p="$peak" -v b="$base" -v e="$expected" 'BEGIN { printf "%.3f", (p - b) / e }')"
done
rm -f "$dir/bench/memory.ras" "$dir/bench/tiny.ras"
