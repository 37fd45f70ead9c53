#!/usr/bin/env bash
# A packager's folders reach the install rules: configured with -DCUPS_SERVERBIN,
# -DCUPS_DATADIR and -DVANTEL_LOG_PATH of its own (not cups-config's), the build installs
# the filter, the PPDs and the log file there, and compiles the log path into the filter.
# Only configures (a few seconds): the generated install rules are what `cmake --install`
# and the Debian packages' build (debian/rules) run.
#
#   install_dirs_test.sh SOURCE_DIR
set -euo pipefail

source_dir=$(readlink -f "$1")
work=$(mktemp -d /tmp/vantel-install-dirs.XXXXXX)
trap 'rm -rf "$work"' EXIT
trap 'exit 1' INT TERM

cmake -S "$source_dir" -B "$work/build" -DVANTEL_BUILD_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/opt/p \
  -DCUPS_SERVERBIN=/opt/x -DCUPS_DATADIR=/opt/y -DVANTEL_LOG_PATH=/opt/z/vantel.log \
  >"$work/configure.log" 2>&1 || { cat "$work/configure.log"; exit 1; }

failures=0
expect() {  # file, a line it must have, what that line means
  grep -qF -- "$2" "$work/build/$1" || { echo "FAIL: $3 ($1 has no $2)"; failures=$((failures + 1)); }
}
expect filter/cmake_install.cmake 'file(INSTALL DESTINATION "/opt/x/filter" TYPE EXECUTABLE' \
  "the filter does not go to CUPS_SERVERBIN/filter"
expect ppd/cmake_install.cmake 'file(INSTALL DESTINATION "/opt/y/model/vantel" TYPE FILE' \
  "the PPDs do not go to CUPS_DATADIR/model/vantel"
expect tools/cmake_install.cmake 'file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/bin"' \
  "label-preview does not go to the prefix's bin"
expect packaging/prepare_log.cmake 'set(log "$ENV{DESTDIR}/opt/z/vantel.log")' \
  "the install does not make the log file at VANTEL_LOG_PATH"
expect filter/CMakeFiles/vantel_log.dir/flags.make 'VANTEL_LOG_PATH=\"/opt/z/vantel.log\"' \
  "the filter is not compiled with VANTEL_LOG_PATH"
grep -q '^CUPS_SERVERBIN:PATH=/opt/x$' "$work/build/CMakeCache.txt" ||
  { echo "FAIL: the cache does not keep CUPS_SERVERBIN"; failures=$((failures + 1)); }

[ "$failures" -eq 0 ] || exit 1
echo "CUPS_SERVERBIN, CUPS_DATADIR and VANTEL_LOG_PATH reach the install rules"
