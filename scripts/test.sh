#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; then the same suite again under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh build
(cd build && ctest --output-on-failure -j"$(nproc)")
if [ "${VANTEL_SKIP_SANITIZE:-0}" != 1 ]; then
  scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DVANTEL_SANITIZE=ON
  (cd build-asan && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$PWD/../fuzz/lsan.supp:print_suppressions=0 ctest --output-on-failure -j"$(nproc)")
fi
