// vantel-printer-app: a driverless (IPP Everywhere) printer application for the label
// printers, on PAPPL. One program with PAPPL's sub-commands: `server` runs it, `add`,
// `devices`, `drivers`, `submit`, `status`, `shutdown` ... talk to it.

#include <pappl/pappl.h>

#include "printer-app/driver.h"
#include "printer-app/system.h"

#ifndef VANTEL_VERSION
#define VANTEL_VERSION "0.0.0"
#endif

int main(int argc, char *argv[]) {
  return papplMainloop(argc, argv, VANTEL_VERSION, nullptr, static_cast<int>(g_drivers.size()),
                       g_drivers.data(), AutoAddCallback, DriverCallback, nullptr, nullptr,
                       CreateSystem, nullptr, nullptr);
}
