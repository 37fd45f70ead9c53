#pragma once
// The ports of the servers the tests start on 127.0.0.1: the suite's base port, as
// configured (VANTEL_TEST_PORT_BASE), plus an offset of each test's own, so that two suites
// on one machine, each with a base of its own, never meet. The blocks of the test programs
// are here, the scripts' offsets in tests/e2e/CMakeLists.txt.

enum TestPortBlock : int {
  kPrinterAppPorts = 0,       // printer_app_tests: 0-9
  kPrinterAppJobsPorts = 10,  // printer_app_jobs_tests: 10-19
  kAppStatusPorts = 20,       // printer_app_status_tests: the app 20-29, printers 30-69
  kVirtualPrinterPorts = 70,  // e2e_tests, the virtual printer: 70-109
};

extern const int kTestPortBase;

inline int TestPort(int offset) { return kTestPortBase + offset; }
