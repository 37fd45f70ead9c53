#!/usr/bin/env bash
# Labels per second: a 100-label PWG raster job (4 x 6 in at 203 dpi) through the printer
# application to a file:// device, next to the filter on the same raster writing its
# command stream to a file in the same folder. The app runs on 127.0.0.1:18788 with a
# private state folder. The two take turns, each writing a new file (the last run's is
# removed untimed), and each side's median of RUNS runs is used. Also printed: the CPU
# time each side spends, the app's being its server's and ipptool's. The filter and the
# server run on the same (last) processor and ipptool on the first: the processors of a
# virtual machine can differ in speed by half, which would decide the ratio otherwise.
#
#   bench/printer_app_throughput.sh [RUNS]      (default 11)
#
# Target: the app's time at most 1.2 x the filter's.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-11}
port=18788
bench/build.sh rastertovantel vantel-printer-app label_raster
dir=build-bench

work=$(mktemp -d /tmp/vantel-app-bench.XXXXXX)
chmod 755 "$work"
app_pid=
trap '[ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM
mkdir "$work/out"
labels=100
"$dir/bench/label_raster" --pwg "$labels" 812 1218 >"$work/job.pwg"

on_last=(taskset -c "$(( $(nproc) - 1 ))") on_first=(taskset -c 0)
state=(env "SNAP_COMMON=$work" "TMPDIR=$work" "HOME=$work" "XDG_CONFIG_HOME=$work")
app() { "${state[@]}" "$dir/printer-app/vantel-printer-app" "$@"; }
# taskset and env exec the server, so that $! is the server's and the trap ends it.
"${on_last[@]}" "${state[@]}" "$dir/printer-app/vantel-printer-app" server -o server-port=$port \
  -o listen-hostname=127.0.0.1 -o log-file="$work/log" >"$work/server.out" 2>&1 &
app_pid=$!
for ((i = 0; i < 100; i++)); do
  kill -0 "$app_pid" 2>/dev/null || { cat "$work/server.out" >&2; exit 1; }
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && app status >/dev/null 2>&1 && break
  sleep 0.1
done
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
  EXPECT job-state-reasons WITH-VALUE job-completed-successfully
}
TEST

filter_run() {
  PPD=ppd/vantel-203.ppd "${on_last[@]}" "$dir/filter/rastertovantel" 1 bench job 1 "PageSize=w288h432" \
    "$work/job.pwg" >"$work/filter.prn" 2>/dev/null
}
app_run() { "${on_first[@]}" ipptool -T 120 -f "$work/job.pwg" "ipp://127.0.0.1:$port/ipp/print/bench" "$work/print.test"; }

# The server's user + system CPU time so far, in clock ticks.
server_ticks() { awk '{ print $14 + $15 }' "/proc/$app_pid/stat"; }

# One run of "$@": "real user+system" seconds; fails when the command does.
timed() {
  local TIMEFORMAT='%R %U %S' times
  times=$( { time "$@" >/dev/null; } 2>&1 ) || { echo "failed: $*" >&2; return 1; }
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' <<<"$times"
}
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

filter_times=() app_times=() filter_cpu=() app_cpu=()
for ((r = 0; r < runs; r++)); do   # alternated, so that both see the same machine load
  rm -f "$work/filter.prn" "$work/out/bench.prn"
  read -r real cpu < <(timed filter_run)
  filter_times+=("$real") filter_cpu+=("$cpu")
  before=$(server_ticks)
  read -r real cpu < <(timed app_run)
  app_times+=("$real")
  app_cpu+=("$(awk -v c="$cpu" -v t="$(( $(server_ticks) - before ))" -v hz="$(getconf CLK_TCK)" \
    'BEGIN { printf "%.3f", c + t / hz }')")
done
filter=$(printf '%s\n' "${filter_times[@]}" | median)
app_time=$(printf '%s\n' "${app_times[@]}" | median)
cmp -s "$work/filter.prn" "$work/out/bench.prn" && same=yes || same=no
printf 'labels: %d (4 x 6 in, 203 dpi, PWG raster); %d runs each; load %s\n' "$labels" "$runs" \
  "$(cut -d' ' -f1-3 /proc/loadavg)"
printf 'filter: %ss  %s labels/s  (CPU %ss)\n' "$filter" "$(echo "scale=1; $labels / $filter" | bc)" \
  "$(printf '%s\n' "${filter_cpu[@]}" | median)"
printf 'app:    %ss  %s labels/s  (CPU %ss, server and ipptool)\n' "$app_time" \
  "$(echo "scale=1; $labels / $app_time" | bc)" "$(printf '%s\n' "${app_cpu[@]}" | median)"
printf 'app / filter time: %s (target <= 1.20); same bytes: %s\n' \
  "$(echo "scale=2; $app_time / $filter" | bc)" "$same"
