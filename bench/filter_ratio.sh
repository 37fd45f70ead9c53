#!/usr/bin/env bash
# The whole filter against the raster floor: a 500-page job of 4 x 6 inch labels at
# 203 dpi (812 x 1218), as a compressed raster, through rastertovantel and through
# raster_floor (which only reads the raster with libcups and writes as many bytes).
# Prints both medians and their ratio; the target is filter / floor <= 1.03.
#   bench/filter_ratio.sh [RUNS]    (default 20 runs of each; PAGES=... to change the job)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20}
pages=${PAGES:-500}

bench/build.sh rastertovantel raster_floor label_raster
dir=build-bench

job="$dir/bench/labels-$pages.ras"
"$dir/bench/label_raster" "$pages" 812 1218 >"$job"
filter=("$PWD/$dir/filter/rastertovantel" 1 bench labels 1 "")
"${filter[@]}" <"$job" >"$dir/bench/filter.out" 2>"$dir/bench/filter.err"
bytes=$(wc -c <"$dir/bench/filter.out")
printed=$(grep -c '^PAGE: ' "$dir/bench/filter.err" || true)
[ "$printed" -eq "$pages" ] || { echo "the filter printed $printed of $pages pages" >&2; exit 1; }
"$dir/bench/raster_floor" "$bytes" <"$job" >"$dir/bench/floor.out"
[ "$(wc -c <"$dir/bench/floor.out")" -eq "$bytes" ] || { echo "floor wrote a different size" >&2; exit 1; }
rm -f "$dir/bench/filter.out" "$dir/bench/floor.out"

filter_cmd="${filter[*]:0:5} '' <$job >/dev/null 2>&1"
floor_cmd="$PWD/$dir/bench/raster_floor $bytes <$job >/dev/null"
echo "Job: $pages pages of 812 x 1218, $(wc -c <"$job") bytes of compressed raster; $bytes bytes out"
echo "Machine: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) CPUs, load $(cut -d' ' -f1-3 /proc/loadavg)"

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
filter_times=() floor_times=() filter_cpu=() floor_cpu=()
# The machine may be shared: the two take turns, in rounds of a few runs each, so that a
# change in the background load falls on both.
rounds=5
per_round=$(( (runs + rounds - 1) / rounds ))
for round in $(seq "$rounds"); do
  if command -v hyperfine >/dev/null; then
    json="$dir/bench/filter_ratio.json"
    order=(-n filter "$filter_cmd" -n floor "$floor_cmd")
    [ $((round % 2)) -eq 0 ] && order=(-n floor "$floor_cmd" -n filter "$filter_cmd")
    hyperfine --style none --warmup 1 --runs "$per_round" --export-json "$json" "${order[@]}"
    # Per command: its run times, one a line, and its mean user + system CPU time.
    for name in filter floor; do
      mapfile -t t < <(awk -v name="\"$name\"" '
        /"command":/ { inside = index($0, name) > 0 }
        /"times":/ { collecting = inside; next }
        collecting && /]/ { collecting = 0 }
        collecting { gsub(/[ ,]/, ""); print }' "$json")
      cpu=$(awk -v name="\"$name\"" '/"command":/ { inside = index($0, name) > 0 }
        inside && /"(user|system)":/ { gsub(/[ ,]/, ""); split($0, kv, ":"); sum += kv[2] }
        END { print sum }' "$json")
      if [ "$name" = filter ]; then filter_times+=("${t[@]}"); filter_cpu+=("$cpu")
      else floor_times+=("${t[@]}"); floor_cpu+=("$cpu"); fi
    done
  else
    for _ in $(seq "$per_round"); do
      start=$(date +%s%N); sh -c "$filter_cmd"; filter_times+=("$(( $(date +%s%N) - start ))e-9")
      start=$(date +%s%N); sh -c "$floor_cmd"; floor_times+=("$(( $(date +%s%N) - start ))e-9")
    done
  fi
done

filter_s=$(printf '%s\n' "${filter_times[@]}" | median)
floor_s=$(printf '%s\n' "${floor_times[@]}" | median)
awk -v f="$filter_s" -v b="$floor_s" -v n="${#filter_times[@]}" \
  'BEGIN { printf "Median of %d runs each: filter %.3f s, floor %.3f s, filter / floor = %.3f (target <= 1.03)\n", n, f, b, f / b }'
if [ ${#filter_cpu[@]} -gt 0 ]; then
  fc=$(printf '%s\n' "${filter_cpu[@]}" | median)
  bc=$(printf '%s\n' "${floor_cpu[@]}" | median)
  awk -v f="$fc" -v b="$bc" \
    'BEGIN { printf "User + system CPU per run (median of the rounds): filter %.3f s, floor %.3f s, ratio %.3f\n", f, b, f / b }'
fi
