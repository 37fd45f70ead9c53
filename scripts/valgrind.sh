#!/usr/bin/env bash
# Runs the filter's end-to-end tests with every run of the filter under valgrind memcheck;
# any memory error or leak makes that run exit 99, which fails its test. (Under valgrind
# argv[0] is the filter's path, so the tests that check argv[0] in the log are left out.)
# As in the test suite, the filter writes its log into a private log folder only.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh build >/dev/null
VANTEL_TEST_WRAPPER="valgrind -q --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite --suppressions=$PWD/fuzz/valgrind.supp" \
  tests/support/private_log.sh /var/log/cups/korvel.log build/tests/e2e/e2e_tests \
  --gtest_filter='Filter.*:HostileJob.*:Settings.*:Toolchain.*-Filter.WrongArgumentCount:Filter.LogOfAJobInOrder:Filter.EachRunRewritesTheLog'
