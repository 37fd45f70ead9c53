#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each one for a while.
#   scripts/fuzz.sh [seconds per target] [target ...]
# New inputs go to build-fuzz/corpus/<target>; crashes to build-fuzz/artifacts/. The
# committed seeds in fuzz/corpus/<target> are only read.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true

scripts/deps.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DVANTEL_BUILD_FUZZERS=ON -DVANTEL_BUILD_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"$(nproc)" >/dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in fuzz/fuzz_*.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi

export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/fuzz/lsan.supp:print_suppressions=0}

# libcups itself, reading a compressed raster, callocs a row buffer of the header's
# cupsBytesPerLine before the filter sees the header (the filter never holds more than
# 64 KiB of a page). Under AddressSanitizer each such gigabyte allocation costs about a
# tenth of a second, and the fuzzer soon finds headers that ask for it: an allocation
# above 64 MB fails instead, as on a machine short of memory. Uncompressed rasters still
# reach the filter with rows of any width.
export ASAN_OPTIONS=${ASAN_OPTIONS:-max_allocation_size_mb=64:allocator_may_return_null=1}

mkdir -p build-fuzz/artifacts
status=0
for target in "${targets[@]}"; do
  seeds=fuzz/corpus/${target#fuzz_}
  work=build-fuzz/corpus/${target#fuzz_}
  mkdir -p "$work"
  echo "== $target: ${seconds}s"
  if ! build-fuzz/fuzz/"$target" -max_total_time="$seconds" -rss_limit_mb=2048 -malloc_limit_mb=8192 -timeout=20 -close_fd_mask=2 \
      -print_final_stats=1 -artifact_prefix=build-fuzz/artifacts/"$target"- \
      "$work" "$seeds" 2>build-fuzz/"$target".log; then
    status=1
    echo "   FOUND A CRASH: see build-fuzz/$target.log and build-fuzz/artifacts/"
  fi
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)|cov: ' build-fuzz/"$target".log | tail -3 |
    sed 's/^/   /'
done
exit $status
