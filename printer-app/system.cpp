#include "printer-app/system.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "printer-app/driver.h"
#include "printer-app/image_filter.h"
#include "printer-app/label_settings.h"
#include "printer-app/media_setup.h"
#include "printer-app/pdf_filter.h"
#include "printer-app/net_device.h"
#include "printer-app/web.h"

namespace {

constexpr const char *kBaseName = "vantel-printer-app";

// Authentication for the settings pages when the server is reachable from the network
// and no service was named: the PAM service of the console login.
constexpr const char *kRemoteAuthService = "login";

// Where the state and spool go, as PAPPL's own main loop puts them: the snap's folder,
// the machine's folders for root, else the user's configuration folder.
std::string StatePath(const char *suffix) {
  if (const char *snap = getenv("SNAP_COMMON")) return std::string(snap) + "/" + kBaseName + suffix;
  if (getuid() == 0) {
    if (strcmp(suffix, ".d") == 0) return std::string("/var/spool/") + kBaseName;
    return std::string("/var/lib/") + kBaseName + suffix;
  }
  const char *config = getenv("XDG_CONFIG_HOME");
  std::string home = config ? config : "";
  if (home.empty() && getenv("HOME")) {
    home = std::string(getenv("HOME")) + "/.config";
    mkdir(home.c_str(), 0700);
  }
  if (!home.empty()) return home + "/" + kBaseName + suffix;
  return std::string(papplGetTempDir()) + "/" + kBaseName + std::to_string(getuid()) + suffix;
}

std::string g_state_path;     // PAPPL's state file
std::string g_settings_path;  // the settings PAPPL does not save

// PAPPL 1.3.1 never saves print-speed-default and leaves out a darkness of 0, so a
// restart would bring back the driver's defaults. Both are kept here, one line a printer.
void SaveSettings(pappl_printer_t *printer, void *file) {
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(printer, &data);
  fprintf(static_cast<FILE *>(file), "%d %d %d\n", papplPrinterGetID(printer), data.speed_default,
          data.darkness_configured);
}

// Puts the finished `temporary` file in the place of `path`: on the disk first, then
// renamed over it, so that a crash or a power cut at any moment leaves either the old
// file or the new one whole, never a part of one.
bool CommitFile(const std::string &temporary, const std::string &path) {
  const int fd = open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
  const bool synced = fd >= 0 && fsync(fd) == 0;
  if (fd >= 0) close(fd);
  if (synced && rename(temporary.c_str(), path.c_str()) == 0) return true;
  unlink(temporary.c_str());
  return false;
}

std::vector<pappl_printer_t *> Printers(pappl_system_t *system) {
  std::vector<pappl_printer_t *> printers;
  papplSystemIteratePrinters(system, [](pappl_printer_t *printer, void *list) {
    static_cast<std::vector<pappl_printer_t *> *>(list)->push_back(printer);
  }, &printers);
  return printers;
}

// PAPPL writes its state in place, from the start: written into a file of its own first,
// the state in use is never cut short.
bool WriteStateFiles(pappl_system_t *system) {
  const std::string state = g_state_path + ".new";
  if (!papplSystemSaveState(system, state.c_str()) || !CommitFile(state, g_state_path)) return false;
  const std::string settings = g_settings_path + ".new";
  FILE *file = fopen(settings.c_str(), "w");
  if (!file) return false;
  papplSystemIteratePrinters(system, SaveSettings, file);
  return fclose(file) == 0 && CommitFile(settings, g_settings_path);
}

bool SaveState(pappl_system_t *system, void *) {
  // A default changed over IPP shows in the printer's attributes from here on (outside
  // the iteration, which holds the system's lock).
  for (pappl_printer_t *printer : Printers(system)) UpdateDefaultAttributes(printer);
  return WriteStateFiles(system);
}

void RestoreSettings(pappl_printer_t *printer, FILE *file) {
  // A state saved by PAPPL alone, or by an older version, holds another limit.
  PrinterCreatedCallback(printer, nullptr);
  if (!file) return;
  rewind(file);
  int id, speed, darkness;
  while (fscanf(file, "%d %d %d", &id, &speed, &darkness) == 3) {
    if (id != papplPrinterGetID(printer)) continue;
    pappl_pr_driver_data_t data;
    papplPrinterGetDriverData(printer, &data);
    data.speed_default = speed;
    data.darkness_configured = darkness;
    papplPrinterSetDriverDefaults(printer, &data, 0, nullptr);
    UpdateDefaultAttributes(printer);
  }
}

void LoadState(pappl_system_t *system) {
  papplSystemLoadState(system, g_state_path.c_str());
  FILE *file = fopen(g_settings_path.c_str(), "r");
  for (pappl_printer_t *printer : Printers(system)) RestoreSettings(printer, file);
  if (file) fclose(file);
}

pappl_loglevel_t LogLevel(const char *value) {
  if (!value) return PAPPL_LOGLEVEL_WARN;
  static const struct { const char *name; pappl_loglevel_t level; } levels[] = {
      {"fatal", PAPPL_LOGLEVEL_FATAL}, {"error", PAPPL_LOGLEVEL_ERROR}, {"warn", PAPPL_LOGLEVEL_WARN},
      {"info", PAPPL_LOGLEVEL_INFO},   {"debug", PAPPL_LOGLEVEL_DEBUG}};
  for (const auto &level : levels) {
    if (strcmp(value, level.name) == 0) return level.level;
  }
  return PAPPL_LOGLEVEL_WARN;
}

// The "server-options" words PAPPL's main loop reads, over its default of several
// printers and the web interface.
pappl_soptions_t ServerOptions(const char *value) {
  static const struct { const char *word; pappl_soptions_t set, clear; } words[] = {
      {"none", 0, ~0u},
      {"dnssd-host", PAPPL_SOPTIONS_DNSSD_HOST, 0},
      {"no-multi-queue", 0, PAPPL_SOPTIONS_MULTI_QUEUE},
      {"raw-socket", PAPPL_SOPTIONS_RAW_SOCKET, 0},
      {"usb-printer", PAPPL_SOPTIONS_USB_PRINTER, 0},
      {"no-web-interface", 0, PAPPL_SOPTIONS_WEB_INTERFACE},
      {"web-log", PAPPL_SOPTIONS_WEB_LOG, 0},
      {"web-network", PAPPL_SOPTIONS_WEB_NETWORK, 0},
      {"web-remote", PAPPL_SOPTIONS_WEB_REMOTE, 0},
      {"web-security", PAPPL_SOPTIONS_WEB_SECURITY, 0},
      {"no-tls", PAPPL_SOPTIONS_NO_TLS, 0},
  };
  pappl_soptions_t options = PAPPL_SOPTIONS_MULTI_QUEUE | PAPPL_SOPTIONS_WEB_INTERFACE;
  for (const char *word = value; word && *word;) {
    const size_t length = strcspn(word, ",");
    for (const auto &known : words) {
      if (strlen(known.word) == length && strncmp(word, known.word, length) == 0)
        options = (options & ~known.clear) | known.set;
    }
    word += length;
    if (*word == ',') ++word;
  }
  return options;
}

}  // namespace

bool IsLoopbackOnly(const char *hostname) {
  if (!hostname || !*hostname || strcmp(hostname, "*") == 0) return false;
  http_addrlist_t *addresses = httpAddrGetList(hostname, AF_UNSPEC, "631");
  bool loopback = addresses != nullptr;
  // Only the machine's own two addresses: the rest of 127.0.0.0/8 may be forwarded to,
  // or shared with containers, and PAPPL asks no one there for a login either.
  const auto own = [](const http_addr_t &addr) {
    if (addr.addr.sa_family == AF_INET) return addr.ipv4.sin_addr.s_addr == htonl(INADDR_LOOPBACK);
    return addr.addr.sa_family == AF_INET6 && IN6_IS_ADDR_LOOPBACK(&addr.ipv6.sin6_addr);
  };
  for (http_addrlist_t *address = addresses; address; address = address->next)
    loopback = loopback && own(address->addr);
  httpAddrFreeList(addresses);
  return loopback;
}

pappl_system_t *CreateSystem(int num_options, cups_option_t *options, void *) {
  const auto option = [&](const char *name) { return cupsGetOption(name, num_options, options); };

  const char *port_text = option("server-port");
  char *end = nullptr;
  const long port = port_text ? strtol(port_text, &end, 10) : 0;
  if (port_text && (*end || port < 0 || port > 65535)) {
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
      ServerOptions(option("server-options")), kBaseName, static_cast<int>(port), "_print,_universal",
      spool_path.c_str(), option("log-file"), LogLevel(option("log-level")), auth_service, false);
  if (!system) return nullptr;
  SetUpWebInterface(system);

  if (const char *group = option("admin-group")) papplSystemSetAdminGroup(system, group);
  if (const char *hostname = option("server-hostname")) papplSystemSetHostName(system, hostname);
  // A port another server holds is an error: running on without it, the server would
  // still take the sub-commands' socket from the one that answers on the port.
  if (!option("private-server") && !papplSystemAddListeners(system, listen)) {
    fprintf(stderr, "%s: Unable to listen on '%s' port %ld: %s\n", kBaseName, listen, port, strerror(errno));
    papplSystemDelete(system);
    return nullptr;
  }

  papplSystemSetPrinterDrivers(system, static_cast<int>(g_drivers.size()), g_drivers.data(),
                               AutoAddCallback, PrinterCreatedCallback, DriverCallback, nullptr);
  AddPdfFilter(system);
  AddImageFilters(system);
  AddCommandFilter(system);

  g_state_path = StatePath(".state");
  g_settings_path = StatePath(".settings");
  LoadState(system);
  AddMediaPages(system);
  papplSystemSetSaveCallback(system, SaveState, nullptr);
  return system;
}
