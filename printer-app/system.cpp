#include "printer-app/system.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "printer-app/command_filter.h"
#include "printer-app/driver.h"
#include "printer-app/image_filter.h"
#include "printer-app/net_device.h"
#include "printer-app/pdf_filter.h"
#include "printer-app/printer_defaults.h"
#include "printer-app/printers.h"
#include "printer-app/saved_state.h"
#include "printer-app/server_options.h"
#include "printer-app/web.h"

namespace {

constexpr const char *kBaseName = "vantel-printer-app";

// Authentication for the settings pages when the server is reachable from the network
// and no service was named: the PAM service of the console login.
constexpr const char *kRemoteAuthService = "login";

// How many jobs a printer holds, printing and waiting: beyond it a new job is answered
// server-error-busy. PAPPL's raw socket listener takes a connection only while the
// printer has room for another job.
constexpr int kMaxQueuedJobs = 100;

// Every printer, added or loaded from the saved state, holds up to kMaxQueuedJobs jobs
// (with PAPPL's default of no limit the raw socket listener stalls once several printers
// exist) and shows its darkness and speed defaults. Printers of the saved state get their
// web pages once it is loaded.
void PrinterCreated(pappl_printer_t *printer, void *) {
  papplPrinterSetMaxActiveJobs(printer, kMaxQueuedJobs);
  UpdateDefaultAttributes(printer);
  if (papplSystemIsRunning(papplPrinterGetSystem(printer))) AddPrinterPages(printer);
}

}  // namespace

pappl_system_t *CreateSystem(int num_options, cups_option_t *options, void *) {
  const auto option = [&](const char *name) { return cupsGetOption(name, num_options, options); };

  const std::optional<int> port = ServerPort(option("server-port"));
  if (!port) {
    fprintf(stderr, "%s: Bad 'server-port' value.\n", kBaseName);
    return nullptr;
  }

  // Only this machine unless told otherwise; beyond it, the settings pages ask who is
  // changing them.
  const char *listen = option("listen-hostname");
  if (!listen) listen = "localhost";
  const char *auth_service = option("auth-service");
  if (!auth_service && !IsLoopbackOnly(listen)) auth_service = kRemoteAuthService;

  AddNetworkDevice();
  const char *spool = option("spool-directory");
  const std::string spool_path = spool ? spool : StatePath(".d");
  pappl_system_t *system = papplSystemCreate(
      ServerOptions(option("server-options")), kBaseName, *port, "_print,_universal", spool_path.c_str(),
      option("log-file"), LogLevel(option("log-level")), auth_service, false);
  if (!system) return nullptr;
  SetUpWebInterface(system);

  if (const char *group = option("admin-group")) papplSystemSetAdminGroup(system, group);
  if (const char *hostname = option("server-hostname")) papplSystemSetHostName(system, hostname);
  // A port another server holds is an error: running on without it, the server would
  // still take the sub-commands' socket from the one that answers on the port.
  if (!option("private-server") && !papplSystemAddListeners(system, listen)) {
    fprintf(stderr, "%s: Unable to listen on '%s' port %d: %s\n", kBaseName, listen, *port, strerror(errno));
    papplSystemDelete(system);
    return nullptr;
  }

  papplSystemSetPrinterDrivers(system, static_cast<int>(g_drivers.size()), g_drivers.data(), AutoAddCallback,
                               PrinterCreated, DriverCallback, nullptr);
  AddPdfFilter(system);
  AddImageFilters(system);
  AddCommandFilter(system);

  LoadState(system);
  // A state saved by PAPPL alone, or by an older version, holds another limit.
  for (pappl_printer_t *printer : Printers(system)) PrinterCreated(printer, nullptr);
  AddEveryPrinterPages(system);
  papplSystemSetSaveCallback(system, SaveState, nullptr);
  return system;
}
