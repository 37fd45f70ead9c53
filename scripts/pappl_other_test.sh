#!/usr/bin/env bash
# Builds the printer application against the other PAPPL the project carries patches for
# (Debian's 1.3.1, third_party/pappl-1.3.1.tar.gz with patches/pappl-1.3.1/), as a shared
# library linked with -Wl,-Bsymbolic-functions as other distributions link theirs, and
# runs the app's whole suite against it: its end-to-end tests, the load test, the
# driverless queue, the login checks and the web interface. The app itself links 1.4.11
# (scripts/test.sh tests that one).
#
#   scripts/pappl_other_test.sh        builds into build-pappl-1.3.1/
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
dir=build-pappl-1.3.1
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVANTEL_PAPPL_TARBALL="$PWD/third_party/pappl-1.3.1.tar.gz" \
  -DVANTEL_PAPPL_PATCHES="$PWD/patches/pappl-1.3.1" -DVANTEL_PAPPL_SHARED=ON \
  -DVANTEL_PAPPL_DSOFLAGS=-Wl,-Bsymbolic-functions >/dev/null
cmake --build "$dir" -j"$(nproc)" --target vantel-printer-app printer_app_tests \
  printer_app_jobs_tests printer_app_status_tests queue_tool label-preview vantel-virtual-printer
cd "$dir"
# The program must run on the PAPPL just built, not on one of the machine's.
ldd printer-app/vantel-printer-app | grep -q "$PWD/pappl/lib/libpappl.so.1" ||
  { echo "FAIL: the app does not run on $PWD/pappl/lib/libpappl.so.1"; exit 1; }
ctest --output-on-failure -j"$(nproc)" -R '^(PrinterApp|AppPrinterStatus)|^printer_app\.'
