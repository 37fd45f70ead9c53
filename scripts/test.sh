#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; then the same suite again under
# AddressSanitizer and UndefinedBehaviorSanitizer.
#
# The suite changes nothing of the machine it runs on: tests that run the filter do it
# with a private log folder (tests/support/private_log.sh), the package is installed into
# a throw-away copy of the root, and schedulers are private ones on 127.0.0.1. It checks
# this about itself: the state scripts/machine_state.sh writes (the filter's real log,
# the installed packages, /etc/cups, the machine's scheduler, /usr) is taken after the
# missing packages are installed and before anything is built, and compared when the
# run ends, however it ends; anything that moved fails the run and is shown.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

log_path=/var/log/cups/korvel.log  # the CMake default of VANTEL_LOG_PATH
state=$(mktemp -d /tmp/vantel-machine-state.XXXXXX)
scripts/machine_state.sh "$log_path" >"$state/before"
compare_state() {
  local status=$?
  trap - EXIT INT TERM
  set +e
  scripts/machine_state.sh "$log_path" >"$state/after"
  if diff -u "$state/before" "$state/after" >"$state/changes"; then
    echo "Machine state: unchanged ($log_path, $(grep -c ' ii ' "$state/before") packages," \
      "/etc/cups, the machine's scheduler, /usr)"
    rm -rf "$state"
  else
    echo "FAIL: the test suite changed this machine (- before, + after; kept in $state):"
    head -50 "$state/changes"
    status=1
  fi
  exit "$status"
}
trap compare_state EXIT
trap 'exit 1' INT TERM

scripts/build.sh build
(cd build && ctest --output-on-failure -j"$(nproc)")
if [ "${VANTEL_SKIP_SANITIZE:-0}" != 1 ]; then
  scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DVANTEL_SANITIZE=ON
  (cd build-asan && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$PWD/../fuzz/lsan.supp:print_suppressions=0 ctest --output-on-failure -j"$(nproc)")
fi
