#pragma once
// The ports of the servers the tests start on 127.0.0.1: the suite's base port plus an
// offset of each test's own, so that two suites on one machine each take a base of their
// own (VANTEL_TEST_PORT_BASE) and none meets the other's servers. The test programs get
// the base from CTest (18500 when run by hand without it); the offsets of the scripts are
// in tests/CMakeLists.txt.

#include <cstdlib>

// The first offset of each test program's block.
enum TestPortBlock : int {
  kPrinterAppPorts = 0,       // printer_app_tests: 0-9
  kPrinterAppJobsPorts = 10,  // printer_app_jobs_tests: 10-19
  kAppStatusPorts = 20,       // printer_app_status_tests: the app 20-29, printers 30-69
  kVirtualPrinterPorts = 70,  // e2e_tests, the virtual printer: 70-109
};

inline int TestPort(int offset) {
  const char *base = getenv("VANTEL_TEST_PORT_BASE");
  const int first = base && *base ? atoi(base) : 18500;
  return first + offset;
}
