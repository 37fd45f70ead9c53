#!/usr/bin/env bash
# Labels per second: a 100-label PWG raster job (4 x 6 in at 203 dpi) through the printer
# application to a file:// device, next to the filter on the same raster. The app runs on
# 127.0.0.1:18788 with a private state folder; each side's median of RUNS runs is used.
#
#   bench/printer_app_throughput.sh [RUNS]      (default 5)
#
# Target: the app's time at most 1.2 x the filter's.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
port=18788
dir=build-bench
cmake -S . -B "$dir" -DVANTEL_BUILD_BENCH=ON -DVANTEL_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" -j2 --target rastertovantel vantel-printer-app label_raster >/dev/null

work=$(mktemp -d /tmp/vantel-app-bench.XXXXXX)
chmod 755 "$work"
app_pid=
trap '[ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM
mkdir "$work/out"
labels=100
"$dir/bench/label_raster" --pwg "$labels" 812 1218 >"$work/job.pwg"

app() { SNAP_COMMON=$work TMPDIR=$work HOME=$work XDG_CONFIG_HOME=$work "$dir/printer-app/vantel-printer-app" "$@"; }
app server -o server-port=$port -o listen-hostname=127.0.0.1 -o log-file="$work/log" >"$work/server.out" 2>&1 &
app_pid=$!
for ((i = 0; i < 100; i++)); do app status >/dev/null 2>&1 && break; sleep 0.1; done
app add -d bench -m vantel_203dpi -v "file://$work/out?ext=prn"
cat >"$work/print.test" <<'TEST'
{
  OPERATION Print-Job
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri
  ATTR name requesting-user-name bench
  ATTR name job-name bench
  ATTR mimeMediaType document-format image/pwg-raster
  GROUP job-attributes-tag
  ATTR keyword media oe_w288h432_4x6in
  FILE $filename
  STATUS successful-ok
  EXPECT job-state WITH-VALUE completed
}
TEST

# Seconds for one run of "$@", to the millisecond.
seconds() {
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null
  end=$(date +%s%N)
  echo "scale=3; ($end - $start) / 1000000000" | bc
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

filter_run() {
  PPD=ppd/vantel-203.ppd "$dir/filter/rastertovantel" 1 bench job 1 "PageSize=w288h432" "$work/job.pwg"
}
app_run() { ipptool -T 120 -f "$work/job.pwg" "ipp://127.0.0.1:$port/ipp/print/bench" "$work/print.test"; }

filter_times=() app_times=()
for ((r = 0; r < runs; r++)); do   # alternated, so that both see the same machine load
  filter_times+=("$(seconds filter_run)")
  app_times+=("$(seconds app_run)")
done
filter=$(printf '%s\n' "${filter_times[@]}" | median)
app_time=$(printf '%s\n' "${app_times[@]}" | median)
cmp -s <(filter_run) "$work/out/bench.prn" && same=yes || same=no
printf 'labels: %d (4 x 6 in, 203 dpi, PWG raster)\n' "$labels"
printf 'filter: %ss  %s labels/s\n' "$filter" "$(echo "scale=1; $labels / $filter" | bc)"
printf 'app:    %ss  %s labels/s\n' "$app_time" "$(echo "scale=1; $labels / $app_time" | bc)"
printf 'app / filter time: %s (target <= 1.20); same bytes: %s\n' \
  "$(echo "scale=2; $app_time / $filter" | bc)" "$same"
