#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; then builds again with
# AddressSanitizer and UndefinedBehaviorSanitizer and runs the tests of the project's own
# programs under them (the ones that drive a CUPS scheduler and Ghostscript, or build the
# Debian packages, run in the plain build only). Each test has a deadline; the servers
# they start listen on 127.0.0.1 from VANTEL_TEST_PORT_BASE (18500) on, so two suites on
# one machine take two bases. At the end: how long each step took and the five slowest
# tests of each build.
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
steps=()
# Runs a step and notes how long it took.
step() {  # NAME COMMAND...
  local name=$1 start=$SECONDS
  shift
  "$@"
  steps+=("$(printf '%4d s  %s' $((SECONDS - start)) "$name")")
}
# The five slowest tests of a ctest run, from what it printed.
slowest() {  # BUILD_DIR
  [ -f "$1/Testing/suite.log" ] || return 0
  echo "Slowest tests in $1:"
  sed -n 's/^ *[0-9]*\/[0-9]* Test *#[0-9]*: \([^ ]*\) .* \([0-9.]*\) sec$/\2 \1/p' "$1/Testing/suite.log" |
    sort -rn | head -5 | awk '{ printf "%8.1f s  %s\n", $1, $2 }'
}
# Runs the tests of a build, at most three at a time: many wait on servers and printers
# rather than compute.
run_tests() {  # BUILD_DIR [ENV...]
  local dir=$1
  shift
  mkdir -p "$dir/Testing"
  (cd "$dir" && env "$@" ctest --output-on-failure -j3) | tee "$dir/Testing/suite.log"
}
compare_state() {
  local status=$?
  trap - EXIT INT TERM
  set +e
  if [ ${#steps[@]} -gt 0 ]; then
    echo "Steps (${SECONDS} s in all):"
    printf '  %s\n' "${steps[@]}"
    slowest build
    [ "${VANTEL_SKIP_SANITIZE:-0}" = 1 ] || slowest build-asan
  fi
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

rm -f build/Testing/suite.log build-asan/Testing/suite.log
step "build" scripts/build.sh build
step "tests" run_tests build
if [ "${VANTEL_SKIP_SANITIZE:-0}" != 1 ]; then
  step "build with ASan+UBSan" scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DVANTEL_SANITIZE=ON
  step "tests under ASan+UBSan" run_tests build-asan ASAN_OPTIONS=detect_leaks=1 \
    LSAN_OPTIONS=suppressions=$PWD/fuzz/lsan.supp:print_suppressions=0
fi
