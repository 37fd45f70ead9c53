#!/usr/bin/env bash
# Builds the given targets into build-bench/, the benchmarks' own build: optimised, with
# the benchmarks and without the tests, its diagnostic log kept to itself. Installs what
# is missing first. The benchmark scripts call it; run from the top folder.
#   bench/build.sh TARGET...
set -euo pipefail
scripts/deps.sh
dir=build-bench
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTEL_BUILD_BENCH=ON \
  -DVANTEL_BUILD_TESTS=OFF -DVANTEL_LOG_PATH="$PWD/$dir/korvel-bench.log" >/dev/null
cmake --build "$dir" -j2 --target "$@" >/dev/null
